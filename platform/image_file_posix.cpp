#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/image_file.h"
#include "platform/text.h"

namespace launcher {
namespace {

class PreadFile final : public PositionedFile {
public:
    explicit PreadFile(int fd) : fd_(fd) {}
    ~PreadFile() override { close(fd_); }

    ReadPass Read(std::uint64_t offset, void* buffer, std::uint32_t count) override {
        ReadPass pass;
        const ssize_t read = pread(fd_, buffer, count, static_cast<off_t>(offset));
        if (read < 0) {
            pass.error = static_cast<unsigned long>(errno);
        } else {
            pass.bytes = static_cast<std::uint32_t>(read);
        }
        return pass;
    }

    std::uint64_t Size() override {
        struct stat status {};
        return fstat(fd_, &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<PositionedFile> OpenImageFile(const std::wstring& path) {
    const int fd = open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // A directory opens here but is no file to read.
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<PreadFile>(fd);
}

}  // namespace launcher
