#include "app/game_wait_win.h"

#include <string>

namespace launcher {
namespace {

constexpr DWORD kPollMilliseconds = 500;

bool JobHasActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                   nullptr)) {
        return false;
    }
    return accounting.ActiveProcesses > 0;
}

}  // namespace

bool StartGameProcess(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                      GameProcess& game, DWORD& errorCode) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr) {
        // A game may start a program outside the job (CREATE_BREAKAWAY_FROM_JOB), which fails in a
        // job that does not allow it. Such a program is not waited for.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    // CreateProcessW may write into the command line.
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    const std::wstring folder = workingFolder.wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        errorCode = GetLastError();
        if (job != nullptr) CloseHandle(job);
        return false;
    }
    if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    game.process = process.hProcess;
    game.job = job;
    return true;
}

DWORD WaitForGameProcess(GameProcess& game, const std::function<void()>& dispatch, int* wakeUps) {
    // Once the game's own process has ended its handle stays signalled: waiting on it again would
    // return at once, so from then on the wait is for input or the poll's time-out only.
    bool processEnded = false;
    for (;;) {
        const DWORD result = processEnded
                                 ? MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMilliseconds, QS_ALLINPUT)
                                 : MsgWaitForMultipleObjects(1, &game.process, FALSE, kPollMilliseconds, QS_ALLINPUT);
        if (wakeUps != nullptr) ++*wakeUps;
        if (result == WAIT_FAILED) break;
        if (dispatch) dispatch();
        const bool signalOrTimeOut = result == WAIT_TIMEOUT || (!processEnded && result == WAIT_OBJECT_0);
        if (!signalOrTimeOut) continue;
        if (!processEnded) processEnded = WaitForSingleObject(game.process, 0) == WAIT_OBJECT_0;
        if (!processEnded) continue;
        // The game's own children keep the launcher waiting.
        if (game.job == nullptr || !JobHasActiveProcesses(game.job)) break;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(game.process, &exitCode);
    CloseHandle(game.process);
    if (game.job != nullptr) CloseHandle(game.job);
    game = GameProcess{};
    return exitCode;
}

}  // namespace launcher
