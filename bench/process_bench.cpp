// The cost of one program run through Platform::Run against a bare start-and-wait of the same
// program, with and without a stop flag:
//   process_bench PROGRAM [RUNS]
// prints the median milliseconds per run of each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace {

void BareRun(const std::string& program) {
#ifdef _WIN32
    const std::wstring path = launcher::ToWide(program);
    std::wstring line = L"\"" + path + L"\"";
    // The child gets standard handles, as the runner gives it its pipe: without them Windows (and
    // Wine) would set up a console for it, which costs more than everything measured here.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) std::exit(1);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
#else
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) std::exit(1);
    int status = 0;
    waitpid(pid, &status, 0);
#endif
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double Milliseconds(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: process_bench PROGRAM [RUNS]\n");
        return 2;
    }
    const std::string program = argv[1];
    const int runs = argc > 2 ? std::atoi(argv[2]) : 200;
    const auto platform = launcher::MakePlatform();
    std::atomic<bool> stop{false};
    // The three take turns, so that whatever drifts while the benchmark runs touches each alike.
    std::vector<double> bareTimes, plainTimes, stoppedTimes;
    for (int i = 0; i < runs; ++i) {
        bareTimes.push_back(Milliseconds([&] { BareRun(program); }));
        plainTimes.push_back(Milliseconds([&] { platform->Run({program}, {}, {}, {}, nullptr); }));
        stoppedTimes.push_back(Milliseconds([&] { platform->Run({program}, {}, {}, {}, &stop); }));
    }
    const double bare = Median(bareTimes), plain = Median(plainTimes), stopped = Median(stoppedTimes);
    std::printf("bare %.2f ms, Run %.2f ms (+%.2f), Run with a stop flag %.2f ms (+%.2f)\n", bare, plain, plain - bare,
                stopped, stopped - bare);
    return 0;
}
