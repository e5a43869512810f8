// The one child program of the tests: the fake port, the fake tools and the set-up steps are modes
// of it. Without arguments it only honours the environment:
//   HELPER_RECORD=<file>  writes two lines to the file: its command line and its working folder
//   HELPER_EXIT=<n>       exits with code n (0 when not set)
// Under another name (a copy as msiexec.exe, say) it is a stub of that tool: it does only the above,
// whatever its arguments (a copy named msiexec also writes its command line to the file that
// follows /L*v, as msiexec writes its log there). Such a copy is the fake port when it is started with the single argument
// --prepare-code and finds fakeport.txt beside itself: after the record it follows that script
// (RunScript below). Started with no arguments beside a fakeplay.txt, it is the fake port played:
// it follows that script instead. A copy started with the two arguments "--sleep MS" only waits MS
// milliseconds (the script step "grandchild" starts one). A copy named git is the fake git
// (FakeGit below), one named cmake the fake cmake (FakeCmake below); copies named ffprobe and
// ffmpeg are the music import's (FakeFfprobe and FakeFfmpeg below). Under its own name, arguments
// are steps, done in order:
//   --out TEXT            writes TEXT to standard output; \r, \n and \\ in it stand for CR, LF, '\'
//   --err TEXT            the same on standard error
//   --out-repeat N BYTE   writes BYTE N times to standard output, in pieces, with no line end
//   --sleep MS            waits MS milliseconds
//   --echo-args           writes each argument after this one on a line "arg=<argument>", then ends
//   --echo-env NAME       writes "NAME=<value>", or "NAME unset"
//   --echo-env-names      writes the names of its whole environment, one a line, in the block's order
//   --grandchild ARGS... --   starts this program again with ARGS (sharing its output) and goes on
//                         after the "--" (the arguments run to the end when there is none)
//   --exit N              ends at once with exit code N (decimal, or hexadecimal after 0x)
//   --raise N             (not Windows) ends itself with signal N
//   --trust-certificate F (Windows) adds the certificate file F to the machine's trusted roots
//   --handle H            (Windows) writes "handle H names PATH" when H (hexadecimal) is a handle of
//                         this program to a file, else "handle H names no file"
//   --window CLASS ACTION (Windows) waits up to 20 s for a top-level window of class CLASS, then
//                         wait: until it is visible; minimize, restore: asks it to (WM_SYSCOMMAND)
//                         and waits until it is; close: posts WM_CLOSE, waits for the window's
//                         process to end and ends with that process's exit code. A window that
//                         does not come, or does not do as asked, ends it with 3
//   --window CLASS click X Y   (Windows) the same wait, then puts the pointer on the client point
//                         X,Y of that window and, after a few frames' time, posts a left press
//                         and its release there back to back: the window's thread is suspended
//                         meanwhile, so that both wait in its queue together. Writes the point's
//                         screen coordinates as "X Y"
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/executable_path.h"
#include "platform/library_extension.h"
#include "platform/quote_arg.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>
#else
#include <signal.h>
#include <spawn.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

std::string CommandLine(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    return launcher::ToUtf8(GetCommandLineW());
#else
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) line += ' ';
        line += argv[i];
    }
    return line;
#endif
}

bool Environment(const char* name, std::string& value) {
#ifdef _WIN32
    const std::wstring wide = launcher::ToWide(name);
    std::wstring buffer(32768, L'\0');
    SetLastError(0);
    const DWORD length = GetEnvironmentVariableW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    buffer.resize(length);
    value = launcher::ToUtf8(buffer);
    return true;
#else
    const char* text = std::getenv(name);
    if (text == nullptr) return false;
    value = text;
    return true;
#endif
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'r' ? '\r' : next == 'n' ? '\n' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

void Write(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

[[noreturn]] void Exit(const std::string& code) {
    const unsigned long value = std::strtoul(code.c_str(), nullptr, 0);
#ifdef _WIN32
    ExitProcess(static_cast<UINT>(value));  // also crash codes such as 0xC0000005
#else
    std::fflush(nullptr);
    _exit(static_cast<int>(value));
#endif
}

void EchoEnvironmentNames() {
#ifdef _WIN32
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring text = entry;
        const size_t equals = text.find(L'=', 1);
        Write(stdout, launcher::ToUtf8(text.substr(0, equals)) + "\n");
    }
    FreeEnvironmentStringsW(block);
#else
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        Write(stdout, text.substr(0, text.find('=')) + "\n");
    }
#endif
}

