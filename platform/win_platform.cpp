// The Windows services.
#include <windows.h>

#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/platform.h"
#include "platform/process_runner.h"
#include "platform/quote_arg.h"
#include "platform/same_file.h"
#include "platform/text.h"

namespace launcher {
namespace {

class WinPlatform final : public Platform {
public:
    explicit WinPlatform(const SystemProgramStandIns& standIns) : standIns_(standIns) {}

    int Run(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
            const std::map<std::string, std::string>& environment, const LineCallback& onLine,
            std::atomic<bool>* stop) override {
        std::wstring commandLine;
        for (const std::string& argument : argv) {
            if (!commandLine.empty()) commandLine += L' ';
            commandLine += QuoteArg(ToWide(argument));
        }
        return RunProcess({}, commandLine, workingFolder, environment, onLine, stop);
    }

    bool ExtractMsi(const std::filesystem::path& msi, const std::filesystem::path& targetFolder,
                    std::string& error) override {
        const std::filesystem::path log = MsiLogPath(msi, targetFolder);
        // msiexec cannot open a log in a folder that is not there.
        std::error_code ignored;
        std::filesystem::create_directories(log.parent_path(), ignored);
        std::wstring target = targetFolder.wstring();
        // A trailing backslash would escape the closing quote.
        while (!target.empty() && target.back() == L'\\') target.pop_back();
        const std::filesystem::path msiexec = SystemProgramPath(L"msiexec.exe");
        const std::wstring commandLine = QuoteArg(msiexec.wstring()) + L" /a \"" + msi.wstring() +
                                         L"\" /qn /norestart TARGETDIR=\"" + target + L"\" /L*v \"" + log.wstring() +
                                         L"\"";
        std::string details;
        const int code = RunProcess(
            Started(msiexec, standIns_.msiexec), commandLine, msi.parent_path(), {},
            [&details](const std::string& line) { details += line + "\n"; }, nullptr);
        if (code == 0 || code == 3010) {
            // The verbose log is kept only when it tells why an installer failed.
            std::filesystem::remove(log, ignored);
            return true;
        }
        error = "Could not extract " + ToUtf8(msi.filename().wstring()) + " (msiexec " + std::to_string(code) +
                ", see " + ToUtf8(log.wstring()) + ")";
        return false;
    }

    bool LinkFolder(const std::filesystem::path& link, const std::filesystem::path& target,
                    std::string& error) override {
        // /d: no AutoRun command of the user's runs before mklink.
        const std::filesystem::path cmd = SystemProgramPath(L"cmd.exe");
        const std::wstring commandLine =
            QuoteArg(cmd.wstring()) + L" /d /c mklink /J \"" + link.wstring() + L"\" \"" + target.wstring() + L"\"";
        std::string output;
        const int code = RunProcess(
            Started(cmd, standIns_.cmd), commandLine, link.parent_path(), {},
            [&output](const std::string& line) { output += line + "\n"; }, nullptr);
        // cmd can exit 0 and make nothing (Wine does): only a junction that leads to the target counts.
        if (code == 0 && IsLink(link) && SameFile(link, target)) return true;
        error = "Could not link the game's folder: " + output;
        return false;
    }

    bool HardLink(const std::filesystem::path& newFile, const std::filesystem::path& existingFile) override {
        return CreateHardLinkW(newFile.c_str(), existingFile.c_str(), nullptr) != 0;
    }

    bool Start(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
               std::string& error) override {
        // CreateProcessW may write into the command line, so it gets a buffer of its own.
        std::wstring commandLine = QuoteArg(program.wstring());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        const std::wstring folder = workingFolder.wstring();
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
            const DWORD code = GetLastError();
            error = Win32ErrorText("Could not start the game", code);
            return false;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }

    std::string ExeSuffix() override { return ".exe"; }

    char PathListSeparator() override { return ';'; }

    std::string GetEnv(const std::string& name) override {
        const std::wstring wideName = ToWide(name);
        const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (needed == 0) return {};
        std::wstring value(needed, L'\0');
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
        // The second call gives the length without the terminator; 0 when the variable went away.
        value.resize(length < needed ? length : 0);
        return ToUtf8(value);
    }

private:
    static const std::filesystem::path& Started(const std::filesystem::path& program,
                                                const std::filesystem::path& standIn) {
        return standIn.empty() ? program : standIn;
    }

    SystemProgramStandIns standIns_;
};

}  // namespace

std::unique_ptr<Platform> MakePlatform() { return std::make_unique<WinPlatform>(SystemProgramStandIns{}); }

std::unique_ptr<Platform> MakePlatformWithStandIns(const SystemProgramStandIns& standIns) {
    return std::make_unique<WinPlatform>(standIns);
}

}  // namespace launcher
