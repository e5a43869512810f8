#include <windows.h>

#include "platform/dll_search.h"

namespace launcher {

bool LoadLibrariesFromSystemFolderOnly() { return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != 0; }

}  // namespace launcher
