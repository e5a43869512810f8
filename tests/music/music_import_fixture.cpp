#include "tests/music/music_import_fixture.h"

#include <fstream>

#include "game/game.h"
#include "platform/text.h"
#include "tests/support/fake_tools.h"
#include "tests/support/loopback.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher::test {

void MusicImportTest::SetUp() {
    std::string gameError;
    ASSERT_TRUE(ReadGame(BuiltinGameText(), game, gameError)) << gameError;
    savedPath_ = platform->GetEnv("PATH");
    SetTestEnv("HELPER_RUNS", PathToUtf8(temp / "runs.txt"));
    host = std::make_unique<CodeHost>();
    builder = std::make_unique<Builder>(game, temp / "base", &host->http(), platform.get());
    if (!RealTools()) PublishToolList(true);
    builder->statusCallback = [this](const Status& status) {
        statuses.push_back(status);
        if (onStatus) onStatus(status);
    };
    builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
}

void MusicImportTest::TearDown() {
    SetTestEnv("PATH", savedPath_);
    UnsetTestEnv("HELPER_RUNS");
}

fs::path MusicImportTest::FixtureFolder() { return LoopbackFolder() / "music"; }

nlohmann::json MusicImportTest::Expected() {
    return nlohmann::json::parse(ReadFile(FixtureFolder() / "expected.json"));
}

fs::path MusicImportTest::FixtureLibrary() { return FixtureFolder() / Utf8Path(Expected().at("root")); }

fs::path MusicImportTest::CopyLibrary() {
    const fs::path copy = temp / "library" / FixtureLibrary().filename();
    fs::create_directories(copy.parent_path());
    fs::copy(FixtureLibrary(), copy, fs::copy_options::recursive);
    return copy;
}

void MusicImportTest::AddFakeSong(const fs::path& song, const std::string& probe, const std::string& converted) {
    WriteFile(song, "the source of " + PathToUtf8(song.filename()));
    fs::path side = song;
    WriteFile(side += ".probe", probe);
    side = song;
    WriteFile(side += ".converted", converted);
}

void MusicImportTest::UseFakeTools() {
    if (!RealTools()) return;
    const fs::path fakes = temp / "fakes";
    for (const char* name : {"ffprobe", "ffmpeg"}) PlaceFakeTool(fakes / name);
    SetTestEnv("PATH", PathToUtf8(fakes) + platform->PathListSeparator() + savedPath_);
}

void MusicImportTest::PublishToolList(bool withFfmpeg) {
    nlohmann::json tools = nlohmann::json::array();
    tools.push_back({{"id", "cmake"},
                     {"url", host->OutsideUrl("absent/cmake.zip")},
                     {"sha256", std::string(64, '0')},
                     {"size", 1000}});
    if (withFfmpeg) {
        const nlohmann::json description = nlohmann::json::parse(ReadFile(FixtureFolder() / "ffmpeg-tool.json"));
        host->PublishSiteFile("tools/ffmpeg.zip", ReadFile(FixtureFolder() / "ffmpeg-tool.zip"));
        tools.push_back({{"id", "ffmpeg"},
                         {"title", "FFmpeg"},
                         {"url", host->OutsideUrl("tools/ffmpeg.zip")},
                         {"sha256", description.at("sha256")},
                         {"size", description.at("size")}});
    }
    host->PublishAt(game.toolchain, nlohmann::json{{"tools", tools}}.dump());
}

bool MusicImportTest::RealTools() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

bool MusicImportTest::Import(const fs::path& folder) { return builder->ImportMusic(folder, result, error); }

std::map<std::string, std::string> MusicImportTest::MusicFiles() const {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(Music(), ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        std::string relative = PathToUtf8(it->path().lexically_relative(Music()));
        std::replace(relative.begin(), relative.end(), '\\', '/');
        files[relative] = ReadFile(it->path());
    }
    return files;
}

nlohmann::json MusicImportTest::Cache() const {
    return nlohmann::json::parse(ReadFile(Music() / "launcher-music.json"));
}

std::vector<std::string> MusicImportTest::TakeRuns() {
    const std::vector<ToolRun> all = ReadToolRuns(temp / "runs.txt");
    std::vector<std::string> fresh;
    for (size_t i = std::min(runsTaken_, all.size()); i < all.size(); ++i) {
        const ToolRun& run = all[i];
        const std::string program = PathToUtf8(Utf8Path(run.program).stem());
        // The song is ffprobe's last argument and ffmpeg's sixth.
        const size_t song = program == "ffmpeg" ? 5 : run.arguments.size() - 1;
        fresh.push_back(program + " " + (song < run.arguments.size() ? run.arguments[song] : "?"));
    }
    runsTaken_ = all.size();
    return fresh;
}

std::vector<std::string> MusicImportTest::MusicLog() const {
    std::vector<std::string> lines;
    for (const std::string& line : logged) {
        if (line.rfind("music: ", 0) == 0) lines.push_back(line);
    }
    return lines;
}

fs::path MusicImportTest::Join(const fs::path& root, const nlohmann::json& components) {
    fs::path path = root;
    for (const auto& component : components) path /= Utf8Path(component.get<std::string>());
    return path;
}

}  // namespace launcher::test
