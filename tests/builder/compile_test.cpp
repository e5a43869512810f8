// Configure and compile: the step counter of the build's output lines, and Builder::Compile with the
// fake cmake (a copy of the helper child at tools/cmake/bin/cmake), in both builds.
#include "builder/compile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/library_extension.h"
#include "tests/builder/source_fixture.h"
#include "tests/support/case_name.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

struct StepCase {
    const char* name;
    const char* line;
    const char* detail;  // nullptr: the line reports nothing
    double fraction;
};

class CompileStepCounterTest : public test::SourceFixture, public testing::WithParamInterface<StepCase> {};

TEST_P(CompileStepCounterTest, ReportsOnlyALeadingStepCounter) {
    const StepCase& c = GetParam();
    CompileOutputLine{*builder}(c.line);
    EXPECT_THAT(logged, ElementsAre(c.line));
    if (c.detail == nullptr) {
        EXPECT_THAT(statuses, IsEmpty());
        return;
    }
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].title, "Building Velmora");
    EXPECT_EQ(statuses[0].detail, c.detail);
    EXPECT_DOUBLE_EQ(statuses[0].fraction, c.fraction);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CompileStepCounterTest,
    testing::Values(StepCase{"ninja_step", "[12/345] Building CXX object x.obj", "12 of 345 steps", 12.0 / 345.0},
                    StepCase{"blanks_before_the_numbers", "[ 7/ 20] x", "7 of 20 steps", 0.35},
                    StepCase{"fractional_step", "[2.5/10] x", "2 of 10 steps", 0.25},
                    StepCase{"no_steps", "[0/0] x", nullptr, 0.0}, StepCase{"no_slash", "[3] x", nullptr, 0.0},
                    StepCase{"slash_after_the_bracket", "[1]/2", nullptr, 0.0},
                    StepCase{"counter_not_first", "x [1/2]", nullptr, 0.0}, StepCase{"too_short", "[/]", nullptr, 0.0},
                    StepCase{"zero_steps", "[1/0] x", nullptr, 0.0}, StepCase{"infinite", "[inf/inf] x", nullptr, 0.0},
                    StepCase{"infinite_steps", "[5/inf] x", nullptr, 0.0},
                    StepCase{"not_a_number", "[nan/5] x", nullptr, 0.0},
                    StepCase{"beyond_a_double", "[1e400/5] x", nullptr, 0.0},
                    StepCase{"hexadecimal_is_not_read", "[0x10/0x20] x", nullptr, 0.0},
                    StepCase{"clamped_to_int", "[1e300/1e301] x", "2147483647 of 2147483647 steps", 0.1}),
    test::CaseName());

TEST_F(CompileStepCounterTest, AConfigureLineIsOnlyLogged) {
    ConfigureOutputLine{*builder}("[1/2] not a step here");
    EXPECT_THAT(logged, ElementsAre("cmake: [1/2] not a step here"));
    EXPECT_THAT(statuses, IsEmpty());
}

constexpr char kIdentification[] = "cmake: -- The C compiler identification is Fake";
constexpr char kToolsChanged[] = "the build tools changed: CMake's cache is made again";

Tool MakeTool(const std::string& id, const std::string& stamp, bool optional = false) {
    Tool tool;
    tool.id = id;
    tool.stamp = stamp;
    tool.optional = optional;
    return tool;
}

// The fake port's source folder with its XBE, and the fake cmake in the tool folder.
class CompileTest : public test::SourceFixture {
protected:
    CompileTest() {
        builder->toolchain.tools = {MakeTool("cmake", "c1 keep"), MakeTool("ffmpeg", "f1", true),
                                    MakeTool("ninja", "n1")};
        test::PlaceFakeTool(CmakePath());
        test::SetTestEnv("HELPER_RUNS", PathToUtf8(runsFile));
        test::WriteFile(base / "source/assets/default.xbe", "XBEH");
    }

    fs::path CmakePath() const { return builder->ToolDir("cmake") / "bin" / ("cmake" + platform->ExeSuffix()); }
    fs::path Build() const { return base / "source/out/build/release"; }
    std::string Stamp() const { return test::ReadFile(Build() / ".launcher-tools"); }

    bool Compile() {
        logged.clear();
        statuses.clear();
        fs::remove(runsFile);
        return builder->Compile(error);
    }

    std::string error;
};

