#pragma once
// Replacing the running launcher with a newer release: download beside it, check that the download
// is a Windows x86-64 program, then swap the two files; the main loop restarts the new one.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "app/app.h"
#include "platform/release.h"

namespace launcher {

// The running file moves aside to "<exe>.old", or, while an older launcher still runs from that
// name, to the first free "<exe>.<n>.old" for n up to this.
inline constexpr int kMaxReplacedNumber = 99;

// "<exe>.new", "<exe>.old" and "<exe>.<n>.old": the names are appended to the full file name.
std::filesystem::path NewExecutablePath(const std::filesystem::path& executable);
std::filesystem::path ReplacedExecutablePath(const std::filesystem::path& executable, int number = 0);

// The files a self-update works on and the two operations it changes them with; tests aim them at a
// temporary folder and make chosen calls fail.
struct SelfUpdateFiles {
    std::filesystem::path executable;
    // Moves a file onto another name in the same folder, replacing what stands there.
    std::function<bool(const std::filesystem::path& from, const std::filesystem::path& to)> move;
    std::function<bool(const std::filesystem::path& file)> remove;
};

// The running executable, MoveFileReplacing and a plain file removal.
SelfUpdateFiles RunningExecutableFiles();

// Installs release in place of the running executable and sets restartPending. On failure the
// running file is where it was; error is the reason ("cancelled" for a stop).
bool UpdateLauncher(App& app, const Release& release, std::string& error);
bool UpdateLauncher(App& app, const Release& release, const SelfUpdateFiles& files, std::string& error);

// The download's progress, written straight into the App's status.
void ReportUpdateProgress(App& app, std::uint64_t done, std::uint64_t total);

// The task the "Update the launcher" button starts, with its own copy of the offered release.
std::function<bool(std::string&)> UpdateLauncherTask(App& app, Release release,
                                                     SelfUpdateFiles files = RunningExecutableFiles());

}  // namespace launcher
