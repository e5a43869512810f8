#pragma once
// The file extension of the system's shared libraries, lower case with its dot: what a build leaves
// beside the program it makes, and what the launcher installs with it.

namespace launcher {

#ifdef _WIN32
inline constexpr char kLibraryExtension[] = ".dll";
#else
inline constexpr char kLibraryExtension[] = ".so";
#endif

}  // namespace launcher
