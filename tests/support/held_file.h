#pragma once
// Windows only: a file held open the way a running game or a virus scanner holds it.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/text.h"

namespace launcher::test {

// Others may read and write the file while this holds it, but not delete it or rename over it.
class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& file)
        : handle_(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << PathToUtf8(file);
    }
    ~HeldFile() {
        if (letGo_.joinable()) letGo_.join();
        Close();
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    // Lets go of the file after wait, from a thread of its own.
    void CloseAfter(std::chrono::milliseconds wait) {
        letGo_ = std::thread([this, wait] {
            std::this_thread::sleep_for(wait);
            Close();
        });
    }

private:
    HANDLE handle_;
    std::thread letGo_;
};

}  // namespace launcher::test
