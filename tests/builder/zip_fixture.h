#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace launcher::test {

// An archive written by tests/support/make_zip_fixtures.py into the folder the test's
// environment names.
std::filesystem::path ZipFixture(const std::string& name);
// The fixture's archive of "ok.txt", entry and "z.txt".
std::filesystem::path UnsafeArchive(const std::string& entry);

// Everything below root in sorted order, as '/'-separated UTF-8 names; folders end in '/'.
std::vector<std::string> TreeOf(const std::filesystem::path& root);

}  // namespace launcher::test
