#pragma once

#include <filesystem>
#include <string>

namespace launcher::test {

// The folder that holds the test programs and the helper child.
std::filesystem::path TestBinFolder();
// The helper child program (tests/support/helper_child.cpp).
std::filesystem::path HelperChildPath();
// A path handed over by the test's environment; throws when it is not set.
std::filesystem::path PathFromEnvironment(const char* name);

// Sets or removes a variable of the test program's own environment (children inherit it).
void SetTestEnv(const std::string& name, const std::string& value);
void UnsetTestEnv(const std::string& name);

// True for a Windows test program that Wine runs.
bool RunningUnderWine();

}  // namespace launcher::test
