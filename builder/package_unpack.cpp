#include "builder/package_unpack.h"

#include <vector>

#include "builder/archive_path.h"
#include "builder/package_pipeline.h"
#include "builder/protected_folders.h"
#include "builder/zip_extract.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

const char kUnpackTitle[] = "Unpacking the game's package";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The name without its "." and empty pieces, so that a name spelled with extra "./" pieces or
// doubled separators meets the same tests as its plain spelling. A final '/' stays.
std::string Normalised(const std::string& name) {
    std::string normal;
    for (std::string_view piece : NamedPieces(name)) {
        if (!normal.empty()) normal += '/';
        normal += piece;
    }
    if (EndsWith(name, "/") && !normal.empty()) normal += '/';
    return normal;
}

bool IsProtected(const std::string& lower) {
    static const std::vector<std::string> prefixes = [] {
        std::vector<std::string> list;
        for (std::string_view folder : kProtectedFolders) list.push_back(std::string(folder) + "/");
        list.push_back(std::string(kPackageWorkFolder) + "/");
        return list;
    }();
    if (lower.size() < 4) return false;
    for (const std::string& prefix : prefixes) {
        if (StartsWith(lower, prefix)) return true;
    }
    return false;
}

bool IsSideFolder(const std::string& lower) {
    return lower.compare(0, kSideFolder.size(), kSideFolder) == 0 &&
           (lower.size() == kSideFolder.size() || lower[kSideFolder.size()] == '/');
}

bool IsTopLevelSettings(const std::string& lower) {
    return lower.size() >= 6 && EndsWith(lower, ".toml") && lower.find('/') == std::string::npos;
}

// The filter by the name alone.
std::string KeptName(const std::string& name) {
    std::string n = name;
    if (n.size() >= 2 && StartsWith(n, "./")) n.erase(0, 2);
    const std::string lower = AsciiLower(n);
    const std::string normal = Normalised(lower);
    if (IsProtected(lower) || IsProtected(normal) || IsSideFolder(normal)) return "";
    if (n.size() >= 2 && n.find("..") != std::string::npos) return "";
    if (n.empty()) return "";
    if (n.front() == '/') return "";
    if (n.find(':') != std::string::npos) return "";
    if (IsTopLevelSettings(lower) || IsTopLevelSettings(normal)) return "";
    // Names that Windows would write elsewhere ("hdd./x" lands in hdd) or not at all ("nul").
    if (!IsSafeRelativePath(n)) return "";
    return n;
}

}  // namespace

std::string PackageEntryFilter::operator()(const std::string& name) {
    std::string kept = KeptName(name);
    if (kept.empty()) return kept;
    const std::string normal = Normalised(kept);
    const std::string top = normal.substr(0, normal.find('/'));
    // A first piece of a protected name as spelt has had its rules above.
    if (IsProtectedTopLevelName(top)) return kept;
    const auto [known, added] = protectedTops_.try_emplace(top, false);
    if (added) known->second = IsProtectedTopLevelEntry(playFolder_, top);
    return known->second ? std::string() : kept;
}

void PackageUnpackProgress(Builder& builder, std::uint64_t done, std::uint64_t total) {
    const double fraction = total != 0 ? static_cast<double>(done) / static_cast<double>(total) : -1.0;
    builder.Report(kUnpackTitle, "", fraction);
}

bool UnpackPackageStage(Builder& builder, PackageRun& run) {
    builder.Report(kUnpackTitle, "", 0.0);
    fs::create_directories(run.sideFolder, run.fileError);
    return ExtractZip(
        run.packagePath, run.sideFolder, PackageEntryFilter(builder.PlayFolder()),
        [&builder](std::uint64_t done, std::uint64_t total) { PackageUnpackProgress(builder, done, total); },
        &builder.cancel, run.error);
}

}  // namespace launcher
