// The "package download" stage: the release, the package's description, the checked download.
#include <nlohmann/json.hpp>

#include "builder/package_pipeline.h"
#include "builder/toolchain.h"
#include "platform/download.h"
#include "platform/outside_json.h"
#include "platform/release.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr char kDownloadTitle[] = "Downloading the game's package";

// The repository's address (a final ".git" cut) + "/releases/download/" + tag + "/" + name.
std::string PackageAddress(const std::string& repo, const std::string& tag, const std::string& name) {
    std::string base = repo;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".git") == 0) base.resize(base.size() - 4);
    return base + "/releases/download/" + tag + "/" + name;
}

// A description is an object with "sha256", 64 hexadecimal digits in either case, and optionally
// "size", an unsigned integer. Anything else is refused here, so that no value of a wrong type
// reaches the JSON library's throwing accessors and no package is taken unchecked.
bool ReadPackageDescription(const std::string& text, std::string& sha256, std::uint64_t& size) {
    nlohmann::json root;
    if (!ParseOutsideJson(text, root) || !root.is_object()) return false;
    const auto digest = root.find("sha256");
    if (digest == root.end() || !digest->is_string() || !IsSha256Text(digest->get<std::string>())) return false;
    const auto bytes = root.find("size");
    if (bytes != root.end() && !bytes->is_number_unsigned()) return false;
    sha256 = digest->get<std::string>();
    size = bytes != root.end() ? bytes->get<std::uint64_t>() : 0;
    return true;
}

}  // namespace

bool DownloadPackageStage(Builder& builder, PackageRun& run) {
    std::string tag = builder.game.version;
    if (!IsVersion(tag)) {
        Release release;
        std::string lookupError;
        if (!LatestRelease(*builder.http, builder.game.repo, builder.game.shortName, release, lookupError)) {
            run.error = "Could not find the game's package: " + lookupError;
            return false;
        }
        tag = release.tag;
    }
    const std::string address = PackageAddress(builder.game.repo, tag, run.packageName);

    std::string body;
    std::string fetchError;
    if (!FetchText(*builder.http, address + ".json", body, fetchError)) {
        run.error = "Could not find the game's package for " + run.packageName + ": " + fetchError;
        return false;
    }
    std::string sha256;
    std::uint64_t size = 0;
    if (!ReadPackageDescription(body, sha256, size)) {
        run.error = "The package's description for " + run.packageName + " could not be read.";
        return false;
    }
    run.stamp = sha256;
    run.packageSize = size;

    fs::create_directories(run.downloadsFolder, run.fileError);
    run.packagePath = run.downloadsFolder / Utf8Path(run.packageName);

    // The side folder already holds this package (a run that stopped while preparing the code).
    std::string unpackedStamp;
    if (LoadFile(run.sideFolder / kPackageStampName, unpackedStamp) && unpackedStamp == sha256) return true;

    builder.Report(kDownloadTitle, "", 0.0);
    return Download(
        *builder.http, address, run.packagePath, sha256, size,
        [&builder, &run](std::uint64_t done, std::uint64_t total) {
            PackageDownloadProgress(builder, run, done, total);
        },
        &builder.cancel, run.error);
}

void PackageDownloadProgress(Builder& builder, PackageRun& run, std::uint64_t done, std::uint64_t /*total*/) {
    // The download's own total is what the server claims; the description is what was checked.
    const double fraction =
        run.packageSize != 0 ? static_cast<double>(done) / static_cast<double>(run.packageSize) : -1.0;
    builder.Report(kDownloadTitle, FormatSize(done) + " of " + FormatSize(run.packageSize), fraction);
}

}  // namespace launcher
