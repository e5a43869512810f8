// The self-update on a temporary folder holding "launcher.exe", the new one served by the test's
// own code host through the real client: the swap, each move or removal failing, downloads that
// fail, downloads that are not an x86-64 Windows program, releases that cannot be checked, a stop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "app/self_update.h"
#include "platform/little_endian.h"
#include "platform/move_file.h"
#include "platform/text.h"
#include "tests/app/connected_app.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::IsEmpty;
using testing::StartsWith;

constexpr char kRepo[] = "velmora-port/velmora2";
constexpr char kStopped[] = "Stopped. Press the button again to carry on where it left off.";
constexpr char kNotAProgram[] =
    "The new launcher that was downloaded is not a program for this PC, so it was not installed.";

// The headers of a PE file, as far as the check reads them, followed by tag so that two fixtures
// differ.
struct PeShape {
    std::uint32_t ntOffset = 0x40;
    std::uint16_t machine = 0x8664;
    std::uint16_t characteristics = 0x0022;  // executable, large-address aware
    std::uint16_t magic = 0x20B;
};

std::string PeFile(const std::string& tag, const PeShape& shape = {}) {
    std::string bytes(0x80, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    WriteLe32(bytes, 0x3C, shape.ntOffset);
    if (shape.ntOffset + 26 <= bytes.size()) {
        bytes.replace(shape.ntOffset, 4, std::string("PE\0\0", 4));
        WriteLe16(bytes, shape.ntOffset + 4, shape.machine);
        WriteLe16(bytes, shape.ntOffset + 22, shape.characteristics);
        WriteLe16(bytes, shape.ntOffset + 24, shape.magic);
    }
    return bytes + tag;
}

std::string RenameFailure(const fs::path& newPath) {
    return "The launcher could not be updated (it could not rename itself). The new one is " + PathToUtf8(newPath) +
           ".";
}

std::string PlaceFailure(const fs::path& newPath) {
    return "The launcher could not be updated (the new one could not take its place). It is " + PathToUtf8(newPath) +
           ".";
}

class SelfUpdateTest : public testing::Test {
protected:
    SelfUpdateTest() {
        app.http = std::make_unique<test::HttpThrough>(host.http());
        test::ConnectBuilder(app, temp / "Velmora2");
        test::WriteFile(exe, oldBytes);
        files.executable = exe;
        files.move = [this](const fs::path& from, const fs::path& to) {
            ++moves;
            if (moves == failingMove || locked.count(to) != 0) return false;
            std::string systemText;
            return MoveFileReplacing(from, to, systemText);
        };
        files.remove = [this](const fs::path& file) {
            if (locked.count(file) != 0) return false;
            std::error_code ec;
            return fs::remove(file, ec);
        };
    }

    // A release whose launcher asset holds bytes, with their digest and size unless told otherwise.
    Release Publish(const std::string& bytes) {
        host.PublishReleaseFile(kRepo, "v1.1", "Velmora2Launcher.exe", bytes);
        Release release;
        release.tag = "v1.1";
        release.url = test::CodeHost::RepoUrl(kRepo) + "/releases/download/v1.1/Velmora2Launcher.exe";
        release.sha256 = test::Sha256Of(bytes);
        release.size = bytes.size();
        return release;
    }

    bool Update(const Release& release, std::string& error) { return UpdateLauncher(app, release, files, error); }

    // Nothing changed: the running file as it was, nothing moved aside.
    void ExpectUntouched() {
        EXPECT_EQ(test::ReadFile(exe), oldBytes);
        EXPECT_FALSE(fs::exists(old));
        EXPECT_FALSE(app.restartPending);
    }

    test::TempFolder temp;
    test::CodeHost host;
    App app;
    const fs::path exe = temp / "bin/launcher.exe";
    const fs::path newPath = temp / "bin/launcher.exe.new";
    const fs::path old = temp / "bin/launcher.exe.old";
    const std::string oldBytes = PeFile("the running launcher");
    const std::string newBytes = PeFile("the new launcher v1.1");
    SelfUpdateFiles files;
    int moves = 0;
    int failingMove = 0;  // the move call, counted from 1, that fails
    std::set<fs::path> locked;  // files that can be neither removed nor replaced, as a running image
};

TEST_F(SelfUpdateTest, SwapsTheNewLauncherIn) {
    std::string error;
    ASSERT_TRUE(Update(Publish(newBytes), error)) << error;
    EXPECT_EQ(test::ReadFile(exe), newBytes);
    EXPECT_EQ(test::ReadFile(old), oldBytes);
    EXPECT_FALSE(fs::exists(newPath));
    EXPECT_TRUE(app.restartPending);
    EXPECT_EQ(error, "");
}

TEST_F(SelfUpdateTest, AStaleReplacedFileIsRemovedFirst) {
    test::WriteFile(old, "an earlier launcher");
    std::string error;
    ASSERT_TRUE(Update(Publish(newBytes), error)) << error;
    EXPECT_EQ(test::ReadFile(old), oldBytes);
    EXPECT_FALSE(fs::exists(temp / "bin/launcher.exe.1.old"));
    EXPECT_EQ(test::ReadFile(exe), newBytes);
}

// An older launcher that still runs from ".old" (its file can be neither removed nor replaced)
// must not block the update: the running file goes to the first free numbered name.
TEST_F(SelfUpdateTest, AReplacedFileThatCannotGoMakesWayForANumberedOne) {
    test::WriteFile(old, "a launcher still running");
    test::WriteFile(temp / "bin/launcher.exe.1.old", "another one still running");
    locked = {old, temp / "bin/launcher.exe.1.old"};
    std::string error;
    ASSERT_TRUE(Update(Publish(newBytes), error)) << error;
    EXPECT_EQ(test::ReadFile(exe), newBytes);
    EXPECT_EQ(test::ReadFile(old), "a launcher still running");
    EXPECT_EQ(test::ReadFile(temp / "bin/launcher.exe.2.old"), oldBytes);
    EXPECT_TRUE(app.restartPending);
}

// The new file cannot take its place: the running file comes back from the same numbered name.
TEST_F(SelfUpdateTest, AFailedPlacementMovesBackFromTheNumberedName) {
    test::WriteFile(old, "a launcher still running");
    locked = {old};
    failingMove = 2;
    std::string error;
    EXPECT_FALSE(Update(Publish(newBytes), error));
    EXPECT_EQ(error, PlaceFailure(newPath));
    EXPECT_EQ(test::ReadFile(exe), oldBytes);
    EXPECT_FALSE(fs::exists(temp / "bin/launcher.exe.1.old"));
    EXPECT_EQ(test::ReadFile(old), "a launcher still running");
    EXPECT_FALSE(app.restartPending);
}

// Neither the new file nor the running one gets the launcher's name back: the message says where
// this launcher now is.
TEST_F(SelfUpdateTest, AFailedMoveBackSaysWhereThisLauncherIs) {
    files.move = [this](const fs::path& from, const fs::path& to) {
        // The placement and the move back fail.
        if (++moves >= 2) return false;
        std::string systemText;
        return MoveFileReplacing(from, to, systemText);
    };
    std::string error;
    EXPECT_FALSE(Update(Publish(newBytes), error));
    EXPECT_EQ(moves, 3);
    EXPECT_EQ(error,
              PlaceFailure(newPath) + " This launcher could not be put back either: it is now " + PathToUtf8(old) + ".");
    EXPECT_EQ(test::ReadFile(old), oldBytes);
    EXPECT_EQ(test::ReadFile(newPath), newBytes);
    EXPECT_FALSE(fs::exists(exe));
    EXPECT_FALSE(app.restartPending);
}

TEST_F(SelfUpdateTest, EveryReplacedNameTakenFailsWithoutMovingAnything) {
    test::WriteFile(old, "running");
    locked.insert(old);
    for (int n = 1; n <= 99; ++n) {
        const fs::path numbered = temp / ("bin/launcher.exe." + std::to_string(n) + ".old");
        test::WriteFile(numbered, "running");
        locked.insert(numbered);
    }
    std::string error;
    EXPECT_FALSE(Update(Publish(newBytes), error));
    EXPECT_EQ(error, RenameFailure(newPath));
    EXPECT_EQ(test::ReadFile(exe), oldBytes);
    EXPECT_EQ(test::ReadFile(newPath), newBytes);
    EXPECT_FALSE(fs::exists(temp / "bin/launcher.exe.100.old"));
    EXPECT_FALSE(app.restartPending);
}

struct MoveFailureCase {
    std::string name;
    int failingMove;
    bool secondMessage;
};

class SelfUpdateMoveTest : public SelfUpdateTest, public testing::WithParamInterface<MoveFailureCase> {};

// Either move failing leaves the running file in place and the download kept for the next try.
TEST_P(SelfUpdateMoveTest, AFailedMoveLeavesTheRunningFileInPlace) {
    const MoveFailureCase& c = GetParam();
    failingMove = c.failingMove;
    std::string error;
    EXPECT_FALSE(Update(Publish(newBytes), error));
    EXPECT_EQ(error, c.secondMessage ? PlaceFailure(newPath) : RenameFailure(newPath));
    ExpectUntouched();
    EXPECT_EQ(test::ReadFile(newPath), newBytes);
}

INSTANTIATE_TEST_SUITE_P(Moves, SelfUpdateMoveTest,
                         testing::Values(MoveFailureCase{"RenameFails", 1, false},
                                         MoveFailureCase{"PlacementFails", 2, true}),
                         test::CaseName());

TEST_F(SelfUpdateTest, AKeptDownloadIsTakenWithoutATransfer) {
    const Release release = Publish(newBytes);
    failingMove = 1;
    std::string error;
    ASSERT_FALSE(Update(release, error));
    host.http().asked.clear();
    failingMove = 0;
    moves = 0;
    ASSERT_TRUE(Update(release, error)) << error;
    EXPECT_THAT(host.http().asked, IsEmpty());
    EXPECT_EQ(test::ReadFile(exe), newBytes);
}

enum class Fault { WrongDigest, NotFound, CutConnection };

struct DownloadCase {
    std::string name;
    Fault fault;
};

class SelfUpdateDownloadTest : public SelfUpdateTest, public testing::WithParamInterface<DownloadCase> {};

TEST_P(SelfUpdateDownloadTest, AFailedDownloadMovesNothing) {
    Release release = Publish(newBytes);
    std::string expected;
    switch (GetParam().fault) {
    case Fault::WrongDigest:
        release.sha256 = test::Sha256Of("other bytes");
        expected = "the download of launcher.exe.new is damaged (checksum), given up after 5 tries";
        break;
    case Fault::NotFound:
        release.url += ".missing";
        expected = "the server answered 404 for ";
        break;
    case Fault::CutConnection: {
        // Every answer breaks off after 64 bytes.
        const std::string served = test::ServedFile("data.bin");
        release.url = test::LoopbackUrl("http", "/drop/64/100/data.bin?" + host.id());
        release.sha256 = test::Sha256Of(served);
        release.size = served.size();
        expected = "";  // the client's own words
        break;
    }
    }
    std::string error;
    EXPECT_FALSE(Update(release, error));
    EXPECT_FALSE(error.empty());
    EXPECT_THAT(error, StartsWith(expected));
    ExpectUntouched();
    EXPECT_FALSE(fs::exists(newPath));
}

INSTANTIATE_TEST_SUITE_P(Faults, SelfUpdateDownloadTest,
                         testing::Values(DownloadCase{"WrongDigest", Fault::WrongDigest},
                                         DownloadCase{"NotFound", Fault::NotFound},
                                         DownloadCase{"CutConnection", Fault::CutConnection}),
                         test::CaseName());

struct ProgramCase {
    std::string name;
    std::string bytes;
};

class SelfUpdateProgramTest : public SelfUpdateTest, public testing::WithParamInterface<ProgramCase> {};

// A download that is whole and matches its digest is still refused unless it is an x86-64
// Windows program: nothing else may take the launcher's place.
TEST_P(SelfUpdateProgramTest, OnlyAWindowsX64ProgramIsInstalled) {
    std::string error;
    EXPECT_FALSE(Update(Publish(GetParam().bytes), error));
    EXPECT_EQ(error, kNotAProgram);
    ExpectUntouched();
    EXPECT_FALSE(fs::exists(newPath));
}

PeShape Shape(std::uint32_t ntOffset, std::uint16_t machine, std::uint16_t characteristics, std::uint16_t magic) {
    return PeShape{ntOffset, machine, characteristics, magic};
}

INSTANTIATE_TEST_SUITE_P(
    Programs, SelfUpdateProgramTest,
    testing::Values(ProgramCase{"OnlyMZ", "MZ" + std::string(0x7E, '\0')},
                    ProgramCase{"NtHeaderPastTheEnd", PeFile("", Shape(0x7FFFFFF0, 0x8664, 0x0022, 0x20B))},
                    ProgramCase{"NtHeaderCutShort", PeFile("", Shape(0x70, 0x8664, 0x0022, 0x20B))},
                    ProgramCase{"I386", PeFile("x", Shape(0x40, 0x014C, 0x0022, 0x20B))},
                    ProgramCase{"Pe32", PeFile("x", Shape(0x40, 0x8664, 0x0022, 0x10B))},
                    ProgramCase{"Dll", PeFile("x", Shape(0x40, 0x8664, 0x2022, 0x20B))},
                    ProgramCase{"NotExecutable", PeFile("x", Shape(0x40, 0x8664, 0x0020, 0x20B))},
                    ProgramCase{"HtmlPage", "<!DOCTYPE html><html><body>Not Found</body></html>\n"}),
    test::CaseName());

TEST_F(SelfUpdateTest, AReleaseWithNeitherDigestNorSizeIsRefusedBeforeAnyRequest) {
    Release release = Publish(newBytes);
    release.sha256.clear();
    release.size = 0;
    std::string error;
    EXPECT_FALSE(Update(release, error));
    EXPECT_EQ(error,
              "The new launcher cannot be checked (its release gives no checksum and no size), so it was not "
              "installed.");
    EXPECT_THAT(host.http().asked, IsEmpty());
    ExpectUntouched();
}

// Without a digest a file of the right size would do: one left by an earlier offer must not.
TEST_F(SelfUpdateTest, WithoutADigestAnEarlierDownloadIsFetchedAgain) {
    Release release = Publish(newBytes);
    release.sha256.clear();
    const std::string stale = PeFile("the older offer's lau");
    ASSERT_EQ(stale.size(), newBytes.size());
    test::WriteFile(newPath, stale);
    test::WriteFile(temp / "bin/launcher.exe.new.part", stale.substr(0, 10));
    std::string error;
    ASSERT_TRUE(Update(release, error)) << error;
    EXPECT_EQ(test::ReadFile(exe), newBytes);
    EXPECT_FALSE(host.http().asked.empty());
}

TEST_F(SelfUpdateTest, ACancelFlagLeftSetIsCleared) {
    app.builder->cancel = true;
    std::string error;
    ASSERT_TRUE(Update(Publish(newBytes), error)) << error;
    EXPECT_FALSE(app.builder->cancel);
    EXPECT_EQ(test::ReadFile(exe), newBytes);
}

// The Stop button during the transfer, as the task thread shows it.
TEST_F(SelfUpdateTest, AStopDuringTheTransferLeavesTheLauncherAsItWas) {
    Release release;
    release.url = test::LoopbackUrl("http", "/endless/" + host.id());
    release.sha256 = test::Sha256Of("never sent");
    app.RunTask(UpdateLauncherTask(app, release, files), "");
    const auto until = std::chrono::steady_clock::now() + test::kTaskDeadline;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(app.mutex);
            if (app.status.title == "Downloading the new launcher") break;
        }
        ASSERT_LT(std::chrono::steady_clock::now(), until) << "the download did not start";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    app.builder->cancel = true;
    ASSERT_TRUE(test::WaitUntilIdle(app)) << "the stop was not taken";
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        EXPECT_EQ(app.error, kStopped);
    }
    ExpectUntouched();
    EXPECT_FALSE(fs::exists(newPath));
}

struct ProgressCase {
    std::string name;
    std::uint64_t done;
    std::uint64_t total;
    std::string detail;
    double fraction;
};

class SelfUpdateProgressTest : public testing::TestWithParam<ProgressCase> {};

TEST_P(SelfUpdateProgressTest, WritesTheStatusDirectly) {
    const ProgressCase& c = GetParam();
    App app;  // no Builder: the report does not go through one
    ReportUpdateProgress(app, c.done, c.total);
    std::lock_guard<std::mutex> lock(app.mutex);
    EXPECT_EQ(app.status.title, "Downloading the new launcher");
    EXPECT_EQ(app.status.detail, c.detail);
    EXPECT_EQ(app.status.fraction, c.fraction);
}

INSTANTIATE_TEST_SUITE_P(Reports, SelfUpdateProgressTest,
                         testing::Values(ProgressCase{"NothingYet", 0, 0, "0 MB of 0 MB", -1.0},
                                         ProgressCase{"Half", 3ull << 20, 6ull << 20, "3 MB of 6 MB", 0.5}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
