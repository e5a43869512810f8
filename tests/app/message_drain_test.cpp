// Where a drain of the message queue stops, and a click whose press and release came before one
// frame choosing a section of the launcher's window as ImGui 1.86 sees it.
#include "app/message_drain.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <deque>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/launcher_window.h"
#include "app/theme.h"
#include "tests/app/connected_app.h"
#include "tests/support/case_name.h"
#include "tests/support/page_reader.h"
#include "tests/support/temp_folder.h"

namespace launcher {
namespace {

// A message as a word: "L+" presses the left button, "L-" lets it go; likewise R, M, X1 and X2;
// any other word is a message that is not a button's.
ButtonChange ChangeOf(const std::string& word) {
    static const char* const kButtons[] = {"L", "R", "M", "X1", "X2"};
    for (int button = 0; button < 5; ++button) {
        if (word == std::string(kButtons[button]) + "+") return {button, true};
        if (word == std::string(kButtons[button]) + "-") return {button, false};
    }
    return {};
}

std::deque<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::deque<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The take of a drain: the next message of queue, which it leaves.
template <typename Message>
auto TakeFrom(std::deque<Message>& queue) {
    return [&queue](Message& message) {
        if (queue.empty()) return false;
        message = queue.front();
        queue.pop_front();
        return true;
    };
}

struct DrainCase {
    std::string name;
    // What the queue holds before the first drain; nothing more arrives.
    std::string queued;
    // What each drain dispatches.
    std::vector<std::string> drains;
};

class MessageDrainTest : public testing::TestWithParam<DrainCase> {};

TEST_P(MessageDrainTest, StopsAtTheReleaseOfAButtonPressedInTheSameDrain) {
    std::deque<std::string> queue = Words(GetParam().queued);
    MessageDrain<std::string> drain;
    std::vector<std::string> drains;
    while (!queue.empty() || drain.holding()) {
        ASSERT_LT(drains.size(), 10u) << "the drains do not empty the queue";
        std::string dispatched;
        drain.Drain(
            TakeFrom(queue), ChangeOf,
            [&dispatched](const std::string& word) { dispatched += (dispatched.empty() ? "" : " ") + word; });
        drains.push_back(dispatched);
    }
    EXPECT_EQ(drains, GetParam().drains);
}

INSTANTIATE_TEST_SUITE_P(
    Queues, MessageDrainTest,
    testing::Values(DrainCase{"AClick", "move L+ L- move", {"move L+", "L- move"}},
                    DrainCase{"ADoubleClick", "L+ L- L+ L-", {"L+", "L- L+", "L-"}},
                    DrainCase{"TwoButtonsTogether", "L+ R+ L- R-", {"L+ R+", "L- R-"}},
                    DrainCase{"ARightClick", "R+ R-", {"R+", "R-"}},
                    DrainCase{"AMiddleClick", "M+ move M-", {"M+ move", "M-"}},
                    DrainCase{"TheExtraButtonsApart", "X1+ X2+ X2- X1-", {"X1+ X2+", "X2- X1-"}},
                    DrainCase{"AReleaseOfAnEarlierPress", "L- R+ move", {"L- R+ move"}},
                    DrainCase{"AnotherButtonsRelease", "L+ R- move", {"L+ R- move"}},
                    DrainCase{"NoButtons", "move key char", {"move key char"}}),
    test::CaseName());

// A mouse message as ImGui 1.86's Win32 backend applies it: the pointer's place, and the latest
// state of the left button.
struct MouseMessage {
    ImVec2 at{0.0f, 0.0f};
    bool pressed = false;
};

TEST(MessageDrainWindowTest, AClickWhosePressAndReleaseCameBeforeOneFrameChoosesTheSection) {
    test::TempFolder temp;
    App app;
    app.game.title = "Velmora";
    app.game.shortName = "velmora";
    test::ConnectBuilder(app, temp / "velmora");
    test::PageReader page;
    ApplyStyle(1.0f);
    ImFont* heading = LoadFonts(test::WineFontsFolder(), 1.0f);
    page.BuildFonts();
    const std::function<void()> draw = [&] { LauncherWindow(app, nullptr, heading); };
    page.Frames(2, draw);
    const test::TextRun* log = nullptr;
    for (const test::TextRun& run : page.runs()) {
        if (run.text == "Log" && run.position.x < 100.0f) log = &run;
    }
    ASSERT_NE(log, nullptr) << page.Describe();
    const ImVec2 row(log->position.x, log->position.y + log->size / 2.0f);

    std::deque<MouseMessage> queue{{row, true}, {row, false}};
    MessageDrain<MouseMessage> drain;
    ImGuiIO& io = ImGui::GetIO();
    for (int frame = 0; frame < 3; ++frame) {
        drain.Drain(
            TakeFrom(queue), [](const MouseMessage& message) { return ButtonChange{0, message.pressed}; },
            [&io](const MouseMessage& message) {
                io.MousePos = message.at;
                io.MouseDown[0] = message.pressed;
            });
        page.Frame(draw);
    }
    EXPECT_EQ(app.section, 3);
}

}  // namespace
}  // namespace launcher
