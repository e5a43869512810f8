// The process runner of the Windows build: one pipe for both output streams, the child created
// suspended inside a job that kills everything in it when closed, and a watchdog for the stop flag.
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <thread>
#include <utility>
#include <vector>

#include "platform/error_text.h"
#include "platform/line_splitter.h"
#include "platform/process_runner.h"
#include "platform/text.h"

namespace launcher {
namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    }
    return true;
}

std::wstring EnvironmentBlock(const std::map<std::string, std::string>& overrides) {
    wchar_t* current = GetEnvironmentStringsW();
    const auto pairs = MergeEnvironment(current, overrides);
    if (current != nullptr) FreeEnvironmentStringsW(current);
    std::wstring block;
    for (const auto& [name, value] : pairs) {
        block += name;
        block += L'=';
        block += value;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Close() {
        if (*this) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

// A copy of handle that children may inherit; null when there is none (a window program has no input).
HANDLE InheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

// The list of the only handles a child inherits (PROC_THREAD_ATTRIBUTE_HANDLE_LIST): every other
// inheritable handle of the launcher, the runtime's open files among them, stays out of the child.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        initialised_ = true;
        if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                      handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            list_ = list;
        }
    }
    ~InheritedHandles() {
        if (initialised_) DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data()));
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    // Null when the system could not make the list: the child then inherits as before.
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;  // the list points into this
    std::vector<char> buffer_;
    bool initialised_ = false;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Ends the job when the stop flag is set; waits on the run's end with the poll's time-out, so that a
// program that ends costs no wait.
void WatchStop(HANDLE job, std::atomic<bool>* stop, HANDLE ended) {
    while (WaitForSingleObject(ended, 100) == WAIT_TIMEOUT) {
        if (stop->load()) {
            TerminateJobObject(job, 1);
            return;
        }
    }
}

}  // namespace

std::vector<std::pair<std::wstring, std::wstring>> MergeEnvironment(
    const wchar_t* block, const std::map<std::string, std::string>& environment) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring text = entry;
        if (text.size() < 2) continue;
        // From the second character: the hidden per-drive entries' names begin with '='.
        const size_t equals = text.find(L'=', 1);
        if (equals == std::wstring::npos) continue;
        pairs.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
    for (const auto& [name, value] : environment) {
        const std::wstring wideName = ToWide(name);
        std::erase_if(pairs, [&](const auto& pair) { return SameName(pair.first, wideName); });
        pairs.emplace_back(wideName, ToWide(value));
    }
    std::sort(pairs.begin(), pairs.end(),
              [](const auto& a, const auto& b) { return _wcsicmp(a.first.c_str(), b.first.c_str()) < 0; });
    return pairs;
}

std::filesystem::path SystemProgramPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::filesystem::path(std::wstring(folder, length < MAX_PATH ? length : 0)) / name;
}

int RunProcess(const std::filesystem::path& program, const std::wstring& commandLine,
               const std::filesystem::path& workingFolder, const std::map<std::string, std::string>& environment,
               const LineCallback& onLine, std::atomic<bool>* stop) {
    Handle job(CreateJobObjectW(nullptr, nullptr));
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    return RunProcessInJob(job.get(), program, commandLine, workingFolder, environment, onLine, stop);
}

int RunProcessInJob(void* job, const std::filesystem::path& program, const std::wstring& commandLine,
                    const std::filesystem::path& workingFolder, const std::map<std::string, std::string>& environment,
                    const LineCallback& onLine, std::atomic<bool>* stop) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    Handle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    // The child gets the pipe and the launcher's own input, and no other handle of the launcher's.
    Handle input(InheritableCopy(GetStdHandle(STD_INPUT_HANDLE)));
    std::vector<HANDLE> inherited{writeEnd};
    if (input) inherited.push_back(input.get());
    const InheritedHandles only(inherited);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = writeEnd;
    startup.StartupInfo.hStdError = writeEnd;
    startup.StartupInfo.hStdInput = input.get();
    startup.lpAttributeList = only.get();
    const DWORD extended = only.get() != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0;

    std::wstring environmentBlock = EnvironmentBlock(environment);
    std::wstring line = commandLine;  // CreateProcessW may write into it
    const std::wstring folder = workingFolder.wstring();
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(
        program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr, TRUE,
        CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | extended, environmentBlock.data(),
        folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &process);
    const DWORD startError = GetLastError();
    // Only the child holds the write end now, so the pipe ends when the child and its children do.
    writer.Close();
    input.Close();
    if (!started) {
        if (onLine) onLine(Win32ErrorText("cannot start " + ToUtf8(commandLine), startError));
        return -1;
    }
    Handle child(process.hProcess);
    Handle mainThread(process.hThread);
    // Outside the job a stop could not reach the program or what it starts: it never runs there.
    if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
        const DWORD joinError = GetLastError();
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        if (onLine) onLine(Win32ErrorText("cannot start " + ToUtf8(commandLine), joinError));
        return -1;
    }
    ResumeThread(process.hThread);
    mainThread.Close();

    Handle ended(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread watchdog;
    if (job != nullptr && stop != nullptr && ended) watchdog = std::thread(WatchStop, job, stop, ended.get());

    const auto endRun = [&] {
        WaitForSingleObject(child.get(), INFINITE);
        if (ended) SetEvent(ended.get());
        if (watchdog.joinable()) watchdog.join();
    };
    try {
        LineSplitter lines(onLine);
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) lines.Feed(buffer, read);
        lines.Finish();
    } catch (...) {
        // The caller's line handler gave up: the program goes too, and nothing is left running.
        if (job != nullptr) {
            TerminateJobObject(job, 1);
        } else {
            TerminateProcess(child.get(), 1);
        }
        endRun();
        throw;
    }
    endRun();
    DWORD code = 0;
    if (!GetExitCodeProcess(child.get(), &code)) code = 0;
    if (stop != nullptr && stop->load()) return -1;
    return static_cast<int>(code);
}

}  // namespace launcher
