// The stand-in services of the native build, so that the portable core runs and is tested here.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/error_text.h"
#include "platform/platform.h"
#include "platform/process_runner.h"

namespace launcher {
namespace {

// Starts program in its own session, detached: an intermediate child starts it and exits at once,
// so the program is nobody's child to wait for. A pipe that closes on exec tells whether it started.
int StartDetached(const std::filesystem::path& program, const std::filesystem::path& workingFolder) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    const std::string path = program.string();
    const std::string folder = workingFolder.string();
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};

    const pid_t middle = fork();
    if (middle < 0) {
        const int code = errno;
        close(report[0]);
        close(report[1]);
        return code;
    }
    if (middle == 0) {
        // Only async-signal-safe calls from here on.
        setsid();
        const pid_t child = fork();
        if (child == 0) {
            int code = 0;
            if (!folder.empty() && chdir(folder.c_str()) != 0) {
                code = errno;
            } else {
                execv(path.c_str(), argv);
                code = errno;
            }
            [[maybe_unused]] ssize_t ignored = write(report[1], &code, sizeof code);
            _exit(127);
        }
        if (child < 0) {
            int code = errno;
            [[maybe_unused]] ssize_t ignored = write(report[1], &code, sizeof code);
        }
        _exit(0);
    }
    close(report[1]);
    int code = 0;
    ssize_t got;
    do {
        got = read(report[0], &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(sizeof code) ? code : 0;
}

class PosixPlatform final : public Platform {
public:
    int Run(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
            const std::map<std::string, std::string>& environment, const LineCallback& onLine,
            std::atomic<bool>* stop) override {
        return RunProcess(argv, workingFolder, environment, onLine, stop);
    }

    // msiextract (Debian's msitools) stands in for an administrative install; what it prints goes to
    // the log, as msiexec's details do.
    bool ExtractMsi(const std::filesystem::path& msi, const std::filesystem::path& targetFolder,
                    std::string& error) override {
        const std::filesystem::path log = MsiLogPath(msi, targetFolder);
        std::error_code ec;
        std::filesystem::create_directories(log.parent_path(), ec);
        std::ofstream details(log, std::ios::trunc);
        const int code = RunProcess(
            {"msiextract", "-C", targetFolder.string(), msi.string()}, msi.parent_path(), {},
            [&details](const std::string& line) { details << line << "\n"; }, nullptr);
        details.close();
        if (code == 0) {
            // The log is kept only when it tells why an installer failed.
            std::filesystem::remove(log, ec);
            return true;
        }
        error = "Could not extract " + msi.filename().string() + " (msiexec " + std::to_string(code) + ", see " +
                log.string() + ")";
        return false;
    }

    bool LinkFolder(const std::filesystem::path& link, const std::filesystem::path& target,
                    std::string& error) override {
        if (symlink(target.c_str(), link.c_str()) != 0) {
            error = "Could not link the game's folder: " + std::string(std::strerror(errno));
            return false;
        }
        return true;
    }

    bool HardLink(const std::filesystem::path& newFile, const std::filesystem::path& existingFile) override {
        return link(existingFile.c_str(), newFile.c_str()) == 0;
    }

    bool Start(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
               std::string& error) override {
        const int code = StartDetached(program, workingFolder);
        if (code != 0) {
            error = PosixErrorText("Could not start the game", code);
            return false;
        }
        return true;
    }

    std::string ExeSuffix() override { return ""; }

    char PathListSeparator() override { return ':'; }

    std::string GetEnv(const std::string& name) override {
        const char* value = std::getenv(name.c_str());
        return value ? value : "";
    }
};

}  // namespace

std::unique_ptr<Platform> MakePlatform() { return std::make_unique<PosixPlatform>(); }

}  // namespace launcher
