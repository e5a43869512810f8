#pragma once
// A Platform that hands every call to the real one, except the calls a test chooses to refuse: a
// refused hard link, for one, forces the copy that a volume without hard links would need.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace launcher::test {

class ForwardingPlatform final : public Platform {
public:
    explicit ForwardingPlatform(std::unique_ptr<Platform> real = MakePlatform()) : real_(std::move(real)) {}

    bool refuseHardLink = false;
    int hardLinksAsked = 0;
    // Start only records what it was asked when set, and fails with startError when that is not empty.
    bool recordStartsOnly = false;
    std::string startError;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> starts;  // program, working folder

    int Run(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
            const std::map<std::string, std::string>& environment, const LineCallback& onLine,
            std::atomic<bool>* stop) override {
        return real_->Run(argv, workingFolder, environment, onLine, stop);
    }
    bool ExtractMsi(const std::filesystem::path& msi, const std::filesystem::path& targetFolder,
                    std::string& error) override {
        return real_->ExtractMsi(msi, targetFolder, error);
    }
    bool LinkFolder(const std::filesystem::path& link, const std::filesystem::path& target,
                    std::string& error) override {
        return real_->LinkFolder(link, target, error);
    }
    bool HardLink(const std::filesystem::path& newFile, const std::filesystem::path& existingFile) override {
        ++hardLinksAsked;
        return !refuseHardLink && real_->HardLink(newFile, existingFile);
    }
    bool Start(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
               std::string& error) override {
        starts.emplace_back(program, workingFolder);
        if (!startError.empty()) {
            error = startError;
            return false;
        }
        return recordStartsOnly || real_->Start(program, workingFolder, error);
    }
    std::string ExeSuffix() override { return real_->ExeSuffix(); }
    char PathListSeparator() override { return real_->PathListSeparator(); }
    std::string GetEnv(const std::string& name) override { return real_->GetEnv(name); }

private:
    std::unique_ptr<Platform> real_;
};

}  // namespace launcher::test
