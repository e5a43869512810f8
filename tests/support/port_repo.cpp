#include "tests/support/port_repo.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/text.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher::test {
namespace {

// The program's output lines, joined; the exit code in code.
std::string Run(const std::vector<std::string>& argv, const fs::path& folder, int& code) {
    std::string output;
    code = MakePlatform()->Run(
        argv, folder, {},
        [&output](const std::string& line) {
            if (!output.empty()) output += "\n";
            output += line;
        },
        nullptr);
    return output;
}

}  // namespace

fs::path FakePortFolder() { return LAUNCHER_FAKE_PORT_FOLDER; }

void UsePortGitConfig() {
    SetTestEnv("GIT_CONFIG_GLOBAL", PathToUtf8(FakePortFolder() / "gitconfig"));
    SetTestEnv("GIT_CONFIG_NOSYSTEM", "1");
}

std::string GitOutput(const std::vector<std::string>& arguments, const fs::path& folder) {
    std::vector<std::string> argv{"git"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    int code = 0;
    const std::string output = Run(argv, folder, code);
    EXPECT_EQ(code, 0) << "git " << arguments.front() << ": " << output;
    return output;
}

PortRepo::PortRepo(const fs::path& dir) : dir_(dir) { Script({"make", PathToUtf8(dir)}); }

std::string PortRepo::Url() const { return "file://" + PathToUtf8(PortGit()); }

std::string PortRepo::Commit(const std::string& ref) const {
    return GitOutput({"rev-parse", ref + "^{commit}"}, PortGit());
}

void PortRepo::CommitVersion(const std::string& text) { Script({"commit", PathToUtf8(dir_), text}); }

void PortRepo::MoveTag() { Script({"move-tag", PathToUtf8(dir_)}); }

void PortRepo::Script(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"sh", PathToUtf8(FakePortFolder().parent_path() / "make_port_repo.sh")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    int code = 0;
    const std::string output = Run(argv, dir_.parent_path(), code);
    ASSERT_EQ(code, 0) << "make_port_repo.sh " << arguments.front() << ": " << output;
}

}  // namespace launcher::test
