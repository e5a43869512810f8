// The one child program of the tests: the fake port, the fake tools and the set-up steps are modes
// of it. Without arguments it only honours the environment:
//   HELPER_RECORD=<file>  writes two lines to the file: its command line and its working folder
//   HELPER_EXIT=<n>       exits with code n (0 when not set)
// Under another name (a copy as msiexec.exe, say) it is a stub of that tool: it does only the above,
// whatever its arguments. Such a copy is the fake port when it is started with the single argument
// --prepare-code and finds fakeport.txt beside itself: after the record it follows that script
// (RunScript below). Under its own name, arguments are steps, done in order:
//   --out TEXT            writes TEXT to standard output; \r, \n and \\ in it stand for CR, LF, '\'
//   --err TEXT            the same on standard error
//   --sleep MS            waits MS milliseconds
//   --echo-args           writes each argument after this one on a line "arg=<argument>", then ends
//   --echo-env NAME       writes "NAME=<value>", or "NAME unset"
//   --echo-env-names      writes the names of its whole environment, one a line, in the block's order
//   --grandchild ARGS... --   starts this program again with ARGS (sharing its output) and goes on
//                         after the "--" (the arguments run to the end when there is none)
//   --exit N              ends at once with exit code N (decimal, or hexadecimal after 0x)
//   --raise N             (not Windows) ends itself with signal N
//   --trust-certificate F (Windows) adds the certificate file F to the machine's trusted roots
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/executable_path.h"
#include "platform/quote_arg.h"
#include "platform/text.h"
#include "tests/support/fake_music_tools.h"

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

// Starts this program again with the given arguments; it inherits the output.
void StartGrandchild(const std::vector<std::string>& arguments) {
    const std::filesystem::path self = launcher::ExecutablePath();
#ifdef _WIN32
    std::wstring line = launcher::QuoteArg(self.wstring());
    for (const std::string& argument : arguments) line += L" " + launcher::QuoteArg(launcher::ToWide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
#else
    std::vector<std::string> all{self.string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ);
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
        } else {
            Write(stderr, "helper_child: unknown script step: " + line + "\n");
            return 2;
        }
    }
    return 0;
}

}  // namespace

int Main(int argc, char** argv, const std::vector<std::string>& args) {
    Record(argc, argv);
    const std::filesystem::path self = launcher::ExecutablePath();
    // The music import's fake tools (fake_music_tools.h).
    if (self.stem() == "ffprobe") return launcher::test::FakeFfprobe(args);
    if (self.stem() == "ffmpeg") return launcher::test::FakeFfmpeg(args);
    if (self.stem() != "helper_child") {
        const std::filesystem::path script = self.parent_path() / "fakeport.txt";
        std::error_code ec;
        if (args.size() == 1 && args[0] == "--prepare-code" && std::filesystem::is_regular_file(script, ec)) {
            return RunScript(script);
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
        } else if (step == "--trust-certificate" && hasValue) {
            return TrustCertificate(args[++i]);
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
