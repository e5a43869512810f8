#pragma once
// Windows only: a program started with a handle of the test's own.

#include <windows.h>

#include <filesystem>
#include <string>

namespace launcher::test {

// Starts program in its own folder with the arguments after its quoted path; the process and its
// id, or a null handle when it cannot start. The caller closes the handle.
struct StartedProgram {
    HANDLE process = nullptr;
    DWORD id = 0;
};

inline StartedProgram StartProgram(const std::filesystem::path& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        program.parent_path().c_str(), &startup, &process)) {
        return {};
    }
    CloseHandle(process.hThread);
    return {process.hProcess, process.dwProcessId};
}

}  // namespace launcher::test
