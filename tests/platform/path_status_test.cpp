#include "platform/path_status.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

struct PresenceCase {
    const char* name;
    const char* path;  // below a folder holding file.txt and folder/
    PathPresence presence;
};

class QueryPresenceTest : public testing::TestWithParam<PresenceCase> {};

TEST_P(QueryPresenceTest, Tells) {
    const PresenceCase& c = GetParam();
    test::TempFolder temp;
    test::WriteFile(temp / "file.txt", "x");
    fs::create_directories(temp / "folder");
    std::uint32_t code = 99;
    EXPECT_EQ(QueryPresence(temp / c.path, code), c.presence);
    EXPECT_EQ(code, 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, QueryPresenceTest,
                         testing::Values(PresenceCase{"file", "file.txt", PathPresence::Present},
                                         PresenceCase{"folder", "folder", PathPresence::Present},
                                         PresenceCase{"missing", "missing", PathPresence::Absent},
                                         PresenceCase{"in_a_missing_folder", "missing/.git", PathPresence::Absent},
                                         PresenceCase{"below_a_file", "file.txt/.git", PathPresence::Absent}),
                         test::CaseName());

// A link to itself cannot be resolved: that is no proof that nothing is there
// (tests/support/make_link_fixture.cmake).
TEST(QueryPresenceLinkTest, ALinkToItselfIsUnknownWithTheSystemsCode) {
    const fs::path loop = test::PathFromEnvironment("LAUNCHER_LINK_FIXTURE") / "loop/source/.git";
    std::uint32_t code = 0;
    EXPECT_EQ(QueryPresence(loop, code), PathPresence::Unknown);
#ifdef _WIN32
    EXPECT_EQ(code, static_cast<std::uint32_t>(ERROR_CANT_RESOLVE_FILENAME));  // as Wine reports it
#else
    EXPECT_EQ(code, static_cast<std::uint32_t>(ELOOP));
#endif
}

}  // namespace
}  // namespace launcher