// Starts this program again with the given arguments; it inherits the output. With breakaway (Windows)
// it starts outside the job this program runs in; false when the system refuses that.
bool StartGrandchild(const std::vector<std::string>& arguments, bool breakaway = false) {
    const std::filesystem::path self = launcher::ExecutablePath();
#ifdef _WIN32
    std::wstring line = launcher::QuoteArg(self.wstring());
    for (const std::string& argument : arguments) line += L" " + launcher::QuoteArg(launcher::ToWide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, breakaway ? CREATE_BREAKAWAY_FROM_JOB : 0,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
#else
    (void)breakaway;
    std::vector<std::string> all{self.string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
#endif
}

#ifdef _WIN32
int TrustCertificate(const std::string& file) {
    std::ifstream in(launcher::Utf8Path(file), std::ios::binary);
    const std::string der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (der.empty() || store == nullptr) return 1;
    const BOOL added =
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                         static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    return added ? 0 : 1;
}

// The window mode. Every wait is bounded, so that a script driving a window that hangs fails.
constexpr auto kWindowTimeout = std::chrono::seconds(20);
constexpr DWORD kWindowProcessTimeoutMs = 60000;
constexpr int kWindowFailed = 3;

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::steady_clock::time_point deadline) {
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

int WindowFailure(const std::string& text) {
    Write(stderr, "helper_child: " + text + "\n");
    return kWindowFailed;
}

// The click action on window at a client point.
int ClickWindow(HWND window, const std::string& x, const std::string& y) {
    const int clientX = std::atoi(x.c_str());
    const int clientY = std::atoi(y.c_str());
    POINT screen{clientX, clientY};
    if (!ClientToScreen(window, &screen) || !SetCursorPos(screen.x, screen.y)) {
        return WindowFailure("cannot put the pointer on the window");
    }
    const LPARAM at = MAKELPARAM(clientX, clientY);
    PostMessageW(window, WM_MOUSEMOVE, 0, at);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr));
    if (thread == nullptr) return WindowFailure("cannot open the window's thread");
    const bool suspended = SuspendThread(thread) != static_cast<DWORD>(-1);
    const bool posted =
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageW(window, WM_LBUTTONUP, 0, at);
    if (suspended) ResumeThread(thread);
    CloseHandle(thread);
    if (!suspended || !posted) return WindowFailure("cannot post the click");
    Write(stdout, std::to_string(screen.x) + " " + std::to_string(screen.y) + "\n");
    return 0;
}