TEST_F(CompileTest, ConfiguresThenBuildsInTheSourceFolderAndRecordsTheTools) {
    fs::create_directories(builder->ToolDir("msvc") / "VC/Tools/MSVC/14.1");
    ASSERT_TRUE(Compile()) << error;
    const std::vector<test::ToolRun> runs = Runs();
    ASSERT_EQ(runs.size(), 2u);
    for (const test::ToolRun& run : runs) {
        EXPECT_EQ(run.program, PathToUtf8(CmakePath()));
        EXPECT_TRUE(fs::equivalent(Utf8Path(run.folder), base / "source")) << run.folder;
    }
    EXPECT_THAT(runs[0].arguments, ElementsAre("--preset", "release", "-DCMAKE_LINKER_TYPE=LLD"));
    EXPECT_THAT(runs[1].arguments, ElementsAre("--build", "out/build/release"));
    // Signature lines in list order, the optional tool left out, line feeds only.
    EXPECT_EQ(Stamp(), "cmake c1 keep\nninja n1\n");

    // The build environment reaches the configure run.
    const std::string include = builder->BuildEnvironment(builder->toolchain).at("INCLUDE");
    EXPECT_THAT(include, HasSubstr("14.1"));
    EXPECT_THAT(logged, Contains(kIdentification));
    EXPECT_THAT(logged, Contains("cmake: -- fakeport INCLUDE=" + include + " GIT_CONFIG_KEY_0=safe.directory"));
    EXPECT_THAT(logged, Contains("[1/3] Building C object a.obj"));
    EXPECT_THAT(logged, Contains(testing::StartsWith("stage configure (cmake): ")));
    EXPECT_THAT(logged, Contains(testing::StartsWith("stage compile and link (cmake --build): ")));
    ASSERT_EQ(builder->stages.size(), 2u);
    EXPECT_EQ(builder->stages[0].name, "configure (cmake)");
    EXPECT_EQ(builder->stages[1].name, "compile and link (cmake --build)");

    std::vector<std::string> shown;
    for (const Status& status : statuses) {
        shown.push_back(status.title + " | " + status.detail + " | " + std::to_string(status.fraction));
    }
    EXPECT_THAT(shown,
                ElementsAre("Preparing the build | the first time also downloads the libraries it uses | "
                            "-1.000000",
                            "Building Velmora | the first build takes 30 to 90 minutes | 0.000000",
                            "Building Velmora | 1 of 3 steps | 0.333333", "Building Velmora | 2 of 3 steps | 0.666667",
                            "Building Velmora | 3 of 3 steps | 1.000000"));
    EXPECT_TRUE(fs::exists(Build() / ("Velmora2" + platform->ExeSuffix())));
}

// What changes between a first compile and the next one, and whether CMake's cache survives it.
struct CacheCase {
    const char* name;
    void (*change)(Builder& builder, const fs::path& build);
    bool reset;
};

class CompileCacheTest : public CompileTest, public testing::WithParamInterface<CacheCase> {};

TEST_P(CompileCacheTest, IsKeptWhileTheBuildToolsStayTheSame) {
    const CacheCase& c = GetParam();
    ASSERT_TRUE(Compile()) << error;
    EXPECT_THAT(logged, Contains(kIdentification));
    EXPECT_THAT(logged, Not(Contains(kToolsChanged)));
    test::WriteFile(Build() / "CMakeFiles/rules/kept.txt", "x");

    c.change(*builder, Build());
    ASSERT_TRUE(Compile()) << error;
    if (c.reset) {
        EXPECT_THAT(logged, Contains(kToolsChanged));
        EXPECT_THAT(logged, Contains(kIdentification));
        EXPECT_FALSE(fs::exists(Build() / "CMakeFiles/rules"));
    } else {
        EXPECT_THAT(logged, Not(Contains(kToolsChanged)));
        EXPECT_THAT(logged, Not(Contains(kIdentification)));
        EXPECT_TRUE(fs::exists(Build() / "CMakeFiles/rules/kept.txt"));
    }

    // Once made again the cache stays.
    ASSERT_TRUE(Compile()) << error;
    EXPECT_THAT(logged, Not(Contains(kToolsChanged)));
    EXPECT_THAT(logged, Not(Contains(kIdentification)));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CompileCacheTest,
    testing::Values(
        CacheCase{"nothing", [](Builder&, const fs::path&) {}, false},
        CacheCase{"a_changed_stamp", [](Builder& b, const fs::path&) { b.toolchain.tools[2].stamp = "n2"; }, true},
        CacheCase{"a_new_tool", [](Builder& b, const fs::path&) { b.toolchain.tools.push_back(MakeTool("git", "g1")); },
                  true},
        CacheCase{"an_optional_tool_changed",
                  [](Builder& b, const fs::path&) {
                      b.toolchain.tools[1].stamp = "f2";
                      b.toolchain.tools.push_back(MakeTool("extra", "e1", true));
                  },
                  false},
        CacheCase{"the_record_deleted", [](Builder&, const fs::path& build) { fs::remove(build / ".launcher-tools"); },
                  true},
        CacheCase{"the_record_with_cr_lf",
                  [](Builder&, const fs::path& build) {
                      test::WriteFile(build / ".launcher-tools", "cmake c1 keep\r\nninja n1\r\n");
                  },
                  true}),
    test::CaseName());

