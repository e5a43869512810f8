#include "tests/support/test_paths.h"

#include <cstdlib>
#include <stdexcept>

#include "platform/executable_path.h"
#include "platform/platform.h"

namespace launcher::test {

std::filesystem::path TestBinFolder() { return ExecutablePath().parent_path(); }

std::filesystem::path HelperChildPath() { return TestBinFolder() / ("helper_child" + MakePlatform()->ExeSuffix()); }

std::filesystem::path PathFromEnvironment(const char* name) {
    const std::string value = MakePlatform()->GetEnv(name);
    if (value.empty()) throw std::runtime_error(std::string("the test needs the environment variable ") + name);
    return std::filesystem::path(value);
}

}  // namespace launcher::test
