#include "app/update_check.h"

#include <mutex>

#include "platform/release.h"

namespace launcher {

bool CheckForUpdates(App& app, std::string& error) {
    const std::string& own = app.game.version;
    // A development build has no release to compare with.
    if (IsVersion(own)) {
        Release release;
        std::string lookupError;
        if (!LatestRelease(*app.http, app.game.repo, app.game.shortName, release, lookupError)) {
            app.builder->Log("update check: " + (lookupError.empty() ? std::string("no answer") : lookupError));
        } else if (CompareVersions(release.tag, own) > 0) {
            app.builder->Log("update check: " + release.tag + " is out, this launcher is " + own + ": offered");
            std::lock_guard<std::mutex> lock(app.releaseMutex);
            app.offeredRelease = release;
            app.launcherOffered = true;
        } else {
            app.builder->Log("update check: the latest release is " + release.tag + ", this launcher is " + own);
        }
    }
    if (app.builder->IsInstalled()) {
        bool available = false;
        if (app.builder->SourceUpdateAvailable(available, error)) app.gameUpdateReady = available;
    }
    error.clear();
    return true;
}

}  // namespace launcher
