#pragma once
// Sends the disc reader's log to a file of the running test, in the test's working folder, and reads
// back what reached it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/disc_log.h"
#include "tests/support/temp_folder.h"

namespace launcher::test {

class LogCapture {
public:
    LogCapture() : name_(std::string("disc-") + testing::UnitTest::GetInstance()->current_test_info()->name()) {
        for (char& c : name_) {
            if (c == '/') c = '-';
        }
        OpenLogFile(std::filesystem::current_path(), name_, false);
    }

    // The lines written so far, after writing out what is pending.
    std::vector<std::string> Lines() const {
        FlushLog();
        return ReadLines(std::filesystem::current_path() / (name_ + ".log"));
    }

private:
    std::string name_;
};

}  // namespace launcher::test
