#include "app/window_geometry.h"

#include <algorithm>

namespace launcher {

WindowRect StartWindowRect(unsigned dpi, const WindowRect& workArea) {
    const float scale = static_cast<float>(dpi) / 96.0f;
    const WindowSize smallest = MinimumTrackSize(dpi);
    WindowRect rect;
    rect.width = std::max(std::min(static_cast<int>(900.0f * scale), workArea.width), smallest.width);
    rect.height = std::max(std::min(static_cast<int>(700.0f * scale), workArea.height), smallest.height);
    rect.left = workArea.left + std::max((workArea.width - rect.width) / 2, 0);
    rect.top = workArea.top + std::max((workArea.height - rect.height) / 2, 0);
    return rect;
}

WindowSize MinimumTrackSize(unsigned dpi) {
    const int scaled = static_cast<int>(dpi);
    return {640 * scaled / 96, 480 * scaled / 96};
}

}  // namespace launcher