// After close, the exit code of the window's process; else 0 when the step is done. point holds
// a click's X and Y.
int DriveWindow(const std::string& windowClass, const std::string& action, const std::vector<std::string>& point) {
    const bool click = action == "click" && point.size() == 2;
    if (action != "wait" && action != "minimize" && action != "restore" && action != "close" && !click) {
        return WindowFailure("unknown window action " + action);
    }
    const std::wstring wideClass = launcher::ToWide(windowClass);
    HWND window = nullptr;
    const auto found = [&] { return (window = FindWindowW(wideClass.c_str(), nullptr)) != nullptr; };
    if (!WaitUntil(found, std::chrono::steady_clock::now() + kWindowTimeout)) {
        return WindowFailure("no window of class " + windowClass + " within 20 s");
    }
    if (click) return ClickWindow(window, point[0], point[1]);
    const auto deadline = std::chrono::steady_clock::now() + kWindowTimeout;
    if (action == "wait") {
        if (WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, deadline)) return 0;
        return WindowFailure("the window of class " + windowClass + " did not become visible");
    }
    if (action == "minimize" || action == "restore") {
        const bool minimize = action == "minimize";
        PostMessageW(window, WM_SYSCOMMAND, minimize ? SC_MINIMIZE : SC_RESTORE, 0);
        if (WaitUntil([&] { return (IsIconic(window) != FALSE) == minimize; }, deadline)) return 0;
        return WindowFailure("the window of class " + windowClass + " did not " + action);
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // Opened before the window is asked to close, so that its exit code is still there to read.
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return WindowFailure("cannot open the process of the window of class " + windowClass);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 0;
    const bool ended =
        WaitForSingleObject(process, kWindowProcessTimeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (!ended) return WindowFailure("the process of the window of class " + windowClass + " did not end");
    return static_cast<int>(code);
}
#endif

int ExitCodeFromEnvironment() {
    std::string code;
    return Environment("HELPER_EXIT", code) && !code.empty() ? static_cast<int>(std::strtoul(code.c_str(), nullptr, 0))
                                                             : 0;
}

void Record(int argc, char** argv) {
    std::string record;
    if (!Environment("HELPER_RECORD", record) || record.empty()) return;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    // Written under another name first, so a reader never sees half a record.
    const std::filesystem::path partial = launcher::Utf8Path(record + ".partial");
    {
        std::ofstream out(partial, std::ios::binary);
        out << CommandLine(argc, argv) << "\n" << launcher::PathToUtf8(folder) << "\n";
    }
    std::filesystem::rename(partial, launcher::Utf8Path(record), ec);
}

// Follows a script, one step a line (an empty line is skipped; texts are taken as they are):
//   out TEXT          TEXT and a line end on standard output, flushed
//   err TEXT          the same on standard error
//   sleep MS          waits MS milliseconds
//   write PATH TEXT   writes TEXT (no line end) to PATH under the working folder, making its folders
//   exit N            ends with exit code N
//   grandchild MS     starts a copy of this program that only waits MS milliseconds, and goes on
//                     without waiting for it
//   breakaway MS      the same outside the job this program runs in (Windows); when the system
//                     refuses that, ends with 4 and a message on standard error
// The end of the script ends with 0; a step it does not know, or a script it cannot read, with 2
// and a message on standard error. Fake tools that follow a script of their own reuse this.
int RunScript(const std::filesystem::path& script) {
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        Write(stderr, "helper_child: cannot read " + launcher::PathToUtf8(script) + "\n");
        return 2;
    }
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const size_t blank = line.find(' ');
        const std::string step = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (step == "out") {
            Write(stdout, rest + "\n");
        } else if (step == "err") {
            Write(stderr, rest + "\n");
        } else if (step == "sleep" && !rest.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(rest.c_str())));
        } else if (step == "write" && !rest.empty()) {
            const size_t split = rest.find(' ');
            const std::filesystem::path file = launcher::Utf8Path(rest.substr(0, split));
            std::error_code ec;
            if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
            std::ofstream out(file, std::ios::binary);
            out << (split == std::string::npos ? "" : rest.substr(split + 1));
        } else if (step == "exit" && !rest.empty()) {
            Exit(rest);
        } else if (step == "grandchild" && !rest.empty()) {
            StartGrandchild({"--sleep", rest});
        } else if (step == "breakaway" && !rest.empty()) {
            if (!StartGrandchild({"--sleep", rest}, true)) {
                Write(stderr, "helper_child: the start outside the job was refused\n");
                return 4;
            }
        } else {
            Write(stderr, "helper_child: unknown script step: " + line + "\n");
            return 2;
        }
    }
    return 0;
}

// What the fake tools share. HELPER_TOOL_SLEEP=MS: a wait of MS milliseconds before each line a
// tool prints and before it ends, so that a test can stop it while it runs.
void ToolSleep() {
    std::string milliseconds;
    if (Environment("HELPER_TOOL_SLEEP", milliseconds) && !milliseconds.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(milliseconds.c_str())));
    }
}

void ToolLine(std::FILE* stream, const std::string& text) {
    ToolSleep();
    Write(stream, text);
}

int ToolEnd(int code) {
    ToolSleep();
    return code;
}

// HELPER_RUNS=<file>: each run appends one line to the file: the program as it was started, each
// argument and the working folder, separated by tabs.
void AppendRun(const std::string& program, const std::vector<std::string>& args) {
    std::string runs;
    if (!Environment("HELPER_RUNS", runs) || runs.empty()) return;
    std::error_code ec;
    std::string line = program;
    for (const std::string& field : args) {
        line += '\t';
        line += field;
    }
    line += '\t';
    line += launcher::PathToUtf8(std::filesystem::current_path(ec));
    line += '\n';
    std::ofstream out(launcher::Utf8Path(runs), std::ios::binary | std::ios::app);
    out << line;
}

