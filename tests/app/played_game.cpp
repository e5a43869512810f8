#include "tests/app/played_game.h"

#include "platform/platform.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>
#endif

namespace launcher::test {

std::filesystem::path PlaceFakePlayedGame(const std::filesystem::path& folder, const std::string& program,
                                          const std::string& script) {
    const std::filesystem::path game = folder / (program + MakePlatform()->ExeSuffix());
    WriteFile(game, ReadFile(HelperChildPath()));
    std::filesystem::permissions(game, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    WriteFile(folder / "fakeplay.txt", script);
    return game;
}

#ifdef _WIN32
int RunningProcesses(const std::wstring& fileName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, fileName.c_str()) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}
#endif

}  // namespace launcher::test
