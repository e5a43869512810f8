#include "game/disc_log.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/shared_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

struct LogBuffer {
    std::string pending;
    std::mutex textMutex;
    std::mutex flushMutex;  // taken before textMutex, never after it
    std::condition_variable wake;
    bool wakeFlag = false;
    std::atomic<bool> sync{false};
    std::atomic<bool> flusherStarted{false};
    std::atomic<std::FILE*> file{nullptr};
    std::string filePath;
    std::once_flag syncRead;
};

// Made once and never destroyed: the detached flusher may still run while the process exits, after
// every static object is gone. Lines pending then are not written.
LogBuffer& Log() {
    static LogBuffer* const log = new LogBuffer;
    return *log;
}

std::chrono::steady_clock::time_point InitLogClock() {
    Log();
    return std::chrono::steady_clock::now();
}

const std::chrono::steady_clock::time_point logStart = InitLogClock();

}  // namespace

void LogPrintf(int level, const char* format, ...) {
    if (level < 3) return;
    char message[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);

    const auto elapsed = std::chrono::steady_clock::now() - logStart;
    const double seconds = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 1e9;
    char line[4300];
    const int length =
        std::snprintf(line, sizeof line, "[%9.3f] %s%s\n", seconds, level == 3 ? "error: " : "", message);
    const size_t bytes = length < 0 ? 0 : std::min<size_t>(static_cast<size_t>(length), sizeof line - 1);

    LogBuffer& log = Log();
    std::call_once(log.syncRead, [&log] {
        const char* value = std::getenv("XBE_LOG_SYNC");
        log.sync.store(value != nullptr && value[0] == '1', std::memory_order_release);
    });
    const bool sync = log.sync.load(std::memory_order_acquire);
    {
        std::lock_guard<std::mutex> lock(log.textMutex);
        if (!sync && !log.flusherStarted.load(std::memory_order_acquire)) {
            log.flusherStarted.store(true, std::memory_order_release);
            std::thread(LogFlusherThread).detach();
        }
        log.pending.append(line, bytes);
        if (level == 3) log.wakeFlag = true;
    }
    if (sync) {
        FlushLog();
    } else if (level == 3) {
        log.wake.notify_one();
    }
}

void FlushLog() {
    LogBuffer& log = Log();
    std::lock_guard<std::mutex> flush(log.flushMutex);
    std::string text;
    {
        std::lock_guard<std::mutex> lock(log.textMutex);
        text.swap(log.pending);
    }
    if (text.empty()) return;
    if (std::FILE* file = log.file.load(std::memory_order_acquire)) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fflush(file);
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void FlushLogOutput() { FlushLog(); }

void LogFlusherThread() {
    LogBuffer& log = Log();
    std::unique_lock<std::mutex> lock(log.textMutex);
    for (;;) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(250000000);
        log.wake.wait_until(lock, deadline, [&log] { return log.wakeFlag; });
        log.wakeFlag = false;
        lock.unlock();
        FlushLog();
        lock.lock();
    }
}

fs::path LogFilePath(const fs::path& folder, const std::string& name, int n) {
    return folder / Utf8Path(name + "." + std::to_string(n) + ".log");
}

void OpenLogFile(const fs::path& folder, const std::string& name, bool append) {
    LogBuffer& log = Log();
    // The flush mutex too, so that no batch is being written to a file this replaces.
    std::lock_guard<std::mutex> flush(log.flushMutex);
    std::lock_guard<std::mutex> lock(log.textMutex);
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path current = folder / Utf8Path(name + ".log");
    log.filePath = PathToUtf8(current);
    if (!append && fs::exists(current, ec)) {
        fs::remove(LogFilePath(folder, name, 5), ec);
        for (int n = 4; n >= 1; --n) fs::rename(LogFilePath(folder, name, n), LogFilePath(folder, name, n + 1), ec);
        fs::rename(current, LogFilePath(folder, name, 1), ec);
    }
    std::FILE* file = OpenSharedFile(current, append ? "a" : "w");
    if (std::FILE* old = log.file.exchange(file, std::memory_order_acq_rel)) std::fclose(old);
}

std::string CurrentLogFilePath() {
    LogBuffer& log = Log();
    std::lock_guard<std::mutex> lock(log.textMutex);
    return log.filePath;
}

bool LogFlusherStarted() { return Log().flusherStarted.load(std::memory_order_acquire); }

}  // namespace launcher
