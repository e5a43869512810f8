#pragma once
// Runs a console program with its output streamed line by line, a chosen environment and a stop
// flag that ends the program and everything it started.

#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace launcher {

// Returns the exit code, or -1 when the program did not start, or when stop was given and is set at
// the end. Output lines go to onLine on the calling thread.
#ifdef _WIN32
// program, when not empty, is the file started (by that path, never searched for); empty leaves
// finding it to the system, from the command line's first word.
int RunProcess(const std::filesystem::path& program, const std::wstring& commandLine,
               const std::filesystem::path& workingFolder, const std::map<std::string, std::string>& environment,
               const LineCallback& onLine, std::atomic<bool>* stop);

// The same in a job the caller made (null: none), which the program joins before it runs. A program
// that cannot join it is ended before it runs, and the start fails as when it cannot start.
int RunProcessInJob(void* job, const std::filesystem::path& program, const std::wstring& commandLine,
                    const std::filesystem::path& workingFolder, const std::map<std::string, std::string>& environment,
                    const LineCallback& onLine, std::atomic<bool>* stop);

// The full path of a program in the system's folder (System32). The system's own programs are
// started by it: by name alone, Windows would look in the launcher's folder first.
std::filesystem::path SystemProgramPath(const wchar_t* name);

// The launcher's environment block (name=value entries, each ending in a zero, then a final zero)
// merged with the overrides: an override replaces every entry of its name in any case, is kept even
// when empty, and the whole list is sorted by name ignoring case.
std::vector<std::pair<std::wstring, std::wstring>> MergeEnvironment(
    const wchar_t* block, const std::map<std::string, std::string>& environment);
#else
int RunProcess(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
               const std::map<std::string, std::string>& environment, const LineCallback& onLine,
               std::atomic<bool>* stop);
#endif

// Where the MSI extraction writes its details: beside the target folder, named after the package
// (tools/kit.msiexec.log for kit.msi into tools/winsdk).
std::filesystem::path MsiLogPath(const std::filesystem::path& msi, const std::filesystem::path& targetFolder);

}  // namespace launcher
