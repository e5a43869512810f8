#pragma once
// One adoption of a chosen copy by a Builder whose status reports and log lines are recorded.

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "builder/builder.h"
#include "game/identify.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace launcher::test {

inline constexpr char kChosenSha1[] = "4f0c9a3e1b2d7c6a5e8f9b0d1c2e3f4a5b6c7d8e";
// launcher.json as an earlier choice left it (as the link fixture writes it too).
inline constexpr char kEarlierSettings[] = "{\n  \"built\": \"1.0.0\",\n  \"game\": \"earlier.iso\"\n}";

inline GameSource ChosenImage(const std::filesystem::path& image) {
    GameSource chosen;
    chosen.ok = true;
    chosen.isImage = true;
    chosen.region = "Europe";
    chosen.sha1 = kChosenSha1;
    chosen.source = image;
    return chosen;
}

inline GameSource ChosenFolder(const std::filesystem::path& folder) {
    GameSource chosen = ChosenImage(folder);
    chosen.isImage = false;
    return chosen;
}

// What launcher.json holds once chosen was adopted over kEarlierSettings.
inline nlohmann::json AdoptedSettings(const GameSource& chosen) {
    return {{"built", "1.0.0"}, {"game", PathToUtf8(chosen.source)}, {"game_sha1", chosen.sha1}};
}

// The log line that records an adoption; wording is " (in place), " or ", ".
inline std::string GameLine(const GameSource& chosen, const std::string& wording) {
    return "game: " + PathToUtf8(chosen.source) + wording + chosen.region + ", sha1 " + chosen.sha1;
}

struct AdoptRun {
    AdoptRun(const std::filesystem::path& base, Platform& platform) : builder(Game{}, base, nullptr, &platform) {
        builder.statusCallback = [this](const Status& status) { reports.push_back(status); };
        builder.logCallback = [this](const std::string& line) { logged.push_back(line); };
    }

    bool Adopt(const GameSource& chosen) { return builder.AdoptGame(chosen, error); }

    Builder builder;
    std::vector<Status> reports;
    std::vector<std::string> logged;
    std::string error;
};

// The names directly inside a folder; none when it cannot be read.
inline std::set<std::string> NamesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        names.insert(it->path().filename().string());
    }
    return names;
}

// Whether anything stands at path, a link that leads nowhere included.
inline bool Exists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace launcher::test
