#pragma once
// Polling for what another thread or program does, with a hang guard (a deadline, not a timing).

#include <chrono>
#include <thread>

namespace launcher::test {

// Asks condition every poll until it holds or deadline has passed; whether it held.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds deadline,
               std::chrono::milliseconds poll = std::chrono::milliseconds(1)) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) return condition();
        std::this_thread::sleep_for(poll);
    }
    return true;
}

}  // namespace launcher::test
