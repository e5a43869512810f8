#include "platform/download.h"

#include <fstream>

#include "platform/atomic_file.h"
#include "platform/http_answer.h"
#include "platform/sha.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr int kFetchAttempts = 3;
constexpr int kDownloadPasses = 5;

// Collects what Get hands over, up to a limit: stops as soon as the answer says or shows that it is
// longer.
struct TextSink {
    std::string& body;
    const std::uint64_t& total;
    std::uint64_t limit;
    bool tooLarge = false;

    bool AppendToText(const unsigned char* bytes, std::uint64_t count) {
        if (total > limit || count > limit - body.size()) {
            tooLarge = true;
            return false;
        }
        body.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
        return true;
    }
};

std::uint64_t SizeOf(const fs::path& file) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

bool Exists(const fs::path& file) {
    std::error_code ec;
    return fs::exists(file, ec);
}

// Appends what Get hands over to the partial file and reports the bytes so far.
struct DownloadSink {
    std::ofstream& file;
    std::uint64_t& done;
    const std::uint64_t& total;
    const ByteProgress& progress;
    const std::atomic<bool>* cancel;

    bool WriteDownloadChunk(const unsigned char* bytes, std::uint64_t count) {
        if (cancel != nullptr && cancel->load()) return false;
        file.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
        done += count;
        if (progress) progress(done, total != 0 ? total : done);
        return !file.fail() && !file.bad();
    }
};

}  // namespace

bool FetchText(Http& http, const std::string& url, std::string& body, std::string& error, std::uint64_t limit) {
    // A text of our own, so that a failure never shows what the caller's error text held before.
    std::string failure;
    for (int attempt = 0; attempt < kFetchAttempts; ++attempt) {
        body.clear();
        std::uint64_t total = 0;
        TextSink sink{body, total, limit};
        if (!http.Get(
                url, 0, [&sink](const unsigned char* b, std::uint64_t n) { return sink.AppendToText(b, n); }, &total,
                failure)) {
            if (sink.tooLarge) failure = "the answer from " + url + " is too large";
            continue;
        }
        // Some clients report a connection the server cut as a finished answer.
        if (total == 0 || body.size() == total) return true;
        failure = "the answer from " + url + " ended early";
    }
    body.clear();
    error = failure.empty() ? "the request for " + url + " failed" : failure;
    return false;
}

bool Download(Http& http, const std::string& url, const fs::path& destination, const std::string& sha256,
              std::uint64_t size, const ByteProgress& progress, const std::atomic<bool>* cancel, std::string& error) {
    const std::string digest = AsciiLower(sha256);
    if (Exists(destination)) {
        if (!digest.empty()) {
            if (Sha256File(destination) == digest) return true;
        } else if (size == 0 || SizeOf(destination) == size) {
            return true;
        }
    }
    std::error_code ec;
    fs::create_directories(destination.parent_path(), ec);
    fs::path partial = destination;
    partial += ".part";

    // A partial file that is already whole (a stop after the last piece) is taken as it is: asking
    // for the bytes after its end would only get "416" from now on.
    bool accepted = false;
    if (!digest.empty() && size == 0 && SizeOf(partial) > 0 && Sha256File(partial) == digest) accepted = true;

    std::string failure;
    // Whether failure is the last pass's own finding rather than the transfer's message.
    bool ownFinding = false;
    for (int pass = 0; pass < kDownloadPasses && !accepted; ++pass) {
        std::uint64_t offset = Exists(partial) ? SizeOf(partial) : 0;
        if (size != 0 && offset > size) {
            fs::remove(partial, ec);
            offset = 0;
        }
        if (size == 0 || offset < size) {
            std::ofstream file(partial, std::ios::binary | std::ios::app);
            if (!file.is_open()) {
                error = "cannot write " + PathToUtf8(partial);
                return false;
            }
            std::uint64_t total = size;
            std::uint64_t done = offset;
            DownloadSink sink{file, done, total, progress, cancel};
            const bool got = http.Get(
                url, offset, [&sink](const unsigned char* b, std::uint64_t n) { return sink.WriteDownloadChunk(b, n); },
                &total, failure);
            file.close();
            if (cancel != nullptr && cancel->load()) {
                error = "cancelled";
                return false;
            }
            if (!got) {
                // Nothing lies past the partial file's end: it is as long as the file or longer, and
                // was not taken. Only a fresh start can help.
                if (offset > 0 && IsRangeNotSatisfiable(failure, url)) fs::remove(partial, ec);
                ownFinding = false;
                continue;
            }
            if (size == 0) size = total;
            // A transfer the server ended early is no whole file, however it was reported.
            if (size != 0 && SizeOf(partial) != size) {
                const bool longer = SizeOf(partial) > size;
                if (longer) fs::remove(partial, ec);
                failure = "the download of " + PathToUtf8(destination.filename()) +
                          (longer ? " is larger than expected" : " ended early");
                ownFinding = true;
                continue;
            }
        }
        if (!digest.empty() && Sha256File(partial) != digest) {
            failure = "the download of " + PathToUtf8(destination.filename()) + " is damaged (checksum)";
            ownFinding = true;
            fs::remove(partial, ec);
            continue;
        }
        accepted = true;
    }
    if (!accepted) {
        if (failure.empty()) {
            error = "the download of " + url + " failed";
        } else if (ownFinding) {
            // No pass follows the last one.
            error = failure + ", given up after " + std::to_string(kDownloadPasses) + " tries";
        } else {
            error = failure;
        }
        return false;
    }
    std::string reason;
    if (!CommitFile(partial, destination, reason)) {
        error = "cannot rename " + PathToUtf8(partial) + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace launcher
