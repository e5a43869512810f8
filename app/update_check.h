#pragma once

#include <string>

#include "app/app.h"

namespace launcher {

// The start-up task: offers a newer launcher release and asks whether the installed game can be
// updated. Its failures are only logged ("update check: "): it returns true with error empty.
bool CheckForUpdates(App& app, std::string& error);

}  // namespace launcher