TEST_F(CompileTest, WithEveryToolOptionalTheRecordIsEmptyAndTheCacheStays) {
    builder->toolchain.tools = {MakeTool("ffmpeg", "f1", true)};
    ASSERT_TRUE(Compile()) << error;
    EXPECT_TRUE(fs::is_regular_file(Build() / ".launcher-tools"));
    EXPECT_EQ(Stamp(), "");
    ASSERT_TRUE(Compile()) << error;
    EXPECT_THAT(logged, Not(Contains(kToolsChanged)));
    EXPECT_THAT(logged, Not(Contains(kIdentification)));
}

struct FailureCase {
    const char* name;
    const char* failing;  // HELPER_CMAKE_FAIL
    bool withoutXbe;
    const char* error;
    size_t runs;
    bool recorded;  // .launcher-tools holds the new signature afterwards
};

class CompileFailureTest : public CompileTest, public testing::WithParamInterface<FailureCase> {};

// A failed configure leaves the record of the last one that worked; a failed build keeps the new one.
TEST_P(CompileFailureTest, SaysWhichRunFailed) {
    const FailureCase& c = GetParam();
    ASSERT_TRUE(Compile()) << error;
    builder->toolchain.tools[0].stamp = "c2";
    if (c.withoutXbe) fs::remove(base / "source/assets/default.xbe");
    if (*c.failing != '\0') test::SetTestEnv("HELPER_CMAKE_FAIL", c.failing);
    EXPECT_FALSE(Compile());
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(Runs().size(), c.runs);
    EXPECT_EQ(Stamp(), c.recorded ? "cmake c2\nninja n1\n" : "cmake c1 keep\nninja n1\n");
    EXPECT_THAT(logged, Contains(testing::EndsWith(" (stopped)")));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CompileFailureTest,
    testing::Values(FailureCase{"no_xbe", "", true, "Preparing the build failed, see launcher.log", 1, false},
                    FailureCase{"configure", "configure", false, "Preparing the build failed, see launcher.log", 1,
                                false},
                    FailureCase{"build", "build", false, "The build failed, see launcher.log", 2, true}),
    test::CaseName());

TEST_F(CompileTest, TheMissingXbeIsInTheLog) {
    fs::remove(base / "source/assets/default.xbe");
    EXPECT_FALSE(Compile());
    EXPECT_THAT(logged, Contains("cmake:   fakeport: assets/default.xbe is missing"));
    EXPECT_FALSE(fs::exists(Build() / ".launcher-tools"));
}

// Stops at the first status that matches, as the window's Stop button would.
class CompileStopTest : public CompileTest {
protected:
    void StopAt(const std::string& detailEnd) {
        builder->statusCallback = [this, detailEnd](const Status& status) {
            statuses.push_back(status);
            if (status.detail.size() >= detailEnd.size() &&
                status.detail.compare(status.detail.size() - detailEnd.size(), detailEnd.size(), detailEnd) == 0) {
                builder->cancel = true;
            }
        };
    }
};

TEST_F(CompileStopTest, AStopDuringTheBuildIsCancelled) {
    test::SetTestEnv("HELPER_TOOL_SLEEP", "300");
    StopAt(" steps");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Compile());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 60.0);
    EXPECT_EQ(error, "cancelled");
    // The fake writes its files after its second step: stopped at the first, it never got there.
    EXPECT_FALSE(fs::exists(Build() / ("Velmora2" + platform->ExeSuffix())));
    EXPECT_THAT(logged, Not(Contains("[2/3] Building C object b.obj")));
    // The configure that worked is recorded.
    EXPECT_EQ(Stamp(), "cmake c1 keep\nninja n1\n");
}

TEST_F(CompileStopTest, AStopDuringTheConfigureIsAFailedConfigure) {
    test::SetTestEnv("HELPER_TOOL_SLEEP", "300");
    StopAt("the first time also downloads the libraries it uses");
    EXPECT_FALSE(Compile());
    EXPECT_EQ(error, "Preparing the build failed, see launcher.log");
    // The build never started.
    EXPECT_EQ(builder->stages.size(), 1u);
    for (const test::ToolRun& run : Runs()) EXPECT_THAT(run.arguments, Not(Contains("--build")));
    for (const Status& status : statuses) EXPECT_NE(status.title, "Building Velmora");
    EXPECT_FALSE(fs::exists(Build() / ".launcher-tools"));
}

// Without a downloaded cmake the one the system finds runs: here the fake, first on PATH.
TEST_F(CompileTest, WithoutTheDownloadedCmakeTheSystemsRunsByName) {
    const fs::path bin = temp / "bin";
    test::PlaceFakeTool(bin / ("cmake" + platform->ExeSuffix()));
    fs::remove_all(builder->ToolDir("cmake"));
    const std::string path = platform->GetEnv("PATH");
    test::SetTestEnv("PATH", PathToUtf8(bin) + platform->PathListSeparator() + path);
    const bool ok = Compile();
    test::SetTestEnv("PATH", path);
    ASSERT_TRUE(ok) << error;
    const std::vector<test::ToolRun> runs = Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].program, "cmake");
    EXPECT_EQ(runs[1].program, "cmake");
}

}  // namespace
}  // namespace launcher