// The first line of a file, without its line end; empty when it cannot be read.
std::string FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// The fake git. A repository is a folder holding a file "tip", its newest commit (any text). A
// checkout is a folder whose .git folder holds "head" and "origin" (commit texts) and "repo" (the
// repository's path). Leading "-C DIR" pairs name the folder a command works in, as in git:
//   clone ... REPO DEST   makes DEST/.git with REPO's tip as head and origin, printing two progress
//                         lines on standard error; 128 when REPO has no tip or DEST is not empty
//   fetch ...             origin := REPO's tip (128 when it is gone)
//   reset ...             head := origin; fails with 128 while .git/index.lock is there, as git does
//   rev-parse HEAD        prints head; rev-parse of anything else prints origin
//   submodule ...         does nothing
//   config --get KEY      prints KEY's value from GIT_CONFIG_COUNT and GIT_CONFIG_KEY_n /
//                         GIT_CONFIG_VALUE_n, the last one winning; 1 when none gives it
// HELPER_GIT_FAIL=COMMAND makes that command fail with 128; any other command fails with 1.
int FakeGit(const std::string& program, const std::vector<std::string>& args) {
    AppendRun(program, args);
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::current_path(ec);
    size_t i = 0;
    for (; i + 1 < args.size() && (args[i] == "-C" || args[i] == "-c"); i += 2) {
        if (args[i] == "-C") folder /= launcher::Utf8Path(args[i + 1]);
    }
    const std::string command = i < args.size() ? args[i] : "";
    const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(std::min(i + 1, args.size())),
                                        args.end());
    std::string failing;
    if (!command.empty() && Environment("HELPER_GIT_FAIL", failing) && failing == command) {
        ToolLine(stderr, "fatal: " + command + " failed on purpose\n");
        return ToolEnd(128);
    }
    const fs::path git = folder / ".git";
    if (command == "clone" && rest.size() >= 2) {
        const std::string& repo = rest[rest.size() - 2];
        const fs::path repoFolder = folder / launcher::Utf8Path(repo);
        const fs::path destination = folder / launcher::Utf8Path(rest.back());
        if (!fs::is_regular_file(repoFolder / "tip", ec)) {
            ToolLine(stderr, "fatal: repository '" + repo + "' does not exist\n");
            return ToolEnd(128);
        }
        if (fs::exists(destination, ec) && !fs::is_empty(destination, ec)) {
            ToolLine(stderr,
                     "fatal: destination path '" + rest.back() + "' already exists and is not an empty directory.\n");
            return ToolEnd(128);
        }
        const std::string tip = FirstLine(repoFolder / "tip");
        fs::create_directories(destination / ".git", ec);
        WriteText(destination / ".git" / "head", tip);
        WriteText(destination / ".git" / "origin", tip);
        WriteText(destination / ".git" / "repo", launcher::PathToUtf8(repoFolder));
        ToolLine(stderr, "Receiving objects:  50% (1/2)\r");
        ToolLine(stderr, "Receiving objects: 100% (2/2), done.\n");
        return ToolEnd(0);
    }
    if (command == "config") {
        if (rest.size() != 2 || rest[0] != "--get") return ToolEnd(1);
        std::string count;
        Environment("GIT_CONFIG_COUNT", count);
        std::string value;
        bool found = false;
        for (long n = 0; n < std::atol(count.c_str()); ++n) {
            std::string key;
            std::string candidate;
            if (Environment(("GIT_CONFIG_KEY_" + std::to_string(n)).c_str(), key) && key == rest[1] &&
                Environment(("GIT_CONFIG_VALUE_" + std::to_string(n)).c_str(), candidate)) {
                value = candidate;
                found = true;
            }
        }
        if (found) ToolLine(stdout, value + "\n");
        return ToolEnd(found ? 0 : 1);
    }
    if (command == "submodule") return ToolEnd(0);
    if (command == "fetch" || command == "reset" || command == "rev-parse") {
        if (!fs::is_directory(git, ec)) {
            ToolLine(stderr, "fatal: not a git repository: " + launcher::PathToUtf8(folder) + "\n");
            return ToolEnd(128);
        }
        if (command == "fetch") {
            const std::string repo = FirstLine(git / "repo");
            const fs::path tip = launcher::Utf8Path(repo) / "tip";
            if (repo.empty() || !fs::is_regular_file(tip, ec)) {
                ToolLine(stderr, "fatal: '" + repo + "' does not appear to be a git repository\n");
                return ToolEnd(128);
            }
            WriteText(git / "origin", FirstLine(tip));
        } else if (command == "reset") {
            if (fs::exists(git / "index.lock", ec)) {
                ToolLine(stderr, "fatal: Unable to create '" + launcher::PathToUtf8(git / "index.lock") +
                                     "': File exists.\n");
                return ToolEnd(128);
            }
            WriteText(git / "head", FirstLine(git / "origin"));
        } else {
            const bool head = !rest.empty() && rest[0] == "HEAD";
            ToolLine(stdout, FirstLine(git / (head ? "head" : "origin")) + "\n");
        }
        return ToolEnd(0);
    }
    ToolLine(stderr, "git: '" + command + "' is not a git command.\n");
    return ToolEnd(1);
}

