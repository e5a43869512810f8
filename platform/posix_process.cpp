// The process runner of the native build: posix_spawn with a PATH search, each run in a process
// group of its own so that a stop ends the program and everything it started.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/error_text.h"
#include "platform/line_splitter.h"
#include "platform/process_runner.h"
#include "platform/quote_arg.h"
#include "platform/text.h"

extern char** environ;

namespace launcher {
namespace {

// The launcher's environment with the overrides in place; names match exactly here.
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const size_t equals = text.find('=');
        if (equals != std::string::npos && overrides.count(text.substr(0, equals)) == 0) entries.push_back(text);
    }
    for (const auto& [name, value] : overrides) entries.push_back(name + "=" + value);
    return entries;
}

std::string CommandLineText(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& argument : argv) {
        if (!line.empty()) line += ' ';
        line += ToUtf8(QuoteArg(ToWide(argument)));
    }
    return line;
}

// Sets `done` and wakes the watchdog when the run ends.
struct RunEnd {
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
};

// How long a stopped program has to end what it started before the group is killed.
constexpr std::chrono::seconds kStopGrace{2};

// A stop asks first: ninja, for one, runs each build command in a process group of its own, which
// a kill of the program's group does not reach; asked with SIGTERM it ends them and waits for them.
// What is still running after the grace is killed.
void WatchStop(pid_t group, std::atomic<bool>* stop, RunEnd& end) {
    std::unique_lock<std::mutex> lock(end.mutex);
    const auto ended = [&end] { return end.done; };
    while (!end.wake.wait_for(lock, std::chrono::milliseconds(100), ended)) {
        if (stop->load()) {
            kill(-group, SIGTERM);
            if (!end.wake.wait_for(lock, kStopGrace, ended)) kill(-group, SIGKILL);
            return;
        }
    }
}

}  // namespace

int RunProcess(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
               const std::map<std::string, std::string>& environment, const LineCallback& onLine,
               std::atomic<bool>* stop) {
    if (argv.empty()) return -1;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    const std::string folder = workingFolder.string();
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    std::vector<std::string> entries = MergedEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_t child = 0;
    const int failure = posix_spawnp(&child, argv[0].c_str(), &actions, &attributes, arguments.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeEnds[1]);
    if (failure != 0) {
        if (onLine) onLine(PosixErrorText("cannot start " + CommandLineText(argv), failure));
        close(pipeEnds[0]);
        return -1;
    }

    RunEnd end;
    std::thread watchdog;
    if (stop != nullptr) watchdog = std::thread(WatchStop, child, stop, std::ref(end));
    // Waits for the program without reaping it, so that its process group cannot be taken by another
    // program while the watchdog may still use it; then ends what the program left running, as the
    // closing of a job does on Windows, and reaps it.
    const auto endRun = [&] {
        siginfo_t info{};
        while (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
        }
        {
            std::lock_guard<std::mutex> lock(end.mutex);
            end.done = true;
        }
        end.wake.notify_all();
        if (watchdog.joinable()) watchdog.join();
        kill(-child, SIGKILL);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        close(pipeEnds[0]);
        return status;
    };
    try {
        LineSplitter lines(onLine);
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            lines.Feed(buffer, static_cast<size_t>(got));
        }
        lines.Finish();
    } catch (...) {
        // The caller's line handler gave up: the program goes too, and nothing is left running.
        kill(-child, SIGKILL);
        endRun();
        throw;
    }
    const int status = endRun();
    if (stop != nullptr && stop->load()) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace launcher
