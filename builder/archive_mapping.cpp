#include "builder/archive_mapping.h"

namespace launcher {

std::string StripComponents(const std::string& name, int count) {
    size_t at = 0;
    for (int i = 0; i < count; ++i) {
        const size_t slash = name.find('/', at);
        if (slash == std::string::npos) return {};
        at = slash + 1;
    }
    return name.substr(at);
}

bool KeepPatternMatches(const std::string& pattern, const std::string& name) {
    if (!pattern.empty() && pattern.back() == '/') return name.compare(0, pattern.size(), pattern) == 0;
    // One pass with a single back-off point: the last '*' seen takes one more character of the name
    // (never a '/') whenever the rest fails to match.
    size_t p = 0;
    size_t n = 0;
    size_t star = std::string::npos;
    size_t starTaken = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starTaken = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != std::string::npos && name[starTaken] != '/') {
            p = star + 1;
            n = ++starTaken;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string MapArchivePath(const Tool& tool, const std::string& name) {
    std::string inside = name;
    if (tool.kind == "vsix") {
        // A VSIX package stores its names percent-encoded; the payload lies below Contents/.
        static const std::string kContents = "Contents/";
        inside = PercentDecode(name);
        if (inside.compare(0, kContents.size(), kContents) != 0) return {};
        inside.erase(0, kContents.size());
    }
    const std::string stripped = StripComponents(inside, tool.strip);
    if (stripped.empty() || stripped.back() == '/') return {};
    if (tool.keep.empty()) return stripped;
    for (const std::string& pattern : tool.keep) {
        if (KeepPatternMatches(pattern, stripped)) return stripped;
    }
    return {};
}

}  // namespace launcher
