#pragma once
// The shell as the tests see it: while a ShellStandIn lives, ShellOpen and ShellOpenW record what
// they would open, and PickPath records each dialog it is asked for and gives the answer set here
// (empty: the user cancelled). One at a time.

#include <optional>
#include <string>
#include <vector>

#include "app/shell.h"

namespace launcher::test {

class ShellStandIn {
public:
    struct PickerCall {
        WindowHandle owner = nullptr;
        bool folder = false;
        // Empty when the dialog keeps its own title.
        std::optional<std::wstring> title;
    };

    ShellStandIn() {
        current_ = this;
        SetShellOpener(&ShellStandIn::Open);
        SetPathPicker(&ShellStandIn::Pick);
    }
    ~ShellStandIn() {
        SetShellOpener(nullptr);
        SetPathPicker(nullptr);
        current_ = nullptr;
    }
    ShellStandIn(const ShellStandIn&) = delete;
    ShellStandIn& operator=(const ShellStandIn&) = delete;

    std::vector<std::string> opened;
    std::vector<PickerCall> pickerCalls;
    std::wstring pickerAnswer;

private:
    static void Open(const std::string& text) { current_->opened.push_back(text); }
    static std::wstring Pick(WindowHandle owner, bool folder, const wchar_t* title) {
        current_->pickerCalls.push_back(
            {owner, folder, title != nullptr ? std::optional<std::wstring>(title) : std::nullopt});
        return current_->pickerAnswer;
    }

    static inline ShellStandIn* current_ = nullptr;
};

}  // namespace launcher::test
