#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace launcher::test {

// A fresh, empty folder of its own under the system's temporary folder, removed with all it holds
// (links as links) when the fixture ends.
class TempFolder {
public:
    TempFolder();
    // The same under another folder, for a test that needs a second file system.
    explicit TempFolder(const std::filesystem::path& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

// Writes text to a file byte for byte, making its folder first.
void WriteFile(const std::filesystem::path& file, const std::string& text);
// The whole file byte for byte; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
// The lines of a text, without their line ends (LF or CR LF, as text files have on Windows).
std::vector<std::string> SplitLines(const std::string& text);
std::vector<std::string> ReadLines(const std::filesystem::path& file);

}  // namespace launcher::test
