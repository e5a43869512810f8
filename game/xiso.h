#pragma once
// The Xbox disc file system (XDVDFS) reader: opens a disc image, plain or of the whole disc, reads
// its directory tree once, then finds and reads files in it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/image_file.h"

namespace launcher {

struct XisoEntry {
    std::string name;          // as on the disc; empty for the root
    std::uint64_t offset = 0;  // of the data in the image file
    std::uint32_t size = 0;
    bool isDirectory = false;
    std::vector<XisoEntry> children;  // sorted by CompareEntryNames
};

class XisoImage {
public:
    static constexpr std::uint64_t kWholeDiscBase = 0x18300000;

    // Opens the image file and reads the whole tree. On failure error is one of "cannot open the
    // file", "no Xbox disc image" and "its folders cannot be read".
    bool Open(const std::wstring& imagePath, std::string& error);
    // The same over a file that is already open.
    bool Open(std::unique_ptr<PositionedFile> image, std::string& error);

    // Reads with retries; fewer bytes than asked only at the end of the file or when the retries are
    // used up.
    std::uint32_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count);

    // Folders are separated by '\' only; case does not matter; "." and empty pieces are skipped and
    // ".." goes up (never above the root). Null when nothing has that path.
    const XisoEntry* Find(std::string_view path) const;
    const XisoEntry* FindEntry(const std::vector<std::string_view>& components) const;

    bool ReadWholeFile(std::string_view path, std::vector<std::uint8_t>& bytes);
    // Reads within the file only: clamped to its end; 0 for a folder.
    std::uint32_t ReadFileAt(const XisoEntry& entry, std::uint64_t offset, void* buffer, std::uint32_t length);

    std::unique_ptr<PositionedFile> file;
    std::wstring path;
    std::uint64_t base = 0;
    std::uint64_t timeStamp = 0;
    XisoEntry root;

private:
    struct WalkBudget;
    bool ReadDirectory(XisoEntry& directory, int depth, WalkBudget& budget);
};

// True when a sorts before b: upper-cased ASCII, unsigned bytes, a prefix before the longer name.
bool CompareEntryNames(const XisoEntry& a, const XisoEntry& b);

// The process-wide current disc: setting it destroys the image it held before.
void SetCurrentDisc(std::unique_ptr<XisoImage> image);
XisoImage* CurrentDisc();

// How many empty reads the process has met; only the first 20 are logged.
extern std::atomic<unsigned> discReadWarnings;

}  // namespace launcher