#ifdef _WIN32
constexpr char kExeSuffix[] = ".exe";
#else
constexpr char kExeSuffix[] = "";
#endif

// The fake cmake, in the port's source folder (its working folder), for a port whose game is
// Velmora2:
//   --preset ...   fails as the port does when assets/default.xbe is missing; else makes
//                  out/build/release/CMakeCache.txt and CMakeFiles/, prints the compiler line only
//                  when there was no cache, and "-- fakeport INCLUDE=... GIT_CONFIG_KEY_0=..." with
//                  the values it was given
//   --build DIR    prints the steps "[1/3] ..." to "[3/3] ..." and writes into DIR the game (a copy of
//                  this program, so that the installed game is its stub), the game's library, a test
//                  program and a debug database
// HELPER_CMAKE_FAIL=configure or build makes that run fail with 1 after a "CMake Error" or
// "FAILED:" line.
int FakeCmake(const std::string& program, const std::vector<std::string>& args) {
    AppendRun(program, args);
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string failing;
    Environment("HELPER_CMAKE_FAIL", failing);
    if (!args.empty() && args[0] == "--preset") {
        if (!fs::is_regular_file(fs::path("assets") / "default.xbe", ec)) {
            ToolLine(stderr, "CMake Error at CMakeLists.txt:7 (message):\n");
            ToolLine(stderr, "  fakeport: assets/default.xbe is missing\n");
            return ToolEnd(1);
        }
        if (failing == "configure") {
            ToolLine(stderr, "CMake Error: configure failed on purpose\n");
            return ToolEnd(1);
        }
        const fs::path build = fs::path("out") / "build" / "release";
        const bool fresh = !fs::exists(build / "CMakeCache.txt", ec);
        fs::create_directories(build / "CMakeFiles", ec);
        WriteText(build / "CMakeCache.txt", "CMAKE_BUILD_TYPE:STRING=Release\n");
        if (fresh) ToolLine(stdout, "-- The C compiler identification is Fake\n");
        std::string include;
        std::string key;
        Environment("INCLUDE", include);
        Environment("GIT_CONFIG_KEY_0", key);
        ToolLine(stdout, "-- fakeport INCLUDE=" + include + " GIT_CONFIG_KEY_0=" + key + "\n");
        ToolLine(stdout, "-- Generating done\n");
        return ToolEnd(0);
    }
    if (args.size() == 2 && args[0] == "--build") {
        const fs::path build = launcher::Utf8Path(args[1]);
        ToolLine(stdout, "[1/3] Building C object a.obj\n");
        if (failing == "build") {
            ToolLine(stdout, "FAILED: a.obj\n");
            return ToolEnd(1);
        }
        ToolLine(stdout, "[2/3] Building C object b.obj\n");
        const std::string game = std::string("Velmora2") + kExeSuffix;
        fs::remove(build / game, ec);  // MinGW's copy_file cannot replace a file
        fs::copy_file(launcher::ExecutablePath(), build / game, ec);
        WriteText(build / (std::string("Velmora2") + launcher::kLibraryExtension), "library");
        WriteText(build / (std::string("unit_tests") + kExeSuffix), "tests");
        WriteText(build / "Velmora2.pdb", "symbols");
        ToolLine(stdout, "[3/3] Linking C executable " + game + "\n");
        return ToolEnd(0);
    }
    ToolLine(stderr, "CMake Error: Unknown argument\n");
    return ToolEnd(1);
}

