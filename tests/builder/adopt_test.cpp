// Adopting a chosen copy over what play/assets held before: a real folder of earlier copies, or a
// link into the user's own folder, whose files must survive every adoption.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/file_tree.h"
#include "platform/same_file.h"
#include "tests/builder/adopt_run.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using Json = nlohmann::json;
using test::Exists;
using test::NamesIn;
using test::ReadFile;
using test::WriteFile;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;

std::string CannotReplace(const fs::path& assets) {
    return "Cannot replace " + PathToUtf8(assets) + ": remove it by hand and choose the game again.";
}

// One test's files: the launcher's base folder, the user's folder of the disc's files and a
// folder of images elsewhere.
struct Layout {
    explicit Layout(const fs::path& root)
        : base(root / "Velmora2"),
          assets(base / "play" / "assets"),
          user(root / "My Games" / "Velmora"),
          images(root / "Images") {}

    // play/assets made a link to the user's folder, as an earlier choice of the folder left it.
    void LinkAssetsToUser() const {
        fs::create_directories(assets.parent_path());
        fs::create_directory_symlink(user, assets);
    }

    fs::path base, assets, user, images;
};

void WriteUserFolder(const Layout& layout) {
    WriteFile(layout.user / "default.xbe", "xbe");
    WriteFile(layout.user / "media" / "intro.bik", "intro");
}

void ExpectUserFolderIntact(const Layout& layout) {
    EXPECT_EQ(NamesIn(layout.user), (std::set<std::string>{"default.xbe", "media"}));
    EXPECT_EQ(ReadFile(layout.user / "default.xbe"), "xbe");
    EXPECT_EQ(ReadFile(layout.user / "media" / "intro.bik"), "intro");
}

enum class Outcome { InPlace, Placed, CannotReplace };

struct Transition {
    const char* name;
    // Lays out what the earlier choices left and returns the new choice.
    GameSource (*arrange)(const Layout&);
    Outcome outcome;
    // A folder choice that needs a new link, which Wine cannot make.
    bool linksAFolder;
    void (*check)(const Layout&);
};

const Transition kTransitions[] = {
    {"image_inside_a_real_assets_folder",
     [](const Layout& layout) {
         WriteFile(layout.assets / "chosen.iso", "chosen");
         WriteFile(layout.assets / "Other.ISO", "other");
         WriteFile(layout.assets / "x.partial.iso", "cut short");
         WriteFile(layout.assets / "notes.txt", "notes");
         return test::ChosenImage(layout.assets / "chosen.iso");
     },
     Outcome::InPlace, false,
     [](const Layout& layout) {
         EXPECT_EQ(NamesIn(layout.assets), (std::set<std::string>{"chosen.iso", "notes.txt"}));
         EXPECT_EQ(ReadFile(layout.assets / "chosen.iso"), "chosen");
     }},
    {"image_after_an_image",
     [](const Layout& layout) {
         WriteFile(layout.assets / "old.iso", "old");
         WriteFile(layout.images / "disc.iso", "disc");
         return test::ChosenImage(layout.images / "disc.iso");
     },
     Outcome::Placed, false,
     [](const Layout& layout) {
         EXPECT_TRUE(IsRealFolder(layout.assets));
         EXPECT_EQ(NamesIn(layout.assets), (std::set<std::string>{"disc.iso"}));
         EXPECT_TRUE(SameFile(layout.assets / "disc.iso", layout.images / "disc.iso"));
     }},
    {"folder_after_an_image",
     [](const Layout& layout) {
         WriteFile(layout.assets / "old.iso", "old");
         WriteUserFolder(layout);
         return test::ChosenFolder(layout.user);
     },
     Outcome::Placed, true,
     [](const Layout& layout) {
         if (test::RunningUnderWine()) {
             // The old copy was cleared away before the link was tried.
             EXPECT_FALSE(Exists(layout.assets));
         } else {
             EXPECT_TRUE(IsLink(layout.assets));
             EXPECT_TRUE(SameFile(layout.assets, layout.user));
         }
         ExpectUserFolderIntact(layout);
     }},
    {"other_files_block_the_replacement",
     [](const Layout& layout) {
         WriteFile(layout.assets / "notes.txt", "notes");
         WriteFile(layout.assets / "old.iso", "old");
         WriteFile(layout.images / "disc.iso", "disc");
         return test::ChosenImage(layout.images / "disc.iso");
     },
     Outcome::CannotReplace, false,
     [](const Layout& layout) {
         EXPECT_EQ(NamesIn(layout.assets), (std::set<std::string>{"notes.txt"}));
         EXPECT_EQ(ReadFile(layout.assets / "notes.txt"), "notes");
     }},
#ifndef _WIN32
    // The rows that start from a link, which a Windows test program cannot make: under Wine the
    // host's links of AdoptBehindAHostLinkTest stand in for them.
    {"image_behind_a_link",
     [](const Layout& layout) {
         WriteFile(layout.user / "chosen.iso", "chosen");
         WriteFile(layout.user / "other.iso", "other");
         layout.LinkAssetsToUser();
         return test::ChosenImage(layout.user / "chosen.iso");
     },
     Outcome::InPlace, false,
     [](const Layout& layout) {
         EXPECT_TRUE(IsLink(layout.assets));
         EXPECT_EQ(NamesIn(layout.user), (std::set<std::string>{"chosen.iso", "other.iso"}));
         EXPECT_EQ(ReadFile(layout.user / "other.iso"), "other");
     }},
    {"image_after_a_folder",
     [](const Layout& layout) {
         WriteUserFolder(layout);
         layout.LinkAssetsToUser();
         WriteFile(layout.images / "disc.iso", "disc");
         return test::ChosenImage(layout.images / "disc.iso");
     },
     Outcome::Placed, false,
     [](const Layout& layout) {
         EXPECT_TRUE(IsRealFolder(layout.assets));
         EXPECT_EQ(NamesIn(layout.assets), (std::set<std::string>{"disc.iso"}));
         EXPECT_TRUE(SameFile(layout.assets / "disc.iso", layout.images / "disc.iso"));
         ExpectUserFolderIntact(layout);
     }},
    {"folder_already_linked",
     [](const Layout& layout) {
         WriteUserFolder(layout);
         layout.LinkAssetsToUser();
         return test::ChosenFolder(layout.user);
     },
     Outcome::InPlace, false,
     [](const Layout& layout) {
         EXPECT_TRUE(IsLink(layout.assets));
         EXPECT_TRUE(SameFile(layout.assets, layout.user));
         ExpectUserFolderIntact(layout);
     }},
#endif
};

