#include "app/self_update.h"

#include <mutex>
#include <system_error>
#include <utility>

#include "builder/builder.h"
#include "platform/download.h"
#include "platform/executable_path.h"
#include "platform/move_file.h"
#include "platform/text.h"
#include "platform/windows_program.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Where the running file moves to: "<exe>.old", unless a file still stands there (a launcher that
// runs from it cannot be removed or replaced), then the first free numbered name.
fs::path ReplacedTarget(const fs::path& executable) {
    const fs::path replaced = ReplacedExecutablePath(executable);
    if (!Exists(replaced)) return replaced;
    for (int number = 1; number <= kMaxReplacedNumber; ++number) {
        fs::path candidate = ReplacedExecutablePath(executable, number);
        if (!Exists(candidate)) return candidate;
    }
    return replaced;
}

}  // namespace

fs::path NewExecutablePath(const fs::path& executable) {
    fs::path path = executable;
    path += ".new";
    return path;
}

fs::path ReplacedExecutablePath(const fs::path& executable, int number) {
    fs::path path = executable;
    const std::string suffix = number > 0 ? std::to_string(number) + ".old" : std::string("old");
    path += ".";
    path += suffix;
    return path;
}

SelfUpdateFiles RunningExecutableFiles() {
    SelfUpdateFiles files;
    files.executable = ExecutablePath();
    files.move = [](const fs::path& from, const fs::path& to) {
        std::string systemText;
        return MoveFileReplacing(from, to, systemText);
    };
    files.remove = [](const fs::path& file) {
        std::error_code ec;
        return fs::remove(file, ec);
    };
    return files;
}

bool UpdateLauncher(App& app, const Release& release, std::string& error) {
    return UpdateLauncher(app, release, RunningExecutableFiles(), error);
}

bool UpdateLauncher(App& app, const Release& release, const SelfUpdateFiles& files, std::string& error) {
    const fs::path& executable = files.executable;
    const fs::path newPath = NewExecutablePath(executable);
    const std::string newText = PathToUtf8(newPath);
    app.builder->cancel = false;

    if (release.sha256.empty() && release.size == 0) {
        error = "The new launcher cannot be checked (its release gives no checksum and no size), so it was not "
                "installed.";
        return false;
    }
    if (release.sha256.empty()) {
        // A complete file of the right size would be taken as it is, whatever release left it.
        fs::path part = newPath;
        part += ".part";
        files.remove(newPath);
        files.remove(part);
    }
    const ByteProgress progress = [&app](std::uint64_t done, std::uint64_t total) {
        ReportUpdateProgress(app, done, total);
    };
    if (!Download(*app.http, release.url, newPath, release.sha256, release.size, progress, &app.builder->cancel,
                  error)) {
        return false;
    }
    if (!IsWindowsX64Program(newPath)) {
        files.remove(newPath);
        error = "The new launcher that was downloaded is not a program for this PC, so it was not installed.";
        return false;
    }

    const fs::path replaced = ReplacedExecutablePath(executable);
    if (Exists(replaced)) files.remove(replaced);
    const fs::path target = ReplacedTarget(executable);
    if (!files.move(executable, target)) {
        error = "The launcher could not be updated (it could not rename itself). The new one is " + newText + ".";
        return false;
    }
    if (files.move(newPath, executable)) {
        app.restartPending = true;
        return true;
    }
    error = "The launcher could not be updated (the new one could not take its place). It is " + newText + ".";
    if (!files.move(target, executable)) {
        error += " This launcher could not be put back either: it is now " + PathToUtf8(target) + ".";
    }
    return false;
}

void ReportUpdateProgress(App& app, std::uint64_t done, std::uint64_t total) {
    std::lock_guard<std::mutex> lock(app.mutex);
    app.status.title = "Downloading the new launcher";
    app.status.detail = FormatSize(done) + " of " + FormatSize(total);
    app.status.fraction = total == 0 ? -1.0 : static_cast<double>(done) / static_cast<double>(total);
}

std::function<bool(std::string&)> UpdateLauncherTask(App& app, Release release, SelfUpdateFiles files) {
    return [&app, release = std::move(release), files = std::move(files)](std::string& error) {
        return UpdateLauncher(app, release, files, error);
    };
}

}  // namespace launcher
