#include "platform/error_text.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "platform/text.h"
#endif

namespace launcher {

std::string ComposeErrorText(const std::string& message, std::uint32_t code, const std::string& systemText) {
    std::string text = systemText;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    std::string result = message + " (" + std::to_string(code);
    if (!text.empty()) result += ": " + text;
    return result + ")";
}

#ifdef _WIN32

std::string Win32ErrorText(const std::string& message) {
    return Win32ErrorText(message, static_cast<std::uint32_t>(GetLastError()));
}

std::string Win32ErrorText(const std::string& message, std::uint32_t code) {
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string systemText;
    if (buffer != nullptr) {
        systemText = ToUtf8(std::wstring(buffer, length));
        LocalFree(buffer);
    }
    return ComposeErrorText(message, code, systemText);
}

#else

std::string PosixErrorText(const std::string& message, int code) {
    return ComposeErrorText(message, static_cast<std::uint32_t>(code), std::strerror(code));
}

#endif

}  // namespace launcher
