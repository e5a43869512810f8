#pragma once
// The handler of git's output lines, on its own so that tests can hand it lines.

#include <string>

#include "builder/builder.h"

namespace launcher {

// Each line is appended to the capture (when there is one) with a line feed, logged as
// "git: " + line, and, when it holds a percentage ("Receiving objects:  45% (450/1000)"), reported
// as the source download's progress with the text before the first ':' as the detail.
struct GitOutputLine {
    Builder& builder;
    std::string* capture;

    void operator()(const std::string& line) const;
};

// The title of every status of the source download.
inline constexpr char kSourceDownloadTitle[] = "Downloading the game's source";

}  // namespace launcher
