#pragma once
// The helper child's fake ffprobe and ffmpeg (helper_child.cpp picks them by the program's name):
// they answer the music import's exact command lines from side files beside each song.
//   ffprobe  prints the lines of <source>.probe
//   ffmpeg   with <source>.fail: prints its lines and exits 1; with <source>.sleep: first waits its
//            number of milliseconds; then copies <source>.converted to the output (exit 1 without it)
// Any other command line exits 2, naming the first argument that differs. Each run appends
// "<program> <source>" as a line to the file HELPER_RUNS names, when it is set.

#include <string>
#include <vector>

namespace launcher::test {

int FakeFfprobe(const std::vector<std::string>& args);
int FakeFfmpeg(const std::vector<std::string>& args);

}  // namespace launcher::test
