#pragma once
// An App as the entry function sets it up, for the tests of its tasks.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app.h"
#include "tests/support/wait_until.h"

namespace launcher::test {

// The Builder as the entry function makes it, its callbacks handing reports and lines to the App.
inline void ConnectBuilder(App& app, const std::filesystem::path& baseFolder) {
    app.baseFolder = baseFolder;
    app.builder = std::make_unique<Builder>(app.game, app.baseFolder, app.http.get(), app.platform.get());
    App* const self = &app;
    app.builder->statusCallback = [self](const Status& status) { OnStatus(*self, status); };
    app.builder->logCallback = [self](const std::string& line) { OnLogLine(*self, line); };
}

// A hang guard, not a timing.
inline constexpr auto kTaskDeadline = std::chrono::seconds(30);

// Waits until the running task has ended; false when it has not by the deadline.
inline bool WaitUntilIdle(App& app) {
    return WaitUntil([&app] { return !app.busy; }, kTaskDeadline);
}

// Lets the App own a client that the test owns (a CodeHost's, say).
class HttpThrough final : public Http {
public:
    explicit HttpThrough(Http& inner) : inner_(inner) {}
    bool Get(const std::string& url, std::uint64_t offset, const DataSink& sink, std::uint64_t* total,
             std::string& error) override {
        return inner_.Get(url, offset, sink, total, error);
    }

private:
    Http& inner_;
};

}  // namespace launcher::test
