#include "app/app.h"

#include <exception>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace launcher {
namespace {

constexpr const char* kStoppedText = "Stopped. Press the button again to carry on where it left off.";

// Runs body; false, with failure set to what it threw, when it threw anything.
template <typename Body>
bool RunGuarded(Body&& body, std::string& failure) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown error";
    }
    return false;
}

std::string FailureText(const std::string& what) { return "Something went wrong: " + what + ", see launcher.log"; }

}  // namespace

App::App() : http(MakeHttp()), platform(MakePlatform()) {}

App::App(std::unique_ptr<Http> http, std::unique_ptr<Platform> platform)
    : http(std::move(http)), platform(std::move(platform)) {}

App::~App() {
    // Destroying a joinable thread would end the process.
    if (taskThread.joinable()) {
        if (builder) builder->cancel = true;
        taskThread.join();
    }
}

void App::RunTask(std::function<bool(std::string&)> task, std::string doneMessage) {
    if (busy) return;
    if (taskThread.joinable()) taskThread.join();
    busy = true;
    {
        std::lock_guard<std::mutex> lock(mutex);
        error.clear();
        notice.clear();
        status = Status{};
    }
    taskThread = std::thread(
        [this, task = std::move(task), doneMessage = std::move(doneMessage)] { TaskBody(task, doneMessage); });
}

void App::TaskBody(const std::function<bool(std::string&)>& task, const std::string& doneMessage) {
    // Remote JSON of the wrong shape and ill-formed UTF-8 paths throw; nothing may leave this thread.
    std::string taskError;
    bool ok = false;
    std::string failure;
    if (!RunGuarded([&] { ok = task(taskError); }, failure)) {
        // Before the lock: the log callback takes it.
        LogFailure(failure);
        taskError = FailureText(failure);
    }

    std::vector<std::string> sizeFailures;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (ok) {
            notice = doneMessage;
        } else {
            error = taskError == "cancelled" ? kStoppedText : taskError;
        }
        status = Status{};
        if (builder) {
            // The walks run under the lock, so the window may wait for them. A size whose query
            // throws keeps its last value.
            if (!RunGuarded([&] { buildFilesSize = builder->BuildFilesSize(); }, failure)) {
                sizeFailures.push_back(failure);
            }
            if (!RunGuarded([&] { toolsSize = builder->ToolsDiskUse(); }, failure)) {
                sizeFailures.push_back(failure);
            }
            if (!sizeFailures.empty()) error = FailureText(sizeFailures.front());
        }
        busy = false;
    }
    for (const std::string& what : sizeFailures) LogFailure(what);
}

void App::LogFailure(const std::string& what) {
    if (builder) builder->Log("task failed: " + what);
}

void OnStatus(App& app, const Status& status) {
    std::lock_guard<std::mutex> lock(app.mutex);
    app.status = status;
}

void OnLogLine(App& app, const std::string& line) {
    std::string kept = line.size() <= kLogLineBytes ? line : std::string(Utf8Prefix(line, kLogLineBytes - 3)) + "...";
    std::lock_guard<std::mutex> lock(app.mutex);
    app.log.push_back(std::move(kept));
    if (app.log.size() > kLogLinesKept) app.log.pop_front();
}

}  // namespace launcher
