#pragma once
// The two services through which everything else reaches the operating system and the web.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace launcher {

using LineCallback = std::function<void(const std::string&)>;
using DataSink = std::function<bool(const unsigned char*, std::uint64_t)>;

class Platform {
public:
    virtual ~Platform() = default;

    // Runs argv[0] with the other items as its arguments and hands each non-empty output line to
    // onLine. Returns the exit code, or -1 when the program did not start or was stopped.
    virtual int Run(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
                    const std::map<std::string, std::string>& environment, const LineCallback& onLine,
                    std::atomic<bool>* stop) = 0;
    virtual bool ExtractMsi(const std::filesystem::path& msi, const std::filesystem::path& targetFolder,
                            std::string& error) = 0;
    // Makes a directory junction at link that points at target.
    virtual bool LinkFolder(const std::filesystem::path& link, const std::filesystem::path& target,
                            std::string& error) = 0;
    virtual bool HardLink(const std::filesystem::path& newFile, const std::filesystem::path& existingFile) = 0;
    // Starts a program and does not wait for it.
    virtual bool Start(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                       std::string& error) = 0;
    virtual std::string ExeSuffix() = 0;
    virtual char PathListSeparator() = 0;
    // An unset variable and an empty one both read as "".
    virtual std::string GetEnv(const std::string& name) = 0;
};

class Http {
public:
    virtual ~Http() = default;

    // One GET of url from byte offset on; the body goes to sink, which may stop the transfer by
    // returning false. total, when given, receives the full length of the resource.
    virtual bool Get(const std::string& url, std::uint64_t offset, const DataSink& sink, std::uint64_t* total,
                     std::string& error) = 0;
};

std::unique_ptr<Platform> MakePlatform();
std::unique_ptr<Http> MakeHttp();

#ifdef _WIN32
// For tests only: programs started in place of the system's msiexec.exe and cmd.exe (empty: the
// system's own). The command line stays the one the system's program would get.
struct SystemProgramStandIns {
    std::filesystem::path msiexec;
    std::filesystem::path cmd;
};
std::unique_ptr<Platform> MakePlatformWithStandIns(const SystemProgramStandIns& standIns);
#endif

}  // namespace launcher