// The music import's command lines; an empty entry stands for a path (the song, or ffmpeg's output).
const std::vector<std::string> kProbeArguments{"-v",
                                               "error",
                                               "-select_streams",
                                               "a",
                                               "-show_entries",
                                               "format=duration:format_tags=title,artist:stream_tags=title,artist",
                                               "-of",
                                               "default=noprint_wrappers=1",
                                               ""};
const std::vector<std::string> kConvertArguments{"-nostdin",      "-y",   "-v",   "error", "-i",  "",      "-vn",
                                                 "-map_metadata", "-1",   "-ac",  "2",     "-ar", "44100", "-c:a",
                                                 "wmav2",         "-b:a", "160k", ""};

// Where args first differ from the expected list, or "" when they fit it.
std::string ArgumentDifference(const std::vector<std::string>& args, const std::vector<std::string>& expected) {
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i >= args.size()) return "argument " + std::to_string(i + 1) + " is missing";
        if (expected[i].empty() ? args[i].empty() : args[i] != expected[i]) {
            return "argument " + std::to_string(i + 1) + " is \"" + args[i] + "\", not \"" +
                   (expected[i].empty() ? "a path" : expected[i]) + "\"";
        }
    }
    if (args.size() > expected.size()) return "argument " + std::to_string(expected.size() + 1) + " is one too many";
    return "";
}

bool ReadSideFile(const std::string& song, const char* suffix, std::string& text) {
#ifdef _WIN32
    std::ifstream in(launcher::Utf8Path(song + suffix), std::ios::binary);
#else
    std::ifstream in(song + suffix, std::ios::binary);  // a Linux file name need not be UTF-8
#endif
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The fake ffprobe: any command line but the import's exits 2 naming the difference; otherwise it
// prints the lines of <song>.probe (exit 1 without one).
int FakeFfprobe(const std::string& program, const std::vector<std::string>& args) {
    AppendRun(program, args);
    if (const std::string difference = ArgumentDifference(args, kProbeArguments); !difference.empty()) {
        Write(stderr, "fake ffprobe: " + difference + "\n");
        return 2;
    }
    std::string lines;
    if (!ReadSideFile(args.back(), ".probe", lines)) {
        Write(stderr, args.back() + ": no .probe beside it\n");
        return 1;
    }
    Write(stdout, lines);
    return 0;
}

// The fake ffmpeg: any command line but the import's exits 2 naming the difference. With <song>.fail
// it prints that file's lines and exits 1; with <song>.sleep it first waits that many milliseconds;
// then it copies <song>.converted to its output (exit 1 without one).
int FakeFfmpeg(const std::string& program, const std::vector<std::string>& args) {
    AppendRun(program, args);
    if (const std::string difference = ArgumentDifference(args, kConvertArguments); !difference.empty()) {
        Write(stderr, "fake ffmpeg: " + difference + "\n");
        return 2;
    }
    const std::string& song = args[5];
    std::string text;
    if (ReadSideFile(song, ".fail", text)) {
        Write(stderr, text);
        return 1;
    }
    if (ReadSideFile(song, ".sleep", text)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(text.c_str())));
    }
    if (!ReadSideFile(song, ".converted", text)) {
        Write(stderr, song + ": no .converted beside it\n");
        return 1;
    }
    std::ofstream out(launcher::Utf8Path(args.back()), std::ios::binary | std::ios::trunc);
    out << text;
    return out ? 0 : 1;
}

}  // namespace

