#include "app/page_tasks.h"

#include <mutex>
#include <system_error>

namespace fs = std::filesystem;

namespace launcher {

bool ImportMusicTask::operator()(std::string& error) const {
    std::string result;
    if (!app.builder->ImportMusic(folder, result, error)) return false;
    std::lock_guard<std::mutex> lock(app.mutex);
    app.musicFolder = folder;
    app.musicResult = result;
    return true;
}

bool RebuildTask::operator()(std::string& error) const {
    std::error_code ignored;
    fs::remove(app.builder->PlayFolder() / (app.builder->game.exe + ".dll"), ignored);
    return app.builder->BuildAll(error);
}

bool RemoveBuildFilesTask::operator()(std::string& error) const { return app.builder->RemoveBuildFiles(error); }

bool RemoveOldToolsTask::operator()(std::string& error) const { return app.builder->RemoveTools(error); }

void StartMusicImport(App& app, const fs::path& folder) {
    app.musicResultShown = true;
    app.RunTask(ImportMusicTask{app, folder}, "Your music is ready.");
}

}  // namespace launcher
