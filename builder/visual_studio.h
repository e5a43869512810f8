#pragma once
// The Visual Studio part of the tool list: the runtime libraries ("msvc") and the Windows SDK
// ("winsdk") as two more tools, with the addresses, sizes and digests of the publisher's package
// manifest, which the release channel names.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "builder/toolchain.h"
#include "platform/platform.h"

namespace launcher {

// Where the channel is fetched from when the list's "msvc" entry names none.
constexpr char kDefaultVisualStudioChannel[] = "https://aka.ms/vs/17/release/channel";

// Reads the list's "msvc" and "sdk" entries, fetches the channel and then the manifest, and appends
// the "msvc" and "winsdk" tools and sets sdkVersion. On failure nothing is appended and sdkVersion
// is left alone.
bool ReadVisualStudio(Http& http, const std::string& text, Toolchain& toolchain, std::string& error);

// Appends one file per object of the manifest package's "payloads"; a value of another type than
// expected counts as missing.
void AddPayloads(const nlohmann::json& package, std::vector<FileRef>& files);

// The cabinet files an installer package names: every run of 32 lower-case hexadecimal digits
// followed by ".cab" in its bytes, sorted, each once.
std::vector<std::string> MsiCabNames(std::string_view bytes);

}  // namespace launcher
