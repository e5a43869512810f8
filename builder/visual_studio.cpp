#include "builder/visual_studio.h"

#include <map>
#include <set>

#include "platform/download.h"
#include "platform/outside_json.h"
#include "platform/release.h"
#include "platform/text.h"

namespace launcher {
namespace {

using Json = nlohmann::json;

constexpr char kManifestItemId[] = "Microsoft.VisualStudio.Manifests.VisualStudio";
constexpr char kUnreadableList[] = "toolchain.json is not readable";
constexpr char kUnreadableManifest[] = "the Visual Studio manifest is not readable";

// What the list's "msvc" and "sdk" entries ask for.
struct VisualStudioWants {
    std::string channel = kDefaultVisualStudioChannel;
    std::string runtimeVersion;
    std::vector<std::string> runtimePackages;  // "{v}" stands for runtimeVersion
    std::string sdkPackage;
    std::string sdkVersion;
    std::vector<std::string> sdkInstallers;
};

// Sets out from object's member key when there is one; false when it is of another type.
bool ReadOptionalText(const Json& object, const char* key, std::string& out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_string()) return false;
    out = it->get<std::string>();
    return true;
}

bool ReadOptionalTexts(const Json& object, const char* key, std::vector<std::string>& out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_array()) return false;
    for (const Json& element : *it) {
        if (!element.is_string()) return false;
    }
    out = it->get<std::vector<std::string>>();
    return true;
}

bool ReadWants(const std::string& text, VisualStudioWants& wants, std::string& error) {
    Json root;
    const bool parsed = ParseOutsideJson(text, root) && root.is_object();
    const auto msvc = parsed ? root.find("msvc") : root.end();
    const auto sdk = parsed ? root.find("sdk") : root.end();
    if (!parsed || msvc == root.end() || sdk == root.end() || !msvc->is_object() || !sdk->is_object()) {
        error = "toolchain.json has no msvc or sdk entry";
        return false;
    }
    const bool readable = ReadOptionalText(*msvc, "channel", wants.channel) &&
                          ReadOptionalText(*msvc, "version", wants.runtimeVersion) &&
                          ReadOptionalTexts(*msvc, "packages", wants.runtimePackages) &&
                          ReadOptionalText(*sdk, "package", wants.sdkPackage) &&
                          ReadOptionalText(*sdk, "version", wants.sdkVersion) &&
                          ReadOptionalTexts(*sdk, "msis", wants.sdkInstallers);
    if (!readable) error = kUnreadableList;
    return readable;
}

// The manifest's address: the first payload's "url" of the last well-formed manifest item; "" when
// there is none. Items of other shapes are passed over.
std::string ManifestAddress(const std::string& channelText) {
    Json channel;
    if (!ParseOutsideJson(channelText, channel) || !channel.is_object()) return "";
    const auto items = channel.find("channelItems");
    if (items == channel.end() || !items->is_array()) return "";
    std::string address;
    for (const Json& item : *items) {
        if (TextField(item, "id") != kManifestItemId) continue;
        const auto payloads = item.find("payloads");
        if (payloads == item.end() || !payloads->is_array() || payloads->empty()) continue;
        const Json& first = payloads->front();
        const auto url = first.is_object() ? first.find("url") : first.end();
        if (!first.is_object() || url == first.end() || !url->is_string()) continue;
        address = url->get<std::string>();
    }
    return address;
}

// A key that is missing counts as "".
bool IsTextOrMissing(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() || it->is_string();
}

bool IsKeptChip(const std::string& chip) { return chip.empty() || chip == "x64" || chip == "neutral"; }

bool IsKeptLanguage(const std::string& language) {
    return language.empty() || language == "neutral" || language == "en-us";
}

// Lower-cased id -> package, for the packages this machine can use; the first of equal ids wins.
std::map<std::string, const Json*> IndexPackages(const Json& packages) {
    std::map<std::string, const Json*> index;
    for (const Json& package : packages) {
        if (!package.is_object() || !IsTextOrMissing(package, "id") || !IsTextOrMissing(package, "chip") ||
            !IsTextOrMissing(package, "language")) {
            continue;
        }
        if (!IsKeptChip(AsciiLower(TextField(package, "chip"))) ||
            !IsKeptLanguage(AsciiLower(TextField(package, "language")))) {
            continue;
        }
        index.emplace(AsciiLower(TextField(package, "id")), &package);
    }
    return index;
}

// Every "{v}" replaced by version; a version that itself holds "{v}" is not expanded again.
std::string WithVersion(std::string name, const std::string& version) {
    for (size_t at = name.find("{v}"); at != std::string::npos; at = name.find("{v}", at + version.size())) {
        name.replace(at, 3, version);
    }
    return name;
}

bool EndsWithCab(const std::string& lowerName) {
    return lowerName.size() > 4 && lowerName.compare(lowerName.size() - 4, 4, ".cab") == 0;
}

// The names become files in the download folder, and what the files hold is unpacked or run: each
// comes over https and is checked against its digest.
bool AllPayloadsUsable(const std::vector<FileRef>& files, std::string& error) {
    for (const FileRef& file : files) {
        if (!IsSafeToolName(file.name)) {
            error = "the Visual Studio manifest has an unsafe file name: " + file.name;
            return false;
        }
        if (!IsHttpsAddress(file.url)) {
            error = "the Visual Studio manifest's " + file.name + " needs an https address: " + file.url;
            return false;
        }
        if (!IsSha256Text(file.sha256)) {
            error = "the Visual Studio manifest's " + file.name + " has no sha256";
            return false;
        }
    }
    return true;
}

