#pragma once
// One drain of the window's message queue before a frame. Dear ImGui 1.86 keeps only the latest
// state of each mouse button, so a press and its release dispatched before the same frame are
// never seen as a click: a touchpad tap, a touch or a click over remote desktop is that quick. A
// drain therefore stops at the release of a button whose press it has dispatched; that release
// opens the next drain, and every press is down for at least one frame.

#include <optional>

namespace launcher {

// What a message does to a mouse button: button 0 to 4 (left, right, middle and the two extra
// buttons) pressed or released; button -1 for any other message.
struct ButtonChange {
    int button = -1;
    bool pressed = false;
};

template <typename Message>
class MessageDrain {
public:
    // Dispatches messages until the queue is empty or the next one waits for the next drain.
    // take(Message&) moves the next message out of the queue, false when there is none;
    // change(const Message&) gives its ButtonChange; dispatch(const Message&) hands it on.
    template <typename Take, typename Change, typename Dispatch>
    void Drain(Take take, Change change, Dispatch dispatch) {
        unsigned pressedInThisDrain = 0;
        Message message{};
        for (;;) {
            if (held_) {
                message = *held_;
                held_.reset();
            } else if (!take(message)) {
                return;
            }
            const ButtonChange what = change(message);
            if (what.button >= 0) {
                const unsigned bit = 1u << what.button;
                if (what.pressed) {
                    pressedInThisDrain |= bit;
                } else if ((pressedInThisDrain & bit) != 0) {
                    held_ = message;
                    return;
                }
            }
            dispatch(message);
        }
    }

    // A message has been taken out of the queue for the next drain.
    bool holding() const { return held_.has_value(); }

private:
    std::optional<Message> held_;
};

}  // namespace launcher
