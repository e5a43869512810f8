#pragma once
// Version texts ("v" and dotted numbers) and the latest published release of the game's repository.

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace launcher {

struct Release {
    std::string tag;
    std::string name;
    std::string notes;
    std::string page;
    std::string url;     // the launcher asset's download address
    std::string sha256;  // of the launcher asset
    std::uint64_t size = 0;
};

// The numbers of a version text; empty when the text is not one.
std::vector<std::uint32_t> ParseVersion(const std::string& text);
bool IsVersion(const std::string& text);
// -1, 0 or 1. A version ranks above a text that is none; two texts that are none are equal.
int CompareVersions(const std::string& a, const std::string& b);

// The REST address of the repository's latest release; "" when the repository is not on GitHub.
std::string LatestReleaseApiUrl(const std::string& repositoryUrl);
// The latest release of the repository at repositoryUrl; the launcher asset is the one named
// shortName + "Launcher.exe".
bool LatestRelease(Http& http, const std::string& repositoryUrl, const std::string& shortName, Release& release,
                   std::string& error);

// The member's text when value is an object holding key with a string; "" otherwise.
std::string TextField(const nlohmann::json& value, const char* key);

}  // namespace launcher
