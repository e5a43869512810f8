// The application state and its task thread: outcomes, refusal, failures that throw, the log's cap,
// shutdown with a task running, and the two threads meeting in the callbacks.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app.h"
#include "builder/protected_folders.h"
#include "tests/app/connected_app.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/fake_tools.h"
#include "tests/support/latch.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr const char* kStopped = "Stopped. Press the button again to carry on where it left off.";

// What the pages copy under the mutex before they draw.
struct Shown {
    Status status;
    std::string error;
    std::string notice;
    std::deque<std::string> log;
    std::uint64_t buildFilesSize = 0;
    std::uint64_t toolsSize = 0;
};

Shown Copy(App& app) {
    std::lock_guard<std::mutex> lock(app.mutex);
    return Shown{app.status, app.error, app.notice, app.log, app.buildFilesSize, app.toolsSize};
}

bool IsReset(const Status& status) { return status.title.empty() && status.detail.empty() && status.fraction == -1.0; }

using test::ConnectBuilder;
using test::WaitUntilIdle;

class AppStateTest : public testing::Test {
protected:
    void SetUp() override { ConnectBuilder(app, temp / "Velmora"); }

    // Runs a task to its end.
    void Run(std::function<bool(std::string&)> task, std::string doneMessage) {
        app.RunTask(std::move(task), std::move(doneMessage));
        ASSERT_TRUE(WaitUntilIdle(app)) << "the task did not end";
    }

    test::TempFolder temp;
    App app;
};

TEST_F(AppStateTest, ConstructedIdle) {
    App fresh;
    EXPECT_NE(fresh.http, nullptr);
    EXPECT_NE(fresh.platform, nullptr);
    EXPECT_EQ(fresh.builder, nullptr);
    EXPECT_FALSE(fresh.source.ok);
    EXPECT_TRUE(fresh.source.source.empty());
    EXPECT_FALSE(fresh.busy || fresh.gameUpdateReady || fresh.launcherOffered || fresh.offerDismissed ||
                 fresh.restartPending || fresh.playPending || fresh.agreed || fresh.playAtStart ||
                 fresh.musicResultShown);
    EXPECT_TRUE(IsReset(fresh.status));
    EXPECT_EQ(fresh.section, 0);
    EXPECT_TRUE(fresh.log.empty());
    EXPECT_FALSE(fresh.taskThread.joinable());
}

struct OutcomeCase {
    std::string name;
    bool result;
    std::string taskError;
    std::string doneMessage;
    std::string error;
    std::string notice;
};

class AppStateOutcomeTest : public AppStateTest, public testing::WithParamInterface<OutcomeCase> {};

TEST_P(AppStateOutcomeTest, ShowsWhatTheTaskReturned) {
    const OutcomeCase& c = GetParam();
    // A previous outcome of the other kind, which the new task replaces.
    Run(
        [&](std::string& error) {
            error = "earlier failure";
            return !c.result;
        },
        "earlier notice");
    Run(
        [&](std::string& error) {
            app.builder->Report("Downloading cmake", "12 MB of 40 MB", 0.3);
            error = c.taskError;
            return c.result;
        },
        c.doneMessage);

    const Shown shown = Copy(app);
    EXPECT_EQ(shown.error, c.error);
    EXPECT_EQ(shown.notice, c.notice);
    EXPECT_TRUE(IsReset(shown.status)) << shown.status.title << " / " << shown.status.detail << " / "
                                       << shown.status.fraction;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, AppStateOutcomeTest,
    testing::Values(OutcomeCase{"Success", true, "", "Done.", "", "Done."},
                    OutcomeCase{"SuccessWithoutMessage", true, "", "", "", ""},
                    // Loading the tool list keeps a fallback's reason even when it succeeds.
                    OutcomeCase{"SuccessWithAnErrorText", true, "the request failed", "Done.", "", "Done."},
                    OutcomeCase{"Failure", false, "Could not remove the build files: Access is denied.", "Done.",
                                "Could not remove the build files: Access is denied.", ""},
                    OutcomeCase{"Cancelled", false, "cancelled", "Done.", kStopped, ""},
                    OutcomeCase{"CancelledCapitalised", false, "Cancelled", "Done.", "Cancelled", ""},
                    OutcomeCase{"CancelledWithFullStop", false, "cancelled.", "Done.", "cancelled.", ""},
                    OutcomeCase{"FailureWithoutText", false, "", "Done.", "", ""}),
    test::CaseName());

struct SizeCase {
    std::string name;
    bool packageMode;
    bool result;
    // Files the task writes (relative to the base folder) with their sizes.
    std::vector<std::pair<std::string, std::size_t>> files;
    std::uint64_t buildFilesSize;
    std::uint64_t toolsSize;
};

