#pragma once
// The file-open dialog's set-up, apart from showing it, so that it can be checked on a real dialog.

#include <shobjidl.h>

namespace launcher {

// Folder mode: folders only, with title or the usual folder title when it is null. File mode: the
// disc image types and the usual file title (title is not used). Both: file-system items only.
HRESULT SetUpFileDialog(IFileDialog* dialog, bool folder, const wchar_t* title);

}  // namespace launcher
