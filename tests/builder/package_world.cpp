#include "tests/builder/package_world.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_tree.h"
#include "platform/text.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher::test {

const char kWorkingPortScript[] = "write Velmora2.dll the game's code for this machine\nexit 0\n";
const char kLibraryText[] = "the game's code for this machine";

Game PackageGame() {
    Game game;
    game.title = "Velmora";
    game.shortName = game.exe = "Velmora2";
    game.xbe = "default.xbe";
    game.repo = "https://github.com/o/n";
    game.version = "dev";
    game.package = kPackageFixtureName;
    return game;
}

fs::path BaseFolderIn(const fs::path& root) { return root / "Velmora2"; }

const std::map<std::string, std::string>& UserFiles() {
    static const std::map<std::string, std::string> files = {
        {"hdd/E/UDATA/save.dat", "the user's own save\n"},
        {"assets/disc.iso", "the user's disc image\n"},
        {"logs/game.log", "the game's own log\n"},
        {"settings.toml", "fullscreen = false\n"},
        {"Config.TOML", "volume = 7\n"},
    };
    return files;
}

void PlaceUserFiles(const fs::path& play) {
    for (const auto& [name, bytes] : UserFiles()) WriteFile(play / Utf8Path(name), bytes);
}

std::map<std::string, std::string> UserFilesIn(const fs::path& play) {
    std::map<std::string, std::string> found;
    for (const auto& [name, bytes] : UserFiles()) {
        const fs::path file = play / Utf8Path(name);
        std::error_code ec;
        if (fs::is_regular_file(file, ec)) found[name] = ReadFile(file);
    }
    return found;
}

std::map<std::string, std::string> PlayTree(const fs::path& play) {
    std::map<std::string, std::string> tree;
    std::error_code ec;
    WalkTree(
        play,
        [&](const fs::path& path, EntryKind kind) {
            std::string name = PathToUtf8(path.lexically_relative(play));
            std::replace(name.begin(), name.end(), '\\', '/');
            if (name == ".next" || name.starts_with(".next/")) return;
            if (kind == EntryKind::Folder) {
                tree[name + "/"] = "";
            } else {
                tree[name] = ReadFile(path);
            }
        },
        ec);
    EXPECT_FALSE(ec) << ec.message();
    return tree;
}

void PlaceOlderVersion(const fs::path& play, const std::string& exeSuffix) {
    WriteFile(play / ("Velmora2" + exeSuffix), "the older executable");
    WriteFile(play / "Velmora2.dll", "the older code");
    WriteFile(play / "data" / "old.bin", "data only the older version has");
    WriteFile(play / "data" / "level1.bin", "the older level");
    WriteFile(play / "package.stamp", "the older stamp");
}

void ExpectNewVersion(const fs::path& play, const std::string& exeSuffix, const std::string& stamp,
                      bool withUserFiles) {
    std::map<std::string, std::string> tree = PlayTree(play);
    const std::string exe = "Velmora2" + exeSuffix;
    EXPECT_EQ(tree[exe], ReadFile(HelperChildPath()));
    EXPECT_EQ(tree["Velmora2.dll"], kLibraryText);
    EXPECT_EQ(tree["package.stamp"], stamp);
    EXPECT_EQ(tree["data/extra.toml"], "quality = \"high\"\n");
    EXPECT_EQ(tree["data/level1.bin"].size(), 64u * 1024u);
    std::vector<std::string> names;
    for (const auto& entry : tree) names.push_back(entry.first);
    std::vector<std::string> expected = {".toml",           "Velmora2.dll", "data/",         "data/extra.toml",
                                         "data/level1.bin", "fakeport.txt", "package.stamp", exe};
    if (withUserFiles) {
        for (const char* name : {"Config.TOML", "assets/", "assets/disc.iso", "hdd/", "hdd/E/", "hdd/E/UDATA/",
                                 "hdd/E/UDATA/save.dat", "logs/", "logs/game.log", "settings.toml"}) {
            expected.push_back(name);
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    if (withUserFiles) {
        EXPECT_EQ(UserFilesIn(play), UserFiles());
    }
}

fs::path PlacePackageBesideTheLauncher(const fs::path& root) {
    const fs::path package = root / kPackageFixtureName;
    fs::create_directories(root);
    fs::copy_file(PackageFixturePath(), package, fs::copy_options::overwrite_existing);
    return package;
}

std::string StampOfPackageBesideTheLauncher(const fs::path& package) {
    return std::to_string(fs::file_size(package)) + " " +
           std::to_string(fs::last_write_time(package).time_since_epoch().count());
}

void ChooseGame(Builder& builder, const fs::path& copy) {
    fs::create_directories(builder.baseFolder);
    builder.SaveSetting("game", PathToUtf8(copy));
}

}  // namespace launcher::test