class AppStateSizeTest : public AppStateTest, public testing::WithParamInterface<SizeCase> {};

TEST_P(AppStateSizeTest, TheSizesAreReadAgainWhenATaskEnds) {
    const SizeCase& c = GetParam();
    if (c.packageMode) app.builder->game.package = "velmora-port.zip";
    {
        // As the entry function fills them at start.
        std::lock_guard<std::mutex> lock(app.mutex);
        app.buildFilesSize = 1;
        app.toolsSize = 1;
    }
    Run(
        [&](std::string& error) {
            for (const auto& [file, size] : c.files) test::WriteFile(app.baseFolder / file, std::string(size, 'x'));
            error = "Preparing the build failed, see launcher.log";
            return c.result;
        },
        "Done.");
    const Shown shown = Copy(app);
    EXPECT_EQ(shown.buildFilesSize, c.buildFilesSize);
    EXPECT_EQ(shown.toolsSize, c.toolsSize);
}

INSTANTIATE_TEST_SUITE_P(Sizes, AppStateSizeTest,
                         testing::Values(
                             // Outside package mode the build files are the source build's output and no tool is old.
                             SizeCase{"SourceBuildFailed",
                                      false,
                                      false,
                                      {{"source/out/build/release/game.obj", 5000},
                                       {"source/out/CMakeCache.txt", 120},
                                       {"tools/cmake/bin/cmake", 900}},
                                      5120,
                                      0},
                             SizeCase{"PackageBuilt",
                                      true,
                                      true,
                                      {{(fs::path("play") / kPackageWorkFolder / "code.bin").generic_string(), 3000},
                                       {"tools/cmake/bin/cmake", 1000},
                                       {"tools/ffmpeg/bin/ffmpeg", 700},
                                       {"source/out/game.obj", 50}},
                                      3000,
                                      1050}),
                         test::CaseName());

TEST_F(AppStateTest, ASecondTaskWhileOneRunsIsDropped) {
    test::Latch started, release;
    const Status reported{"Unpacking the package", "3 of 10 files", 0.3};
    app.RunTask(
        [&](std::string&) {
            app.builder->Report(reported.title, reported.detail, reported.fraction);
            started.Open();
            release.Wait();
            return true;
        },
        "A done");
    started.Wait();
    {
        // As a page would show them while the task runs.
        std::lock_guard<std::mutex> lock(app.mutex);
        app.error = "shown error";
        app.notice = "shown notice";
    }

    bool secondRan = false;
    app.RunTask(
        [&](std::string& error) {
            secondRan = true;
            error = "B failed";
            return false;
        },
        "B done");

    EXPECT_TRUE(app.busy);
    Shown shown = Copy(app);
    EXPECT_EQ(shown.status.title, reported.title);
    EXPECT_EQ(shown.status.detail, reported.detail);
    EXPECT_EQ(shown.status.fraction, reported.fraction);
    EXPECT_EQ(shown.error, "shown error");
    EXPECT_EQ(shown.notice, "shown notice");

    release.Open();
    ASSERT_TRUE(WaitUntilIdle(app));
    app.taskThread.join();
    EXPECT_FALSE(secondRan);
    EXPECT_EQ(Copy(app).notice, "A done");
}

TEST_F(AppStateTest, StartingATaskClearsTheLastOutcomeAtOnce) {
    for (const bool lastResult : {false, true}) {
        SCOPED_TRACE(lastResult ? "after a success" : "after a failure");
        Run(
            [&](std::string& error) {
                app.builder->Report("Building", "", 0.5);
                error = "Preparing the build failed, see launcher.log";
                return lastResult;
            },
            "The game is ready.");
        {
            const Shown last = Copy(app);
            ASSERT_FALSE(last.error.empty() && last.notice.empty());
        }
        {
            std::lock_guard<std::mutex> lock(app.mutex);
            app.status = Status{"left over", "by hand", 0.9};
        }

        test::Latch release;
        app.RunTask(
            [&](std::string&) {
                release.Wait();
                return true;
            },
            "");
        const Shown shown = Copy(app);
        EXPECT_EQ(shown.error, "");
        EXPECT_EQ(shown.notice, "");
        EXPECT_TRUE(IsReset(shown.status));
        release.Open();
        ASSERT_TRUE(WaitUntilIdle(app));
    }
}

// What the task throws and the text its failure then carries.
struct ThrowCase {
    std::string name;
    std::function<void()> raise;
};

