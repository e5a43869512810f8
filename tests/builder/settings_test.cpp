#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "builder/builder.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/deep_json.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using Json = nlohmann::json;
using test::ReadFile;
using test::WriteFile;

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(base);
        game.shortName = game.exe = "Velmora2";
        builder = std::make_unique<Builder>(game, base, http.get(), platform.get());
    }

    fs::path SettingsFile() const { return base / "launcher.json"; }
    Json Settings() const { return Json::parse(ReadFile(SettingsFile())); }
    void WriteSettings(const std::string& text) { WriteFile(SettingsFile(), text); }

    test::TempFolder temp;
    fs::path base = temp / "Velmora2";
    std::unique_ptr<Platform> platform = MakePlatform();
    std::unique_ptr<Http> http = MakeHttp();
    Game game;
    std::unique_ptr<Builder> builder;
};

TEST_F(SettingsTest, TheFirstSettingMakesAFileOfThatOneKey) {
    builder->SaveSetting("game", "D:\\Games\\Velmora.iso");
    EXPECT_EQ(Settings(), (Json{{"game", "D:\\Games\\Velmora.iso"}}));
    // Two blanks of indent, no line end after the closing brace (line ends may be CR LF).
    std::string text = ReadFile(SettingsFile());
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    EXPECT_EQ(text, "{\n  \"game\": \"D:\\\\Games\\\\Velmora.iso\"\n}");
}

TEST_F(SettingsTest, KeysWrittenOneByOneSurviveEachOtherInSortedOrder) {
    builder->SaveSetting("game", "/games/velmora");
    builder->SaveSetting("game_sha1", "abc");
    builder->WritePlayAtStart(true);
    builder->SaveSetting("built", "1.2.0");
    builder->SaveSetting("music", "/music");
    builder->SaveSetting("game", "/games/other");
    EXPECT_EQ(Settings(), (Json{{"built", "1.2.0"},
                                {"game", "/games/other"},
                                {"game_sha1", "abc"},
                                {"music", "/music"},
                                {"play_at_start", true}}));
    const std::string text = ReadFile(SettingsFile());
    EXPECT_LT(text.find("\"built\""), text.find("\"game\""));
}

TEST_F(SettingsTest, UnknownKeysAndTheirValuesAreKept) {
    WriteSettings(R"({"zeta": {"nested": [1, 2, {"x": null}]}, "alpha": 3.5, "game": 7})");
    builder->SaveSetting("game", "/games/velmora");
    builder->WritePlayAtStart(false);
    EXPECT_EQ(Settings(), (Json{{"zeta", {{"nested", {1, 2, {{"x", nullptr}}}}}},
                                {"alpha", 3.5},
                                {"game", "/games/velmora"},
                                {"play_at_start", false}}));
}

TEST_F(SettingsTest, TextIsWrittenAsItIs) {
    builder->SaveSetting("music", "/home/M\xC3\xBCsik/\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_THAT(ReadFile(SettingsFile()), testing::HasSubstr("M\xC3\xBCsik/\xE6\x97\xA5\xE6\x9C\xAC"));
    EXPECT_EQ(builder->ReadMusicFolder(), Utf8Path("/home/M\xC3\xBCsik/\xE6\x97\xA5\xE6\x9C\xAC"));
}

struct DamagedCase {
    const char* name;
    std::string text;
};

class DamagedSettingsTest : public SettingsTest, public testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedSettingsTest, IsReplacedByTheOneKeyWritten) {
    WriteSettings(GetParam().text);
    builder->SaveSetting("game", "/games/velmora");
    EXPECT_EQ(Settings(), (Json{{"game", "/games/velmora"}}));
    WriteSettings(GetParam().text);
    builder->WritePlayAtStart(true);
    EXPECT_EQ(Settings(), (Json{{"play_at_start", true}}));
}

TEST_P(DamagedSettingsTest, ReadsAsHoldingNothing) {
    WriteSettings(GetParam().text);
    EXPECT_EQ(builder->ChosenGamePath(), fs::path());
    EXPECT_EQ(builder->BuiltVersion(), "");
    EXPECT_FALSE(builder->ReadPlayAtStart());
    EXPECT_EQ(builder->ReadMusicFolder(), fs::path());
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedSettingsTest,
                         testing::Values(DamagedCase{"array", "[]"}, DamagedCase{"not_json", "{\"game\": "},
                                         DamagedCase{"number", "42"}, DamagedCase{"empty", ""},
                                         DamagedCase{"comment", "// mine\n{\"game\": \"/g\"}"},
                                         // A hand-edited member nested far deeper than any real file.
                                         DamagedCase{"a_member_nested_too_deep", "{\"game\": \"/g\", \"zeta\": " +
                                                                                     test::NestedArrays(100000) + "}"}),
                         test::CaseName());

TEST_F(SettingsTest, ValuesOfTheWrongTypeGiveTheDefaults) {
    WriteSettings(R"({"built": 3, "play_at_start": "yes", "music": 12, "game": ["/g"]})");
    EXPECT_EQ(builder->BuiltVersion(), "");
    EXPECT_FALSE(builder->ReadPlayAtStart());
    EXPECT_EQ(builder->ReadMusicFolder(), fs::path());
    EXPECT_EQ(builder->ChosenGamePath(), fs::path());
}

