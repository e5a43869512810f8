#pragma once
// The tasks the Your music and Manage pages start on the App's task thread.

#include <filesystem>
#include <string>

#include "app/app.h"

namespace launcher {

// Converts the folder's music into the game's soundtracks; on success, and only then, the folder
// and the import's result text become the App's.
struct ImportMusicTask {
    App& app;
    std::filesystem::path folder;
    bool operator()(std::string& error) const;
};

// Builds the game again from scratch: the game-code library goes first (a failure is ignored), so
// that the package build cannot find its work done.
struct RebuildTask {
    App& app;
    bool operator()(std::string& error) const;
};

struct RemoveBuildFilesTask {
    App& app;
    bool operator()(std::string& error) const;
};

struct RemoveOldToolsTask {
    App& app;
    bool operator()(std::string& error) const;
};

// Marks the music outcome as the one to show, then runs the import of folder as a task.
void StartMusicImport(App& app, const std::filesystem::path& folder);

}  // namespace launcher
