#include "builder/build_environment.h"

#include <system_error>

#include "builder/builder.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

// A path in the platform's own form (backslashes on Windows), as UTF-8.
std::string PathText(fs::path path) { return PathToUtf8(path.make_preferred()); }

// Empty for a text that cannot name a folder.
fs::path ListedVersion(const std::string& text) {
    try {
        return Utf8Path(text);
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace

fs::path NewestSubdirectory(const fs::path& folder) {
    fs::path newest;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        if (!fs::is_directory(fs::status(it->path(), statusError))) continue;
        if (newest.empty() || newest < it->path()) newest = it->path();
    }
    return newest;
}

std::string JoinPathList(char separator, const std::vector<fs::path>& paths) {
    std::string list;
    for (const fs::path& path : paths) {
        const std::string text = PathText(path);
        if (!list.empty()) list += separator;
        list += text;
    }
    return list;
}

std::map<std::string, std::string> Builder::BuildEnvironment(const Toolchain& toolchain) const {
    const char separator = platform->PathListSeparator();
    const fs::path msvc = NewestSubdirectory(ToolDir("msvc") / "VC" / "Tools" / "MSVC");
    const fs::path sdkRoot = ToolDir("winsdk") / "Windows Kits" / "10";
    // The tool list's version when that folder is there, else the newest one present. Kept as a
    // path: a folder name that is no UTF-8 must not throw.
    fs::path version = ListedVersion(toolchain.sdkVersion);
    std::error_code ec;
    if (version.empty() || !fs::exists(sdkRoot / "Include" / version, ec)) {
        version = NewestSubdirectory(sdkRoot / "Include").filename();
    }
    const std::string sdkVersion = PathToUtf8(version);

    std::string path = JoinPathList(separator, {ToolDir("llvm") / "bin", ToolDir("cmake") / "bin", ToolDir("ninja"),
                                                ToolDir("git") / "cmd", sdkRoot / "bin" / version / "x64"});
    const std::string inherited = platform->GetEnv("PATH");
    if (!inherited.empty()) {
        path += separator;
        path += inherited;
    }
    // git takes these as one setting: safe.directory=*, every folder is safe. git runs without a
    // window: asked for credentials (a repository that answers 401), it must fail rather than wait
    // for an answer nobody can give, at its own prompt or at the credential manager's.
    std::map<std::string, std::string> environment{{"PATH", path},
                                                   {"GIT_CONFIG_COUNT", "1"},
                                                   {"GIT_CONFIG_KEY_0", "safe.directory"},
                                                   {"GIT_CONFIG_VALUE_0", "*"},
                                                   {"GIT_TERMINAL_PROMPT", "0"},
                                                   {"GCM_INTERACTIVE", "never"}};
    if (msvc.empty()) return environment;

    const fs::path include = sdkRoot / "Include" / version;
    environment["INCLUDE"] = JoinPathList(separator, {msvc / "include", include / "ucrt", include / "shared",
                                                      include / "um", include / "winrt", include / "cppwinrt"});
    const fs::path lib = sdkRoot / "Lib" / version;
    environment["LIB"] = JoinPathList(separator, {msvc / "lib" / "x64", lib / "ucrt" / "x64", lib / "um" / "x64"});
    environment["VCToolsInstallDir"] = PathText(msvc) + "\\";
    environment["WindowsSdkDir"] = PathText(sdkRoot) + "\\";
    environment["WindowsSDKVersion"] = sdkVersion + "\\";
    return environment;
}

}  // namespace launcher
