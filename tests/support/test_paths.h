#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace launcher::test {

// The folder that holds the test programs and the helper child.
std::filesystem::path TestBinFolder();
// The helper child program (tests/support/helper_child.cpp).
std::filesystem::path HelperChildPath();
// The platform of the tests. On Windows its MSI extraction starts the stub msiexec.exe beside the
// test programs (a copy of the helper child), since Wine's cannot do an administrative install.
std::unique_ptr<Platform> MakeTestPlatform();
// Waits (up to 20 s) for the record the helper child writes when HELPER_RECORD names a file, and
// returns its lines: the command line and the working folder.
std::vector<std::string> WaitForRecord(const std::filesystem::path& record);

// A path handed over by the test's environment; throws when it is not set.
std::filesystem::path PathFromEnvironment(const char* name);

// Sets or removes a variable of the test program's own environment (children inherit it).
void SetTestEnv(const std::string& name, const std::string& value);
void UnsetTestEnv(const std::string& name);

// True for a Windows test program that Wine runs.
bool RunningUnderWine();

}  // namespace launcher::test
