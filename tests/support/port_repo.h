#pragma once
// The fake port's git repositories (support/make_port_repo.sh over support/fake_port/), made with
// the host's real git: native tests only.

#include <filesystem>
#include <string>
#include <vector>

namespace launcher::test {

// The fake port's sources: its gitconfig, CMakeLists.txt and the rest.
std::filesystem::path FakePortFolder();

// Has git in this test program, and in what it starts, read fake_port/gitconfig and no system
// settings (file:// submodules need protocol.file.allow).
void UsePortGitConfig();

// What git prints (standard output and error, one line end between lines) when run in folder;
// fails the test when git ends with another code than 0.
std::string GitOutput(const std::vector<std::string>& arguments, const std::filesystem::path& folder);

// DIR/third.git and DIR/port.git, made at construction.
class PortRepo {
public:
    explicit PortRepo(const std::filesystem::path& dir);

    // The address a Game's repo holds.
    std::string Url() const;
    std::filesystem::path PortGit() const { return dir_ / "port.git"; }
    std::filesystem::path ThirdGit() const { return dir_ / "third.git"; }
    // The commit that ref (a branch or a tag) names in port.git.
    std::string Commit(const std::string& ref) const;

    // Pushes a commit to main that sets version.h's version to text.
    void CommitVersion(const std::string& text);
    // Moves the tag v1.0 to main's tip.
    void MoveTag();

private:
    void Script(const std::vector<std::string>& arguments);

    std::filesystem::path dir_;
};

}  // namespace launcher::test
