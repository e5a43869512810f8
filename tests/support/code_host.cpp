#include "tests/support/code_host.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "platform/file_tree.h"
#include "platform/text.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher::test {
namespace {

// The running test's suite and name in characters that are safe in a path and an address.
std::string TestNameForPath() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "no-test";
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        if (!plain) c = '_';
    }
    return name;
}

std::string RandomSuffix() {
    std::random_device seed;
    std::ostringstream text;
    text << std::hex << std::mt19937_64(seed())();
    return text.str();
}

}  // namespace

std::string OutsideSiteUrl(const std::string& sitePath) { return kFilesPrefix + sitePath; }

fs::path PackageFixturePath() { return LoopbackFolder() / "package" / kPackageFixtureName; }

fs::path PackageFixtureDescriptionPath() {
    fs::path path = PackageFixturePath();
    return path += ".json";
}

CodeHost::CodeHost()
    : id_(TestNameForPath() + "-" + RandomSuffix()),
      folder_(LoopbackFolder() / "site" / id_),
      prefixes_{{"https://github.com/", "web/"},
                {"https://api.github.com", "api"},
                {"https://raw.githubusercontent.com/", "raw/"},
                {"https://aka.ms/", "aka/"}} {
    fs::create_directories(folder_);
    for (const auto& [prefix, path] : prefixes_) http_.Map(prefix, SiteUrl(path));
    http_.Map(kFilesPrefix, LoopbackUrl("http", "/site/"));
}

CodeHost::~CodeHost() {
    std::error_code ec;
    if (!RemoveTree(folder_, ec)) ADD_FAILURE() << "cannot remove " << PathToUtf8(folder_) << ": " << ec.message();
}

void CodeHost::PublishLatestRelease(const std::string& repo, const std::string& tag) {
    PublishLatestReleaseAnswer(repo, nlohmann::json{{"tag_name", tag}}.dump());
}

void CodeHost::PublishLatestReleaseAnswer(const std::string& repo, const std::string& text) {
    WriteFile(folder_ / "api" / "repos" / Utf8Path(repo) / "releases" / "latest", text);
}

void CodeHost::PublishReleaseFile(const std::string& repo, const std::string& tag, const std::string& name,
                                  const std::string& bytes) {
    WriteFile(ReleaseFolder(repo, tag) / Utf8Path(name), bytes);
}

void CodeHost::PublishPackage(const std::string& repo, const std::string& tag) {
    const fs::path release = ReleaseFolder(repo, tag);
    fs::create_directories(release);
    fs::copy_file(PackageFixturePath(), release / kPackageFixtureName, fs::copy_options::overwrite_existing);
    fs::copy_file(PackageFixtureDescriptionPath(), release / (std::string(kPackageFixtureName) + ".json"),
                  fs::copy_options::overwrite_existing);
}

void CodeHost::PublishAt(const std::string& url, const std::string& bytes) {
    for (const auto& [prefix, path] : prefixes_) {
        if (url.rfind(prefix, 0) == 0) {
            PublishSiteFile(path + url.substr(prefix.size()), bytes);
            return;
        }
    }
    ADD_FAILURE() << url << " is not an address this host serves";
}

std::string CodeHost::SiteUrl(const std::string& path) const { return LoopbackUrl("http", "/site/" + id_ + "/" + path); }

void CodeHost::PublishSiteFile(const std::string& path, const std::string& bytes) {
    WriteFile(folder_ / Utf8Path(path), bytes);
}

fs::path CodeHost::ReleaseFolder(const std::string& repo, const std::string& tag) const {
    return folder_ / "web" / Utf8Path(repo) / "releases" / "download" / Utf8Path(tag);
}

}  // namespace launcher::test
