#pragma once
// Pieces of the Visual Studio release channel and package manifest, as the tests publish them, and
// FileRef comparison and printing for their expectations.

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "builder/toolchain.h"

namespace launcher {

inline bool operator==(const FileRef& a, const FileRef& b) {
    return a.name == b.name && a.url == b.url && a.sha256 == b.sha256 && a.size == b.size;
}

inline void PrintTo(const FileRef& file, std::ostream* out) {
    *out << "{" << testing::PrintToString(file.name) << ", " << testing::PrintToString(file.url) << ", "
         << testing::PrintToString(file.sha256) << ", " << file.size << "}";
}

namespace test {

using Json = nlohmann::json;

constexpr char kManifestItemId[] = "Microsoft.VisualStudio.Manifests.VisualStudio";

// A channel item whose first payload names the manifest's address.
inline Json ChannelItem(const std::string& id, const std::string& manifestUrl) {
    return {{"id", id}, {"payloads", Json::array({Json{{"url", manifestUrl}}})}};
}

inline std::string ChannelText(const std::vector<Json>& items) { return Json{{"channelItems", items}}.dump(); }

inline Json Payload(const std::string& fileName, const std::string& url, const std::string& sha256,
                    std::uint64_t size) {
    return {{"fileName", fileName}, {"url", url}, {"sha256", sha256}, {"size", size}};
}

// A manifest package; chip and language are left out when empty.
inline Json Package(const std::string& id, const std::vector<Json>& payloads, const std::string& chip = "",
                    const std::string& language = "") {
    Json package = {{"id", id}, {"payloads", payloads}};
    if (!chip.empty()) package["chip"] = chip;
    if (!language.empty()) package["language"] = language;
    return package;
}

inline std::string ManifestText(const std::vector<Json>& packages) { return Json{{"packages", packages}}.dump(); }

}  // namespace test
}  // namespace launcher
