#include "app/window_geometry.h"

namespace launcher {

WindowRect StartWindowRect(unsigned dpi, const WindowRect& workArea) {
    const float scale = static_cast<float>(dpi) / 96.0f;
    WindowRect rect;
    rect.width = static_cast<int>(900.0f * scale);
    rect.height = static_cast<int>(700.0f * scale);
    rect.left = workArea.left + (workArea.width - rect.width) / 2;
    rect.top = workArea.top + (workArea.height - rect.height) / 2;
    return rect;
}

WindowSize MinimumTrackSize(unsigned dpi) {
    const int scaled = static_cast<int>(dpi);
    return {640 * scaled / 96, 480 * scaled / 96};
}

}  // namespace launcher
