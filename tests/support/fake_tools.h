#pragma once
// The fake tools: copies of the helper child that take the mode of their name (git, ...), and the
// runs they record in the file HELPER_RUNS names.

#include <filesystem>
#include <string>
#include <vector>

namespace launcher::test {

// Copies the helper child to program (its folders made first), replacing what is there.
void PlaceFakeTool(const std::filesystem::path& program);

// One recorded run: the program as it was started, its arguments and its working folder.
struct ToolRun {
    std::string program;
    std::vector<std::string> arguments;
    std::string folder;
};

// The runs recorded in file, in order; none when there is no file.
std::vector<ToolRun> ReadToolRuns(const std::filesystem::path& file);

}  // namespace launcher::test