class AdoptTransitionTest : public testing::TestWithParam<Transition> {
protected:
    test::TempFolder temp;
    Layout layout{temp.path()};
    std::unique_ptr<Platform> platform = MakePlatform();
};

TEST_P(AdoptTransitionTest, LeavesTheFilesTheSettingsAndTheLogAsExpected) {
    const Transition& row = GetParam();
    WriteFile(layout.base / "launcher.json", test::kEarlierSettings);
    const GameSource chosen = row.arrange(layout);
    test::AdoptRun run(layout.base, *platform);
    const bool adopted = run.Adopt(chosen);

    const bool linkRefused = row.linksAFolder && test::RunningUnderWine();
    if (row.outcome == Outcome::CannotReplace || linkRefused) {
        EXPECT_FALSE(adopted);
        if (linkRefused) {
            EXPECT_THAT(run.error, StartsWith("Could not link the game's folder: "));
        } else {
            EXPECT_EQ(run.error, CannotReplace(layout.assets));
        }
        EXPECT_EQ(ReadFile(layout.base / "launcher.json"), test::kEarlierSettings);
        EXPECT_THAT(run.logged, IsEmpty());
    } else {
        EXPECT_TRUE(adopted) << run.error;
        EXPECT_EQ(Json::parse(ReadFile(layout.base / "launcher.json")), test::AdoptedSettings(chosen));
        EXPECT_THAT(run.logged,
                    ElementsAre(test::GameLine(chosen, row.outcome == Outcome::InPlace ? " (in place), " : ", ")));
    }
    EXPECT_THAT(run.reports, IsEmpty());
    row.check(layout);
}

INSTANTIATE_TEST_SUITE_P(Rows, AdoptTransitionTest, testing::ValuesIn(kTransitions), test::CaseName());

// play/assets as a link into the user's folder of images and notes. Under Wine the link is the
// host's (the link fixture), which cannot be removed there: every adoption that would replace it
// must fail and leave the user's files alone. Natively the test makes the link itself, since a
// successful adoption removes it.
enum class Choice { TheUsersImage, TheUsersFolder, AnImageElsewhere, AFolderElsewhere };

