#pragma once
// Windows only: the short name the file system gives a file or folder.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/text.h"

namespace launcher::test {

// The short name of path's last piece (NTFS: SCREEN~1; Wine: SCRE~0VF and the like).
inline std::string ShortNameOf(const std::filesystem::path& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    EXPECT_GT(length, 0u) << PathToUtf8(path);
    EXPECT_LT(length, static_cast<DWORD>(MAX_PATH));
    return PathToUtf8(std::filesystem::path(std::wstring(buffer, length)).filename());
}

}  // namespace launcher::test
