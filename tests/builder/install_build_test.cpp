// Installing the build: which files of the build folder reach the play folder, and the failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "platform/library_extension.h"
#include "tests/builder/source_fixture.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::Contains;
using testing::IsEmpty;
using testing::UnorderedElementsAreArray;

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

class InstallBuildTest : public test::SourceFixture {
protected:
    InstallBuildTest() { builder->game.exes = {"Velmora2"}; }

    fs::path Build() const { return base / "source/out/build/release"; }
    std::string Exe(const std::string& stem) const { return stem + platform->ExeSuffix(); }
    static std::string Library(const std::string& stem) { return stem + kLibraryExtension; }

    // The names in the play folder.
    std::set<std::string> Installed() const {
        std::set<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(base / "play", ec), end; !ec && it != end; it.increment(ec)) {
            names.insert(PathToUtf8(it->path().filename()));
        }
        return names;
    }

    bool Install() {
        logged.clear();
        return builder->InstallBuild(error);
    }

    std::string NoGame() const { return "The build made no " + Exe("Velmora2"); }

    std::string error;
};

// Only the game's executable and the libraries at the top of the build folder are copied.
TEST_F(InstallBuildTest, CopiesTheGameAndEveryLibrary) {
    struct Entry {
        std::string name;
        bool folder;
        bool copied;
    };
    const std::vector<Entry> entries = {
        {Exe("Velmora2"), false, true},   {Exe("unit_tests"), false, false},
        {Library("a"), false, true},      {"B" + UpperCase(kLibraryExtension), false, true},
        {"x.pdb", false, false},          {"sub/" + Library("c"), false, false},
        {Library("folder"), true, false},
    };
    std::vector<std::string> copied;
    for (const Entry& entry : entries) {
        if (entry.folder) {
            fs::create_directories(Build() / entry.name);
        } else {
            test::WriteFile(Build() / entry.name, "bytes of " + entry.name);
        }
        if (entry.copied) copied.push_back(entry.name);
    }
    ASSERT_TRUE(Install()) << error;
    EXPECT_THAT(Installed(), UnorderedElementsAreArray(copied));
    for (const std::string& name : copied) EXPECT_EQ(test::ReadFile(base / "play" / name), "bytes of " + name);
    EXPECT_THAT(logged, Contains("installed in " + PathToUtf8(base / "play")));
}

// The name compares in any case and the file keeps its own; whether that installs the game
// depends on the file system: Windows finds Velmora2.exe under the name VELMORA2.EXE, Linux does not.
TEST_F(InstallBuildTest, TheGameInAnotherCaseIsCopiedUnderItsOwnName) {
    test::WriteFile(Build() / Exe("VELMORA2"), "game");
    const bool ok = Install();
    EXPECT_THAT(Installed(), UnorderedElementsAreArray({Exe("VELMORA2")}));
#ifdef _WIN32
    EXPECT_TRUE(ok) << error;
#else
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, NoGame());
#endif
}

TEST_F(InstallBuildTest, OnlyLibrariesAreCopiedButTheGameIsMissing) {
    test::WriteFile(Build() / Library("Velmora2"), "library");
    test::WriteFile(Build() / Exe("unit_tests"), "tests");
    EXPECT_FALSE(Install());
    EXPECT_EQ(error, NoGame());
    EXPECT_THAT(Installed(), UnorderedElementsAreArray({Library("Velmora2")}));
    EXPECT_THAT(logged, IsEmpty());
}

TEST_F(InstallBuildTest, NoBuildFolderMakesNoGame) {
    EXPECT_FALSE(Install());
    EXPECT_EQ(error, NoGame());
    EXPECT_TRUE(fs::is_directory(base / "play"));
    fs::create_directories(Build());
    EXPECT_FALSE(Install());
    EXPECT_EQ(error, NoGame());
}

// What stands in the way of a copy (on Windows the running game; a folder here, as Linux lets a
// loaded library be overwritten) stops the install.
TEST_F(InstallBuildTest, AFileThatCannotBeReplacedStopsTheInstall) {
    test::WriteFile(Build() / Exe("Velmora2"), "game");
    test::WriteFile(Build() / Library("a"), "library");
    fs::create_directories(base / "play" / Library("a"));
    EXPECT_FALSE(Install());
    EXPECT_EQ(error, "Cannot copy " + Library("a") + " (is the game still running?)");
    EXPECT_TRUE(fs::is_directory(base / "play" / Library("a")));
}

TEST_F(InstallBuildTest, ASecondInstallCopiesTheNewBytes) {
    test::WriteFile(Build() / Exe("Velmora2"), "game 1");
    test::WriteFile(Build() / Library("Velmora2"), "library 1");
    ASSERT_TRUE(Install()) << error;
    test::WriteFile(Build() / Exe("Velmora2"), "game 2, longer");
    test::WriteFile(Build() / Library("Velmora2"), "library 2");
    ASSERT_TRUE(Install()) << error;
    EXPECT_EQ(test::ReadFile(base / "play" / Exe("Velmora2")), "game 2, longer");
    EXPECT_EQ(test::ReadFile(base / "play" / Library("Velmora2")), "library 2");
}

}  // namespace
}  // namespace launcher