struct HostLinkCase {
    const char* name;
    Choice choice;
};

class AdoptBehindAHostLinkTest : public testing::TestWithParam<HostLinkCase> {
protected:
    // The tree of the fixture's layout: base/play/assets -> user, user holding the three files.
    fs::path MakeTree() {
#ifdef _WIN32
        return test::PathFromEnvironment("LAUNCHER_LINK_FIXTURE") / ("adopt_" + std::string(GetParam().name));
#else
        const fs::path tree = temp / "tree";
        WriteFile(tree / "user" / "chosen.iso", "chosen");
        WriteFile(tree / "user" / "other.iso", "other");
        WriteFile(tree / "user" / "notes.txt", "notes");
        WriteFile(tree / "base" / "launcher.json", test::kEarlierSettings);
        fs::create_directories(tree / "base" / "play");
        fs::create_directory_symlink(tree / "user", tree / "base" / "play" / "assets");
        return tree;
#endif
    }

    test::TempFolder temp;
    std::unique_ptr<Platform> platform = MakePlatform();
};

TEST_P(AdoptBehindAHostLinkTest, NeverTouchesTheUsersFiles) {
    const fs::path tree = MakeTree();
    const fs::path base = tree / "base";
    const fs::path assets = base / "play" / "assets";
    const fs::path user = tree / "user";
    ASSERT_TRUE(IsLink(assets));
    const std::string settingsBefore = ReadFile(base / "launcher.json");

    GameSource chosen;
    bool inPlace = false;
    switch (GetParam().choice) {
        case Choice::TheUsersImage:
            chosen = test::ChosenImage(user / "chosen.iso");
            inPlace = true;
            break;
        case Choice::TheUsersFolder:
            chosen = test::ChosenFolder(user);
            inPlace = true;
            break;
        case Choice::AnImageElsewhere:
            WriteFile(temp / "Images" / "disc.iso", "disc");
            chosen = test::ChosenImage(temp / "Images" / "disc.iso");
            break;
        case Choice::AFolderElsewhere:
            WriteFile(temp / "Velmora" / "default.xbe", "xbe");
            chosen = test::ChosenFolder(temp / "Velmora");
            break;
    }
    test::AdoptRun run(base, *platform);
    const bool adopted = run.Adopt(chosen);

    EXPECT_EQ(NamesIn(user), (std::set<std::string>{"chosen.iso", "notes.txt", "other.iso"}));
    EXPECT_EQ(ReadFile(user / "chosen.iso"), "chosen");
    EXPECT_EQ(ReadFile(user / "other.iso"), "other");
    EXPECT_EQ(ReadFile(user / "notes.txt"), "notes");
    if (inPlace) {
        EXPECT_TRUE(adopted) << run.error;
        EXPECT_TRUE(IsLink(assets));
        EXPECT_THAT(run.logged, ElementsAre(test::GameLine(chosen, " (in place), ")));
        EXPECT_EQ(Json::parse(ReadFile(base / "launcher.json")), test::AdoptedSettings(chosen));
    } else if (test::RunningUnderWine()) {
        // Wine cannot remove a link to a folder.
        EXPECT_FALSE(adopted);
        EXPECT_EQ(run.error, CannotReplace(assets));
        EXPECT_TRUE(IsLink(assets));
        EXPECT_THAT(run.logged, IsEmpty());
        EXPECT_EQ(ReadFile(base / "launcher.json"), settingsBefore);
    } else {
        EXPECT_TRUE(adopted) << run.error;
        EXPECT_THAT(run.logged, ElementsAre(test::GameLine(chosen, ", ")));
        if (chosen.isImage) {
            EXPECT_TRUE(IsRealFolder(assets));
            EXPECT_TRUE(SameFile(assets / "disc.iso", chosen.source));
        } else {
            EXPECT_TRUE(IsLink(assets));
            EXPECT_TRUE(SameFile(assets, chosen.source));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Choices, AdoptBehindAHostLinkTest,
                         testing::Values(HostLinkCase{"image_in_place", Choice::TheUsersImage},
                                         HostLinkCase{"folder_in_place", Choice::TheUsersFolder},
                                         HostLinkCase{"image_elsewhere", Choice::AnImageElsewhere},
                                         HostLinkCase{"folder_elsewhere", Choice::AFolderElsewhere}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
