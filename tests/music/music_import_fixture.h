#pragma once
// The music import's test world: a Builder in a temporary base folder, the test library that the
// loopback set-up step made (make_music_fixture.py), and the programs the import runs.
//
// Natively the import runs Debian's ffprobe and ffmpeg, or, after UseFakeTools, copies of the helper
// child named ffprobe and ffmpeg first on PATH. On Windows it always runs the fakes: the ffmpeg tool
// the set-up step zipped is installed from the loopback server through a tool list of this test's own.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "builder/builder.h"
#include "tests/support/code_host.h"
#include "tests/support/temp_folder.h"

namespace launcher::test {

class MusicImportTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The library the set-up step made, with its expectations.
    static std::filesystem::path FixtureFolder();
    static std::filesystem::path FixtureLibrary();
    static nlohmann::json Expected();
    // The fixture library copied into this test's own folder, for tests that change it.
    std::filesystem::path CopyLibrary();
    // A song of its own for the fakes: the source's bytes, what ffprobe prints, what ffmpeg makes.
    static void AddFakeSong(const std::filesystem::path& song, const std::string& probe, const std::string& converted);

    // Natively: the fakes first on PATH (on Windows they are always used).
    void UseFakeTools();
    static bool RealTools();

    bool Import(const std::filesystem::path& folder);
    std::filesystem::path Music() const { return builder->MusicFolder(); }
    // Every file under MUSIC by its '/'-separated relative path, with its bytes.
    std::map<std::string, std::string> MusicFiles() const;
    nlohmann::json Cache() const;
    // The fakes' runs since the last call, each as its program's name, a blank and the song.
    std::vector<std::string> TakeRuns();
    // On Windows: the tool list of this test's code host, with the ffmpeg tool or without it.
    void PublishToolList(bool withFfmpeg);
    // The log lines of the import itself (those beginning "music: ").
    std::vector<std::string> MusicLog() const;
    static std::filesystem::path Join(const std::filesystem::path& root, const nlohmann::json& components);

    TempFolder temp;
    std::unique_ptr<Platform> platform = MakePlatform();
    std::unique_ptr<CodeHost> host;
    Game game;
    std::unique_ptr<Builder> builder;
    std::vector<Status> statuses;
    std::vector<std::string> logged;
    std::function<void(const Status&)> onStatus;
    std::string result = "untouched";
    std::string error;

private:
    std::string savedPath_;
    std::size_t runsTaken_ = 0;
};

}  // namespace launcher::test
