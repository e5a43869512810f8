#include "platform/error_text.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "platform/text.h"
#endif

namespace launcher {
namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::string ComposeErrorText(const std::string& message, std::uint32_t code, const std::string& systemText) {
    const std::string text = Trimmed(systemText);
    std::string result = message + " (" + std::to_string(code);
    if (!text.empty()) result += ": " + text;
    return result + ")";
}

std::string ErrorCodeText(const std::error_code& code) {
    if (code.category() == std::system_category()) return SystemErrorText(static_cast<std::uint32_t>(code.value()));
    return Trimmed(code.message());
}

#ifdef _WIN32

std::string SystemErrorText(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (buffer != nullptr) {
        text = ToUtf8(std::wstring(buffer, length));
        LocalFree(buffer);
    }
    return Trimmed(text);
}

std::string Win32ErrorText(const std::string& message) {
    return Win32ErrorText(message, static_cast<std::uint32_t>(GetLastError()));
}

std::string Win32ErrorText(const std::string& message, std::uint32_t code) {
    return ComposeErrorText(message, code, SystemErrorText(code));
}

#else

std::string SystemErrorText(std::uint32_t code) { return Trimmed(std::strerror(static_cast<int>(code))); }

std::string PosixErrorText(const std::string& message, int code) {
    return ComposeErrorText(message, static_cast<std::uint32_t>(code),
                            SystemErrorText(static_cast<std::uint32_t>(code)));
}

#endif

}  // namespace launcher
