#include <windows.h>

#include <system_error>

#include "platform/text.h"

namespace launcher {

std::wstring ToWide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string ToUtf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::filesystem::path Utf8Path(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length = static_cast<int>(utf8.size());
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (size == 0) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "the path is not valid UTF-8");
    }
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), size);
    return std::filesystem::path(wide);
}

std::filesystem::path WidePath(const std::wstring& wide) { return std::filesystem::path(wide); }

std::string PathToUtf8(const std::filesystem::path& path) { return ToUtf8(path.wstring()); }

std::wstring PathToWide(const std::filesystem::path& path) { return path.wstring(); }

}  // namespace launcher
