// launcher.json: the user's choices between runs.
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "builder/builder.h"
#include "platform/atomic_file.h"
#include "platform/outside_json.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using Json = nlohmann::json;  // keys sorted, as the file lists them

fs::path SettingsPath(const Builder& builder) { return builder.baseFolder / "launcher.json"; }

// The settings as an object; whatever is missing, unreadable or not an object reads as empty.
Json ReadSettingsLocked(const Builder& builder) {
    std::string text;
    Json root;
    if (!LoadFile(SettingsPath(builder), text) || !ParseOutsideJson(text, root) || !root.is_object()) {
        return Json::object();
    }
    return root;
}

// Sets one key and writes the whole object back. Only where the replace is refused (another
// program holds the file open on Windows) is it written in place.
void WriteSetting(Builder& builder, const std::string& key, Json value) {
    std::lock_guard<std::mutex> lock(builder.settingsMutex);
    Json root = ReadSettingsLocked(builder);
    root[key] = std::move(value);
    const std::string text = root.dump(2, ' ', false, Json::error_handler_t::replace);
    AtomicWriteOptions options;
    options.platformLineEnds = true;
    options.writeInPlaceWhenReplaceRefused = true;
    std::string error;
    WriteFileAtomically(SettingsPath(builder), text, options, error);
}

Json ReadSetting(Builder& builder, const char* key) {
    std::lock_guard<std::mutex> lock(builder.settingsMutex);
    const Json root = ReadSettingsLocked(builder);
    const auto it = root.find(key);
    return it == root.end() ? Json() : *it;
}

// A path kept as UTF-8; empty when it is no string or not valid text.
fs::path PathSetting(const Json& value) {
    if (!value.is_string()) return {};
    try {
        return Utf8Path(value.get<std::string>());
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace

bool LoadFile(const fs::path& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
    return true;
}

void Builder::SaveSetting(const std::string& key, const std::string& value) { WriteSetting(*this, key, value); }

std::string Builder::ReadStringSetting(const std::string& key) {
    const Json value = ReadSetting(*this, key.c_str());
    return value.is_string() ? value.get<std::string>() : "";
}

void Builder::WritePlayAtStart(bool on) { WriteSetting(*this, "play_at_start", on); }

fs::path Builder::ChosenGamePath() {
    const fs::path chosen = PathSetting(ReadSetting(*this, "game"));
    if (chosen.empty()) return chosen;
    std::error_code ec;
    if (fs::exists(chosen, ec)) return chosen;
    if (AsciiLower(PathToUtf8(chosen.extension())) != ".iso") return chosen;
    // An image that has gone may still be in the game folder, where adopting it put a copy.
    const fs::path kept = PlayFolder() / "assets" / chosen.filename();
    if (fs::is_regular_file(fs::status(kept, ec))) return kept;
    return chosen;
}

std::string Builder::BuiltVersion() { return ReadStringSetting("built"); }

bool Builder::ReadPlayAtStart() {
    const Json value = ReadSetting(*this, "play_at_start");
    return value.is_boolean() && value.get<bool>();
}

fs::path Builder::ReadMusicFolder() { return PathSetting(ReadSetting(*this, "music")); }

}  // namespace launcher
