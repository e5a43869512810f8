#pragma once
// Linux only: chattr +i, which even root cannot get past, for removals that must fail.

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/text.h"

namespace launcher::test {

// A file that nothing may delete (chattr +i) for as long as this lives, where the file system lets it.
class ImmutableFile {
public:
    ImmutableFile(Platform& platform, const std::filesystem::path& file) : platform_(platform), file_(file) {
        made_ = Chattr("+i");
    }
    ~ImmutableFile() {
        if (made_) Chattr("-i");
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;

    bool made() const { return made_; }

private:
    bool Chattr(const char* change) {
        return platform_.Run(
                   {"chattr", change, PathToUtf8(file_)}, file_.parent_path(), {}, [](const std::string&) {},
                   nullptr) == 0;
    }

    Platform& platform_;
    std::filesystem::path file_;
    bool made_ = false;
};

}  // namespace launcher::test
