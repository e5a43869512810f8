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

// 900 x 700 at 96 dpi scaled by dpi / 96 (each truncated), centred in the work area; the window
// may start above or left of it when it is the larger.
WindowRect StartWindowRect(unsigned dpi, const WindowRect& workArea);

// 640 x 480 at 96 dpi, times dpi / 96 in integers.
WindowSize MinimumTrackSize(unsigned dpi);

}  // namespace launcher
