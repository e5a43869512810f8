#include "platform/release.h"

#include <nlohmann/json.hpp>

#include "platform/download.h"
#include "platform/outside_json.h"

namespace launcher {
namespace {

constexpr char kWebPrefix[] = "https://github.com/";
constexpr char kApiPrefix[] = "https://api.github.com";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<std::uint32_t> ParseVersion(const std::string& text) {
    if (text.size() < 2 || (text[0] != 'v' && text[0] != 'V') || !IsDigit(text[1])) return {};
    std::vector<std::uint32_t> numbers{0};
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            numbers.back() =
                numbers.back() * 10 + static_cast<std::uint32_t>(c - '0');  // unchecked: ten digits wrap at 2^32
        } else if (c == '.' && IsDigit(text[i - 1]) && i + 1 < text.size()) {
            numbers.push_back(0);
        } else {
            return {};
        }
    }
    return IsDigit(text.back()) ? numbers : std::vector<std::uint32_t>{};
}

bool IsVersion(const std::string& text) { return !ParseVersion(text).empty(); }

int CompareVersions(const std::string& a, const std::string& b) {
    const std::vector<std::uint32_t> x = ParseVersion(a), y = ParseVersion(b);
    if (x.empty() || y.empty()) return static_cast<int>(!x.empty()) - static_cast<int>(!y.empty());
    for (size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
        const std::uint32_t p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
        if (p != q) return p < q ? -1 : 1;
    }
    return 0;
}

std::string LatestReleaseApiUrl(const std::string& repositoryUrl) {
    const std::string prefix = kWebPrefix;
    if (repositoryUrl.size() <= prefix.size() || repositoryUrl.compare(0, prefix.size(), prefix) != 0) return "";
    std::string rest = repositoryUrl.substr(prefix.size());
    if (rest.size() > 4 && rest.compare(rest.size() - 4, 4, ".git") == 0) rest.resize(rest.size() - 4);
    while (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (rest.empty() || rest.find('/') == std::string::npos) return "";
    return std::string(kApiPrefix) + "/repos/" + rest + "/releases/latest";
}

std::string TextField(const nlohmann::json& value, const char* key) {
    if (!value.is_object()) return "";
    const auto it = value.find(key);
    return it != value.end() && it->is_string() ? it->get<std::string>() : "";
}

bool LatestRelease(Http& http, const std::string& repositoryUrl, const std::string& shortName, Release& release,
                   std::string& error) {
    const std::string address = LatestReleaseApiUrl(repositoryUrl);
    if (address.empty()) {
        error = "the game's repository is not on GitHub";
        return false;
    }
    std::string body;
    if (!FetchText(http, address, body, error)) return false;
    nlohmann::json root;
    if (!ParseOutsideJson(body, root) || !root.is_object() || !root.contains("tag_name")) {
        error = "no published release";
        return false;
    }
    release = Release{};
    release.tag = TextField(root, "tag_name");
    release.name = TextField(root, "name");
    release.notes = TextField(root, "body");
    release.page = TextField(root, "html_url");
    const std::string wanted = shortName + "Launcher.exe";
    if (const auto assets = root.find("assets"); assets != root.end() && assets->is_array()) {
        for (const nlohmann::json& asset : *assets) {
            if (!asset.is_object() || TextField(asset, "name") != wanted) continue;
            release.url = TextField(asset, "browser_download_url");
            const auto size = asset.find("size");
            release.size = size != asset.end() && size->is_number_unsigned() ? size->get<std::uint64_t>() : 0;
            const std::string digest = TextField(asset, "digest");
            if (digest.size() >= 7 && digest.compare(0, 7, "sha256:") == 0) release.sha256 = digest.substr(7);
        }
    }
    if (release.tag.empty()) {
        // An empty or non-text tag names no release the launcher could compare.
        error = "no published release";
        return false;
    }
    return true;
}

}  // namespace launcher