// The message of whatever raise throws, as the task thread reports it.
std::string WhatItSays(const std::function<void()>& raise) {
    try {
        raise();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
    return "nothing thrown";
}

class AppStateThrowTest : public AppStateTest, public testing::WithParamInterface<ThrowCase> {};

TEST_P(AppStateThrowTest, AThrowingTaskFailsAndTheNextOneRuns) {
    const std::string what = WhatItSays(GetParam().raise);
    ASSERT_NE(what, "nothing thrown");

    Run(
        [&](std::string& error) {
            app.builder->Report("Reading the release", "", -1.0);
            error = "half-written text";
            GetParam().raise();
            return true;
        },
        "Done.");

    EXPECT_FALSE(app.busy);
    Shown shown = Copy(app);
    EXPECT_EQ(shown.error, "Something went wrong: " + what + ", see launcher.log");
    EXPECT_EQ(shown.notice, "");
    EXPECT_TRUE(IsReset(shown.status));
    ASSERT_FALSE(shown.log.empty());
    EXPECT_EQ(shown.log.back(), "task failed: " + what);
    const std::vector<std::string> file = test::ReadLines(app.baseFolder / "launcher.log");
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(file.back().ends_with(" task failed: " + what)) << file.back();

    Run([](std::string&) { return true; }, "Done.");
    shown = Copy(app);
    EXPECT_EQ(shown.error, "");
    EXPECT_EQ(shown.notice, "Done.");
}

INSTANTIATE_TEST_SUITE_P(Throws, AppStateThrowTest,
                         testing::Values(ThrowCase{"RuntimeError",
                                                   [] { throw std::runtime_error("the disk went away"); }},
                                         // Remote JSON of the wrong shape.
                                         ThrowCase{"JsonTypeError",
                                                   [] {
                                                       const nlohmann::json answer =
                                                           nlohmann::json::parse(R"({"tag_name": 7})");
                                                       (void)answer["tag_name"].get<std::string>();
                                                   }},
                                         ThrowCase{"IllFormedUtf8Path", [] { (void)Utf8Path("music/\xff\xfe.mp3"); }},
                                         ThrowCase{"NotAnException", [] { throw 42; }}),
                         test::CaseName());

#ifndef _WIN32
// A real task: the music import on the fake ffprobe and ffmpeg, stopped by the Stop button's flag
// while it converts.
TEST_F(AppStateTest, AStoppedMusicImportShowsTheStoppedText) {
    const fs::path fakes = temp / "fakes";
    for (const char* name : {"ffprobe", "ffmpeg"}) test::PlaceFakeTool(fakes / name);
    const std::string savedPath = app.platform->GetEnv("PATH");
    test::SetTestEnv("PATH", PathToUtf8(fakes) + app.platform->PathListSeparator() + savedPath);
    const fs::path library = temp / "library";
    for (const char* song : {"Rock/one.mp3", "Rock/two.mp3", "Rock/three.mp3"}) {
        const fs::path file = library / song;
        test::WriteFile(file, "the source of " + std::string(song));
        test::WriteFile(fs::path(file) += ".probe", "duration=1.5\n");
        test::WriteFile(fs::path(file) += ".converted", "wma of " + std::string(song));
    }

    std::vector<std::string> details;
    app.builder->statusCallback = [this, &details](const Status& status) {
        OnStatus(app, status);
        details.push_back(status.detail);
        if (status.detail.starts_with("2 of 3")) app.builder->cancel = true;
    };
    std::string result;
    Run([&](std::string& error) { return app.builder->ImportMusic(library, result, error); }, "Your music is ready.");
    test::SetTestEnv("PATH", savedPath);

    const Shown shown = Copy(app);
    EXPECT_EQ(shown.error, kStopped);
    EXPECT_EQ(shown.notice, "");
    EXPECT_TRUE(IsReset(shown.status));
    ASSERT_EQ(details.size(), 2u) << "the import did not get to the second song";
    EXPECT_TRUE(details[0].starts_with("1 of 3")) << details[0];
    EXPECT_FALSE(fs::exists(app.builder->MusicFolder() / "ST.DB"));
}
#endif

TEST_F(AppStateTest, DestroyingTheAppStopsTheRunningTask) {
    auto owned = std::make_unique<App>();
    ConnectBuilder(*owned, temp / "Second");
    test::Latch started;
    bool sawCancel = false;
    owned->RunTask(
        [&, builder = owned->builder.get()](std::string& error) {
            started.Open();
            sawCancel = test::WaitUntil([builder] { return builder->cancel.load(); }, test::kTaskDeadline);
            error = "cancelled";
            return false;
        },
        "");
    started.Wait();
    owned.reset();
    EXPECT_TRUE(sawCancel);
}

TEST_F(AppStateTest, DestroyingTheAppAfterATaskJoinsItsThread) {
    auto owned = std::make_unique<App>();
    ConnectBuilder(*owned, temp / "Second");
    owned->RunTask([](std::string&) { return true; }, "Done.");
    ASSERT_TRUE(WaitUntilIdle(*owned));
    ASSERT_TRUE(owned->taskThread.joinable());
    owned.reset();
}

TEST_F(AppStateTest, TheLogKeepsTheNewest2000Lines) {
    for (int i = 1; i <= 2001; ++i) app.builder->Log("line " + std::to_string(i));
    const Shown shown = Copy(app);
    ASSERT_EQ(shown.log.size(), 2000u);
    EXPECT_EQ(shown.log.front(), "line 2");
    EXPECT_EQ(shown.log.back(), "line 2001");
    // The file keeps everything.
    EXPECT_EQ(test::ReadLines(app.baseFolder / "launcher.log").size(), 2001u);
}

// A kept line holds at most 4 KiB and ends in "..." when cut, never inside a character; the file
// keeps the whole line.
TEST_F(AppStateTest, ALongLineIsKeptCutToFourKibibytes) {
    const std::string two = "\xC3\xBC";  // one character in two bytes
    const struct {
        std::string line;
        std::string kept;
    } cases[] = {
        {std::string(4096, 'a'), std::string(4096, 'a')},
        {std::string(4097, 'a'), std::string(4093, 'a') + "..."},
        {std::string(4 << 20, 'b'), std::string(4093, 'b') + "..."},
        // The cut would fall between the two bytes of the character at 4092 and 4093.
        {std::string(4092, 'c') + two + std::string(10, 'c'), std::string(4092, 'c') + "..."},
        {std::string(4091, 'd') + two + std::string(10, 'd'), std::string(4091, 'd') + two + "..."},
    };
    for (const auto& c : cases) app.builder->Log(c.line);
    const Shown shown = Copy(app);
    ASSERT_EQ(shown.log.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string& kept = shown.log[i];
        // Compared whole, reported by size and end: a failure would print kibibytes.
        EXPECT_TRUE(kept == cases[i].kept) << "case " << i << ": " << kept.size() << " bytes ending in \""
                                            << kept.substr(kept.size() - std::min<std::size_t>(kept.size(), 8)) << "\"";
        EXPECT_LE(kept.size(), kLogLineBytes);
    }
    const std::vector<std::string> file = test::ReadLines(app.baseFolder / "launcher.log");
    ASSERT_EQ(file.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(file[i].size(), 9 + cases[i].line.size()) << "case " << i << ": the time and the whole line";
    }
}

// The task thread reports and logs while the interface thread copies what it shows and logs too;
// the thread sanitizer build runs this for races.
TEST_F(AppStateTest, TheTwoThreadsMeetOnlyUnderTheLocks) {
    constexpr int kSteps = 400;
    test::Latch started;
    app.RunTask(
        [&](std::string& error) {
            started.Open();
            for (int i = 0; i < kSteps; ++i) {
                app.builder->Report("step " + std::to_string(i), std::to_string(i), i / double(kSteps));
                app.builder->Log("task " + std::to_string(i));
            }
            error = "stopped at the end";
            return false;
        },
        "");
    started.Wait();

    int ownLines = 0;
    int copies = 0;
    const auto until = std::chrono::steady_clock::now() + test::kTaskDeadline;
    while (app.busy && std::chrono::steady_clock::now() < until) {
        const Shown shown = Copy(app);
        ++copies;
        if (!shown.status.title.empty()) {
            // Each report lands whole.
            EXPECT_EQ(shown.status.title, "step " + shown.status.detail);
            EXPECT_EQ(shown.status.fraction, std::stoi(shown.status.detail) / double(kSteps));
        }
        // Fewer lines than the log keeps, so that all of them can be checked.
        if (ownLines < 1000) app.builder->Log("window " + std::to_string(ownLines++));
    }
    ASSERT_FALSE(app.busy) << "the task did not end";
    EXPECT_GT(copies, 0);

    const Shown shown = Copy(app);
    EXPECT_EQ(shown.error, "stopped at the end");
    // Every line of both threads, each thread's in its order, as in the file.
    int task = 0, window = 0;
    for (const std::string& line : shown.log) {
        if (line.starts_with("task ")) {
            EXPECT_EQ(line, "task " + std::to_string(task++));
        } else {
            EXPECT_EQ(line, "window " + std::to_string(window++));
        }
    }
    EXPECT_EQ(task, kSteps);
    EXPECT_EQ(window, ownLines);
    EXPECT_EQ(test::ReadLines(app.baseFolder / "launcher.log").size(), shown.log.size());
}

}  // namespace
}  // namespace launcher
