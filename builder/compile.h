#pragma once
// The handlers of the configure and compile runs' output lines, on their own so that tests can
// hand them lines.

#include <string>

#include "builder/builder.h"

namespace launcher {

// Logs "cmake: " + line.
struct ConfigureOutputLine {
    Builder& builder;

    void operator()(const std::string& line) const;
};

// Logs the line as it is. A line that begins with the build tool's step counter, "[12/345] ...",
// is reported as the build's progress: "12 of 345 steps", 12 / 345. Only finite numbers count, and
// the step numbers are shown clamped to int's range.
struct CompileOutputLine {
    Builder& builder;

    void operator()(const std::string& line) const;
};

}  // namespace launcher
