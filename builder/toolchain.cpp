#include "builder/toolchain.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <string_view>

#include "builder/archive_path.h"
#include "platform/outside_json.h"
#include "platform/text.h"

namespace launcher {
namespace {

using Json = nlohmann::json;

constexpr char kNotReadable[] = "toolchain.json is not readable";

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsInt32(const Json& value) {
    if (value.is_number_unsigned()) {
        return value.get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    }
    if (!value.is_number_integer()) return false;
    const std::int64_t number = value.get<std::int64_t>();
    return number >= std::numeric_limits<std::int32_t>::min() && number <= std::numeric_limits<std::int32_t>::max();
}

bool IsArrayOfStrings(const Json& value) {
    if (!value.is_array()) return false;
    for (const Json& element : value) {
        if (!element.is_string()) return false;
    }
    return true;
}

// Whether each key the reader takes has the type it is read as (unknown keys are not looked at),
// so that reading it cannot throw.
bool HasToolShape(const Json& tool) {
    if (!tool.is_object()) return false;
    for (const auto& [key, value] : tool.items()) {
        bool fits = true;
        if (key == "keep") {
            fits = IsArrayOfStrings(value);
        } else if (key == "strip") {
            fits = IsInt32(value);
        } else if (key == "size") {
            fits = value.is_number_unsigned();
        } else if (key == "optional") {
            fits = value.is_boolean();
        } else if (key == "id" || key == "title" || key == "kind" || key == "url" || key == "sha256") {
            fits = value.is_string();
        }
        if (!fits) return false;
    }
    return true;
}

// The part of an address after its last '/' (all of it without one), percent-decoded.
std::string FileNameOfUrl(const std::string& url) {
    const size_t slash = url.rfind('/');
    return PercentDecode(slash == std::string::npos ? url : url.substr(slash + 1));
}

Tool ReadTool(const Json& object) {
    Tool tool;
    tool.id = object.value("id", std::string());
    tool.title = object.value("title", tool.id);
    tool.kind = object.value("kind", std::string("zip"));
    tool.strip = object.value("strip", std::int32_t{0});
    tool.optional = object.value("optional", false);
    if (const auto keep = object.find("keep"); keep != object.end()) {
        tool.keep = keep->get<std::vector<std::string>>();
    }
    FileRef file;
    file.url = object.value("url", std::string());
    file.sha256 = AsciiLower(object.value("sha256", std::string()));
    file.size = object.value("size", std::uint64_t{0});
    file.name = FileNameOfUrl(file.url);
    // The stamp names all that decides what the folder holds: the archive, how it is unpacked and
    // which of its entries are kept.
    tool.stamp = file.sha256 + " " + tool.kind + " " + std::to_string(tool.strip);
    for (const std::string& pattern : tool.keep) tool.stamp += " " + pattern;
    tool.files.push_back(std::move(file));
    return tool;
}

}  // namespace

std::uint64_t Tool::DownloadSize() const {
    std::uint64_t sum = 0;
    for (const FileRef& file : files) sum += file.size;
    for (const FileRef& file : cabs) sum += file.size;
    return sum;
}

std::string PercentDecode(const std::string& text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexDigitValue(text[i + 1]);
            const int low = HexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

bool IsSafeToolName(const std::string& name) {
    for (const char c : name) {
        if (c < 0x20 || c > 0x7e || c == '/' || c == '\\') return false;
    }
    return name != "." && IsSafeRelativePath(name);
}

bool IsHttpsAddress(const std::string& url) {
    constexpr std::string_view kScheme = "https://";
    return url.size() >= kScheme.size() && AsciiEqualIgnoringCase(std::string_view(url).substr(0, kScheme.size()), kScheme);
}

bool IsSha256Text(const std::string& text) {
    if (text.size() != 64) return false;
    for (const char c : text) {
        if (HexDigitValue(c) < 0) return false;
    }
    return true;
}

bool ReadToolchain(const std::string& text, Toolchain& toolchain, std::string& error) {
    Json root;
    if (!ParseOutsideJson(text, root) || !root.is_object()) {
        error = kNotReadable;
        return false;
    }
    const auto tools = root.find("tools");
    if (tools == root.end() || !tools->is_array()) {
        error = kNotReadable;
        return false;
    }
    for (const Json& object : *tools) {
        if (!HasToolShape(object)) {
            error = kNotReadable;
            return false;
        }
    }
    // Each id names one folder, and Windows takes "Git" and "git" for one; the Visual Studio part
    // of the list adds "msvc" and "winsdk".
    std::set<std::string> seen = {"msvc", "winsdk"};
    for (const Json& object : *tools) {
        Tool tool = ReadTool(object);
        const FileRef& file = tool.files.front();
        if (tool.id.empty() || file.url.empty() || file.sha256.size() != 64) {
            error = "toolchain.json: tool " + tool.id + " needs an id, a url and a sha256";
            return false;
        }
        if (!IsHttpsAddress(file.url)) {
            error = "toolchain.json: tool " + tool.id + " needs an https address";
            return false;
        }
        // The id names a folder that is removed whole before an install, the name a downloaded file.
        if (!IsSafeToolName(tool.id) || !IsSafeToolName(file.name)) {
            error = "toolchain.json: tool " + tool.id + " has an unsafe id or file name";
            return false;
        }
        if (!seen.insert(AsciiLower(tool.id)).second) {
            error = "toolchain.json: tool " + tool.id + " appears twice";
            return false;
        }
        toolchain.tools.push_back(std::move(tool));
    }
    return true;
}

}  // namespace launcher