TEST_F(SettingsTest, ValuesOfTheRightTypeAreRead) {
    WriteSettings(R"({"built": "1.4.2", "play_at_start": true, "music": "/music"})");
    EXPECT_EQ(builder->BuiltVersion(), "1.4.2");
    EXPECT_TRUE(builder->ReadPlayAtStart());
    EXPECT_EQ(builder->ReadMusicFolder(), fs::path("/music"));
}

TEST_F(SettingsTest, NothingIsWrittenWithoutTheBaseFolder) {
    fs::remove(base);
    builder->SaveSetting("game", "/g");
    EXPECT_FALSE(fs::exists(base));
}

TEST_F(SettingsTest, TwoThreadsWritingDifferentKeysLoseNothing) {
    builder->SaveSetting("game", "/games/velmora");
    std::atomic<bool> writing{true};
    std::atomic<int> unreadable{0};
    std::thread reader([&] {
        while (writing) {
            if (builder->ChosenGamePath() != fs::path("/games/velmora")) ++unreadable;
        }
    });
    // Every write reaches the disk before it replaces the file, so each takes milliseconds: a
    // thousand apiece overlap more than enough for an unguarded read-modify-write to lose one.
    std::thread music([&] {
        for (int i = 0; i < 1000; ++i) builder->SaveSetting("music", "/music/" + std::to_string(i));
    });
    std::thread play([&] {
        for (int i = 0; i < 1000; ++i) builder->WritePlayAtStart(i % 2 == 0);
    });
    music.join();
    play.join();
    writing = false;
    reader.join();
    EXPECT_EQ(Settings(), (Json{{"game", "/games/velmora"}, {"music", "/music/999"}, {"play_at_start", false}}));
    EXPECT_EQ(unreadable, 0);
    EXPECT_FALSE(fs::exists(base / "launcher.json.partial"));
}

TEST_F(SettingsTest, AWriteWhileAnotherProgramReadsTheFileIsNotLost) {
    builder->SaveSetting("game", "/games/velmora");
    {
        std::ifstream reader(SettingsFile());
        ASSERT_TRUE(reader.is_open());
        builder->SaveSetting("music", "/music");
    }
    EXPECT_EQ(Settings(), (Json{{"game", "/games/velmora"}, {"music", "/music"}}));
    EXPECT_FALSE(fs::exists(base / "launcher.json.partial"));
}

TEST_F(SettingsTest, AFailedWriteLeavesTheFileAsItWas) {
    builder->SaveSetting("game", "/games/velmora");
    // Nothing can be written beside launcher.json (as on a full disk).
    fs::create_directories(base / "launcher.json.partial");
    builder->SaveSetting("music", "/music");
    EXPECT_EQ(Settings(), (Json{{"game", "/games/velmora"}}));
}

TEST_F(SettingsTest, LoadFileReadsEveryByteOrLeavesTheText) {
    WriteFile(temp / "bytes.bin", std::string("a\r\nb\0c", 6));
    std::string text = "before";
    EXPECT_TRUE(LoadFile(temp / "bytes.bin", text));
    EXPECT_EQ(text, std::string("a\r\nb\0c", 6));
    text = "before";
    EXPECT_FALSE(LoadFile(temp / "missing.bin", text));
    EXPECT_EQ(text, "before");
}

// The chosen copy, with the fallback to the image's copy in play/assets.
struct ChosenCase {
    const char* name;
    const char* recorded;  // below the temporary folder
    const char* exists;    // what stands at the recorded path: "file", "folder" or ""
    const char* kept;      // what stands at play/assets/<file name>: "file", "folder" or ""
    bool fallsBack;
};

class ChosenGamePathTest : public SettingsTest, public testing::WithParamInterface<ChosenCase> {};

void Make(const fs::path& path, const std::string& what) {
    if (what == "file") WriteFile(path, "x");
    if (what == "folder") fs::create_directories(path);
}

TEST_P(ChosenGamePathTest, FindsTheCopy) {
    const fs::path recorded = temp / "copies" / Utf8Path(GetParam().recorded);
    Make(recorded, GetParam().exists);
    const fs::path kept = base / "play" / "assets" / recorded.filename();
    Make(kept, GetParam().kept);
    builder->SaveSetting("game", PathToUtf8(recorded));
    EXPECT_EQ(builder->ChosenGamePath(), GetParam().fallsBack ? kept : recorded);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChosenGamePathTest,
                         testing::Values(ChosenCase{"image_there", "Velmora.iso", "file", "file", false},
                                         ChosenCase{"folder_there", "Velmora", "folder", "", false},
                                         ChosenCase{"folder_gone", "Velmora", "", "folder", false},
                                         ChosenCase{"image_gone_copy_kept", "Velmora.ISO", "", "file", true},
                                         ChosenCase{"image_gone_folder_in_its_place", "Velmora.iso", "", "folder",
                                                    false},
                                         ChosenCase{"image_gone_no_copy", "Velmora.iso", "", "", false},
                                         ChosenCase{"xbe_gone", "Velmora/default.xbe", "", "file", false}),
                         test::CaseName());

TEST_F(SettingsTest, NoChosenCopy) {
    EXPECT_EQ(builder->ChosenGamePath(), fs::path());
    builder->SaveSetting("game", "");
    EXPECT_EQ(builder->ChosenGamePath(), fs::path());
}

}  // namespace
}  // namespace launcher
