#include "app/after_update.h"

#include <mutex>
#include <string>
#include <system_error>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

bool IsDecimal(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// "<name>.old" or "<name>.<digits>.old".
bool IsReplacedName(const std::string& candidate, const std::string& name) {
    const std::string suffix = ".old";
    if (candidate.size() < name.size() + suffix.size()) return false;
    if (candidate.compare(0, name.size(), name) != 0) return false;
    if (candidate.compare(candidate.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    const std::string middle = candidate.substr(name.size(), candidate.size() - name.size() - suffix.size());
    return middle.empty() || (middle[0] == '.' && IsDecimal(middle.substr(1)));
}

}  // namespace

void RemoveReplacedExecutables(const fs::path& executable) {
    const std::string name = PathToUtf8(executable.filename());
    std::error_code ec;
    for (fs::directory_iterator it(executable.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        if (!IsReplacedName(PathToUtf8(it->path().filename()), name)) continue;
        std::error_code entryError;
        if (!it->is_regular_file(entryError)) continue;
        fs::remove(it->path(), entryError);
    }
}

bool RestartAfterUpdate(App& app, const fs::path& executable) {
    if (!app.restartPending || app.busy) return false;
    std::string startError;
    if (app.platform->Start(executable, executable.parent_path(), startError)) return true;
    app.restartPending = false;
    std::lock_guard<std::mutex> lock(app.mutex);
    app.error = "The new launcher is in place but did not start: " + startError + " Start it again.";
    return false;
}

}  // namespace launcher
