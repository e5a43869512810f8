#include "tests/support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "platform/executable_path.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace launcher::test {

std::filesystem::path TestBinFolder() { return ExecutablePath().parent_path(); }

std::filesystem::path HelperChildPath() { return TestBinFolder() / ("helper_child" + MakePlatform()->ExeSuffix()); }

std::unique_ptr<Platform> MakeTestPlatform() {
#ifdef _WIN32
    return MakePlatformWithStandIns(SystemProgramStandIns{TestBinFolder() / "msiexec.exe", {}});
#else
    return MakePlatform();
#endif
}

std::vector<std::string> WaitForRecord(const std::filesystem::path& record) {
    std::error_code ec;
    WaitUntil([&] { return std::filesystem::exists(record, ec); }, std::chrono::seconds(20),
              std::chrono::milliseconds(50));
    return ReadLines(record);
}

std::filesystem::path PathFromEnvironment(const char* name) {
    const std::string value = MakePlatform()->GetEnv(name);
    if (value.empty()) throw std::runtime_error(std::string("the test needs the environment variable ") + name);
    return std::filesystem::path(value);
}

void SetTestEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
    SetEnvironmentVariableW(ToWide(name).c_str(), ToWide(value).c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetTestEnv(const std::string& name) {
#ifdef _WIN32
    SetEnvironmentVariableW(ToWide(name).c_str(), nullptr);
#else
    unsetenv(name.c_str());
#endif
}

bool RunningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace launcher::test