bool MakeRuntimeTool(const VisualStudioWants& wants, const std::map<std::string, const Json*>& index, Tool& tool,
                     std::string& error) {
    tool.id = "msvc";
    tool.title = "Microsoft C++ libraries " + wants.runtimeVersion;
    tool.kind = "vsix";
    // The version and the packages taken: a package added under the same version is another selection.
    tool.stamp = wants.runtimeVersion;
    for (const std::string& listed : wants.runtimePackages) {
        const std::string name = WithVersion(listed, wants.runtimeVersion);
        tool.stamp += " " + name;
        const auto found = index.find(AsciiLower(name));
        if (found == index.end()) {
            error = "the Visual Studio manifest has no " + name;
            return false;
        }
        std::vector<FileRef> payloads;
        AddPayloads(*found->second, payloads);
        // Each payload is a file of its own in the download folder.
        for (size_t i = 0; i < payloads.size(); ++i) {
            payloads[i].name = payloads.size() == 1 ? name + ".vsix" : name + "-" + std::to_string(i + 1) + ".vsix";
        }
        if (!AllPayloadsUsable(payloads, error)) return false;
        tool.files.insert(tool.files.end(), payloads.begin(), payloads.end());
    }
    return true;
}

bool MakeSdkTool(const VisualStudioWants& wants, const std::map<std::string, const Json*>& index, Tool& tool,
                 std::string& error) {
    tool.id = "winsdk";
    tool.title = "Windows SDK " + wants.sdkVersion;
    tool.kind = "msi";
    const auto found = index.find(AsciiLower(wants.sdkPackage));
    if (found == index.end()) {
        error = "the Visual Studio manifest has no " + wants.sdkPackage;
        return false;
    }
    std::set<std::string> wanted;
    for (const std::string& installer : wants.sdkInstallers) wanted.insert(AsciiLower(installer));
    std::vector<FileRef> payloads;
    AddPayloads(*found->second, payloads);
    for (FileRef& payload : payloads) {
        const std::string lower = AsciiLower(payload.name);
        if (wanted.count(lower) != 0) {
            tool.files.push_back(std::move(payload));
        } else if (EndsWithCab(lower)) {
            tool.cabs.push_back(std::move(payload));
        }
    }
    if (!AllPayloadsUsable(tool.files, error) || !AllPayloadsUsable(tool.cabs, error)) return false;
    if (tool.files.size() != wanted.size()) {
        error = "the Windows SDK package lacks some of its installers (" + std::to_string(tool.files.size()) + " of " +
                std::to_string(wanted.size()) + ")";
        return false;
    }
    tool.stamp = wants.sdkPackage;
    for (const FileRef& file : tool.files) tool.stamp += " " + file.name;
    return true;
}

}  // namespace

bool ReadVisualStudio(Http& http, const std::string& text, Toolchain& toolchain, std::string& error) {
    VisualStudioWants wants;
    if (!ReadWants(text, wants, error)) return false;

    if (!IsHttpsAddress(wants.channel)) {
        error = "toolchain.json: the Visual Studio channel needs an https address: " + wants.channel;
        return false;
    }
    std::string channelText;
    std::string fetchError;
    if (!FetchText(http, wants.channel, channelText, fetchError)) {
        error = "Visual Studio channel: " + fetchError;
        return false;
    }
    const std::string manifestAddress = ManifestAddress(channelText);
    if (manifestAddress.empty()) {
        error = "the Visual Studio channel lists no package manifest";
        return false;
    }
    if (!IsHttpsAddress(manifestAddress)) {
        error = "the Visual Studio channel's package manifest needs an https address: " + manifestAddress;
        return false;
    }

    Json manifest;
    {
        std::string manifestText;
        if (!FetchText(http, manifestAddress, manifestText, fetchError)) {
            error = "Visual Studio manifest: " + fetchError;
            return false;
        }
        // The text is large, and the parsed tree is all that is used from here on.
        if (!ParseOutsideJson(manifestText, manifest)) manifest = nullptr;
    }
    const auto packages = manifest.is_object() ? manifest.find("packages") : manifest.end();
    if (!manifest.is_object() || packages == manifest.end() || !packages->is_array()) {
        error = kUnreadableManifest;
        return false;
    }
    const std::map<std::string, const Json*> index = IndexPackages(*packages);

    Tool runtime;
    Tool sdk;
    if (!MakeRuntimeTool(wants, index, runtime, error) || !MakeSdkTool(wants, index, sdk, error)) return false;
    toolchain.sdkVersion = wants.sdkVersion;
    toolchain.tools.push_back(std::move(runtime));
    toolchain.tools.push_back(std::move(sdk));
    return true;
}

void AddPayloads(const Json& package, std::vector<FileRef>& files) {
    if (!package.is_object()) return;
    const auto payloads = package.find("payloads");
    if (payloads == package.end() || !payloads->is_array()) return;
    for (const Json& payload : *payloads) {
        if (!payload.is_object()) continue;
        FileRef file;
        const std::string fileName = TextField(payload, "fileName");
        const size_t separator = fileName.find_last_of("\\/");
        file.name = separator == std::string::npos ? fileName : fileName.substr(separator + 1);
        file.url = TextField(payload, "url");
        file.sha256 = AsciiLower(TextField(payload, "sha256"));
        const auto size = payload.find("size");
        if (size != payload.end() && size->is_number_unsigned()) file.size = size->get<std::uint64_t>();
        files.push_back(std::move(file));
    }
}

}  // namespace launcher
