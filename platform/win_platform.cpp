// The Windows services.
#include <windows.h>

#include "platform/error_text.h"
#include "platform/platform.h"
#include "platform/quote_arg.h"
#include "platform/text.h"

namespace launcher {
namespace {

class WinPlatform final : public Platform {
public:
    int Run(const std::vector<std::string>& argv, const std::filesystem::path&,
            const std::map<std::string, std::string>&, const LineCallback& onLine, std::atomic<bool>*) override {
        // The process runner is not part of this build yet.
        if (onLine)
            onLine("cannot start " + (argv.empty() ? std::string() : argv.front()) +
                   ": running programs is not available in this build");
        return -1;
    }

    bool ExtractMsi(const std::filesystem::path& msi, const std::filesystem::path&, std::string& error) override {
        error = "Could not extract " + ToUtf8(msi.filename().wstring()) +
                " (MSI extraction is not available in this build)";
        return false;
    }

    bool LinkFolder(const std::filesystem::path&, const std::filesystem::path&, std::string& error) override {
        error = "Could not link the game's folder: folder links are not available in this build";
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
            error = Win32ErrorText("Could not start the game");
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
};

}  // namespace

std::unique_ptr<Platform> MakePlatform() { return std::make_unique<WinPlatform>(); }

}  // namespace launcher
