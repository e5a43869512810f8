#pragma once
// The window's size and place at start, and its smallest size, from its DPI and the work area.

namespace launcher {

struct WindowRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct WindowSize {
    int width = 0;
    int height = 0;
};

// 900 x 700 at 96 dpi scaled by dpi / 96 (each truncated), but no larger than the work area and no
// smaller than MinimumTrackSize, centred in the work area; the top-left corner always lies inside
// it, so that the title bar can be grabbed, even when the smallest size does not fit.
WindowRect StartWindowRect(unsigned dpi, const WindowRect& workArea);

// 640 x 480 at 96 dpi, times dpi / 96 in integers.
WindowSize MinimumTrackSize(unsigned dpi);

}  // namespace launcher
