#pragma once
// A one-shot latch for tests that hold a thread at a known point. std::latch cannot be used: the
// MinGW build's atomic wait loses wake-ups and hangs now and then under Wine.

#include <condition_variable>
#include <mutex>

namespace launcher::test {

class Latch {
public:
    void Open() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }

    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

}  // namespace launcher::test
