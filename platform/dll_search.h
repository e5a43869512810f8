#pragma once
// Windows only.

namespace launcher {

// Libraries loaded by name while the launcher runs (the ImGui backend's XInput among them) come from
// the system's folder only, never from the launcher's own folder (often Downloads) or the current
// one. Called first thing at start-up; false when the system refuses.
bool LoadLibrariesFromSystemFolderOnly();

}  // namespace launcher
