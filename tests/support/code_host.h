#pragma once
// One test's own stand-in for the code host, served by the loopback server from its /site/ tree.
//
// A CodeHost is the folder LoopbackFolder()/site/<test name>-<random>/ (removed again when the
// CodeHost ends) and a RewritingHttp that maps the outside prefixes the launcher asks onto it:
//   "https://github.com/"                -> /site/<id>/web/   releases' files: web/OWNER/NAME/releases/download/TAG/FILE
//   "https://api.github.com"             -> /site/<id>/api    the REST answers: api/repos/OWNER/NAME/releases/latest
//   "https://raw.githubusercontent.com/" -> /site/<id>/raw/   repositories' files, the tool list among them
//   "https://aka.ms/"                    -> /site/<id>/aka/   short links, the Visual Studio channel's among them
//   kFilesPrefix                         -> /site/            any file of the site tree by an https address
//                                                             (OutsideUrl, OutsideSiteUrl): the tool road takes no other
// so that LatestRelease, FetchText and Download run unchanged on the real clients, and tests that
// run in parallel share no file. Other hosts a test needs are added to http() with Map.
//
// Repositories are named as on the host, "OWNER/NAME"; RepoUrl gives the address a Game holds.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/rewriting_http.h"

namespace launcher::test {

// The package fixture that the ctest set-up step make_package.py writes beside the loopback server:
// a zip of the helper child as the port's executable (with a fakeport.txt), data files, and two
// entries the package filter keeps out; its description holds "sha256" and "size".
std::filesystem::path PackageFixturePath();
std::filesystem::path PackageFixtureDescriptionPath();
constexpr char kPackageFixtureName[] = "Velmora2-package.zip";

// The outside host whose addresses lead into the loopback server's whole /site/ tree.
constexpr char kFilesPrefix[] = "https://download.visualstudio.microsoft.com/";

// The https address of the file path/to/file below the server's /site/ folder, such as a set-up
// step's fixture; every CodeHost maps it.
std::string OutsideSiteUrl(const std::string& sitePath);

class CodeHost {
public:
    CodeHost();
    ~CodeHost();
    CodeHost(const CodeHost&) = delete;
    CodeHost& operator=(const CodeHost&) = delete;

    RewritingHttp& http() { return http_; }
    const std::string& id() const { return id_; }
    // This host's folder on the server: DIR/site/<id>.
    const std::filesystem::path& folder() const { return folder_; }

    static std::string RepoUrl(const std::string& repo) { return "https://github.com/" + repo; }

    // The answer to "latest release" of repo: {"tag_name": tag}, or any text.
    void PublishLatestRelease(const std::string& repo, const std::string& tag);
    void PublishLatestReleaseAnswer(const std::string& repo, const std::string& text);
    // Bytes at a release's download address, RepoUrl(repo) + "/releases/download/" + tag + "/" + name.
    void PublishReleaseFile(const std::string& repo, const std::string& tag, const std::string& name,
                            const std::string& bytes);
    // The package fixture and its description under the release tag.
    void PublishPackage(const std::string& repo, const std::string& tag);
    // Bytes at an outside address that begins with one of the prefixes above.
    void PublishAt(const std::string& url, const std::string& bytes);
    // The loopback address of a file path/to/file in this host's folder, and the publishing of one.
    std::string SiteUrl(const std::string& path) const;
    // The same file by an https address outside.
    std::string OutsideUrl(const std::string& path) const { return OutsideSiteUrl(id_ + "/" + path); }
    void PublishSiteFile(const std::string& path, const std::string& bytes);

private:
    std::filesystem::path ReleaseFolder(const std::string& repo, const std::string& tag) const;

    std::string id_;
    std::filesystem::path folder_;
    std::vector<std::pair<std::string, std::string>> prefixes_;  // outside prefix -> folder below folder_
    RewritingHttp http_;
};

}  // namespace launcher::test