int Main(int argc, char** argv, const std::vector<std::string>& args) {
    Record(argc, argv);
    const std::filesystem::path self = launcher::ExecutablePath();
    if (self.stem() == "git") return FakeGit(argv[0], args);
    if (self.stem() == "cmake") return FakeCmake(argv[0], args);
    if (self.stem() == "ffprobe") return FakeFfprobe(argv[0], args);
    if (self.stem() == "ffmpeg") return FakeFfmpeg(argv[0], args);
    if (self.stem() == "msiexec") {
        for (size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == "/L*v") WriteText(launcher::Utf8Path(args[i + 1]), CommandLine(argc, argv) + "\n");
        }
    }
    if (self.stem() != "helper_child") {
        const std::filesystem::path script = self.parent_path() / "fakeport.txt";
        std::error_code ec;
        if (args.size() == 1 && args[0] == "--prepare-code" && std::filesystem::is_regular_file(script, ec)) {
            return RunScript(script);
        }
        const std::filesystem::path play = self.parent_path() / "fakeplay.txt";
        if (args.empty() && std::filesystem::is_regular_file(play, ec)) return RunScript(play);
        if (args.size() == 2 && args[0] == "--sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(args[1].c_str())));
            return 0;
        }
        return ExitCodeFromEnvironment();
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& step = args[i];
        const bool hasValue = i + 1 < args.size();
        if (step == "--out" && hasValue) {
            Write(stdout, Unescape(args[++i]));
        } else if (step == "--err" && hasValue) {
            Write(stderr, Unescape(args[++i]));
        } else if (step == "--out-repeat" && i + 2 < args.size() && args[i + 2].size() == 1) {
            const std::string piece(64 * 1024, args[i + 2][0]);
            for (unsigned long long left = std::strtoull(args[i + 1].c_str(), nullptr, 10); left > 0;) {
                const size_t count = static_cast<size_t>(std::min<unsigned long long>(left, piece.size()));
                std::fwrite(piece.data(), 1, count, stdout);
                left -= count;
            }
            std::fflush(stdout);
            i += 2;
        } else if (step == "--sleep" && hasValue) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(args[++i].c_str())));
        } else if (step == "--echo-args") {
            for (size_t j = i + 1; j < args.size(); ++j) Write(stdout, "arg=" + args[j] + "\n");
            break;
        } else if (step == "--echo-env" && hasValue) {
            const std::string& name = args[++i];
            std::string value;
            Write(stdout, Environment(name.c_str(), value) ? name + "=" + value + "\n" : name + " unset\n");
        } else if (step == "--echo-env-names") {
            EchoEnvironmentNames();
        } else if (step == "--grandchild") {
            std::vector<std::string> grandchild;
            for (++i; i < args.size() && args[i] != "--"; ++i) grandchild.push_back(args[i]);
            StartGrandchild(grandchild);
        } else if (step == "--exit" && hasValue) {
            Exit(args[++i]);
#ifndef _WIN32
        } else if (step == "--raise" && hasValue) {
            std::fflush(nullptr);
            raise(std::atoi(args[++i].c_str()));
#endif
#ifdef _WIN32
        } else if (step == "--handle" && hasValue) {
            const std::string& value = args[++i];
            const HANDLE handle =
                reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(value.c_str(), nullptr, 16)));
            wchar_t name[MAX_PATH];
            const DWORD length = GetFinalPathNameByHandleW(handle, name, MAX_PATH, FILE_NAME_NORMALIZED);
            Write(stdout,
                  "handle " + value +
                      (length > 0 && length < MAX_PATH ? " names " + launcher::ToUtf8(std::wstring(name, length))
                                                       : std::string(" names no file")) +
                      "\n");
        } else if (step == "--trust-certificate" && hasValue) {
            return TrustCertificate(args[++i]);
        } else if (step == "--window" && i + 2 < args.size()) {
            const size_t values = args[i + 2] == "click" ? std::min<size_t>(2, args.size() - i - 3) : 0;
            const auto from = args.begin() + static_cast<std::ptrdiff_t>(i + 3);
            const int code = DriveWindow(args[i + 1], args[i + 2],
                                         std::vector<std::string>(from, from + static_cast<std::ptrdiff_t>(values)));
            if (code != 0 || args[i + 2] == "close") return code;
            i += 2 + values;
#endif
        } else {
            Write(stderr, "helper_child: unknown step " + step + "\n");
            return 2;
        }
    }
    return ExitCodeFromEnvironment();
}

#ifdef _WIN32
// The arguments as UTF-8, from the wide command line the runtime split.
int wmain(int argc, wchar_t** wargv) {
    std::vector<std::string> args;
    std::vector<std::string> all;
    for (int i = 0; i < argc; ++i) all.push_back(launcher::ToUtf8(wargv[i]));
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    return Main(argc, argv.data(), std::vector<std::string>(all.begin() + 1, all.end()));
}
#else
int main(int argc, char** argv) { return Main(argc, argv, std::vector<std::string>(argv + 1, argv + argc)); }
#endif
