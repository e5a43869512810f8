#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "platform/file_tree.h"

namespace fs = std::filesystem;

namespace launcher::test {

TempFolder::TempFolder() : TempFolder(fs::temp_directory_path()) {}

TempFolder::TempFolder(const fs::path& base) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "launcher-test-" << std::hex << random();
        std::error_code ec;
        if (fs::create_directory(base / name.str(), ec)) {
            path_ = base / name.str();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder under " + base.string());
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!RemoveTree(path_, ec)) ADD_FAILURE() << "cannot remove " << path_.string() << ": " << ec.message();
}

void WriteFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ReadLines(const fs::path& file) { return SplitLines(ReadFile(file)); }

}  // namespace launcher::test
