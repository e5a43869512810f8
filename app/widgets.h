#pragma once
// The small set of themed drawing functions every page is made of. They draw into the current
// ImGui window and need no window or device of their own.

#include <imgui.h>

#include <string>

#include "app/app.h"
#include "builder/status.h"

namespace launcher {

// An accent title in the heading font over a double underline.
void SectionTitle(const char* text, ImFont* headingFont);

// One row of a two-column table: the label muted, the value in the text colour, both wrapped.
void InfoRow(const char* label, const std::string& value);

// A task's outcome: the error in the failure colour with a button (linkLabel) that opens the app's
// launcher.log in its base folder, else the notice in the success colour, else nothing. Two boxes in
// one window need labels that differ after "##".
void NoticeBox(const App& app, const std::string& error, const std::string& notice, const char* linkLabel);

// The states of a step row.
enum StepState { kStepWaiting = 0, kStepActive = 1, kStepDone = 2 };

// One install step, two font sizes high: its mark, its title and a right-aligned detail, which is
// the status's detail when a status with one is given, else defaultDetail.
void StepRow(int state, const char* title, const std::string& defaultDetail, const Status* status);

// A hint: wrapped text in the muted colour.
void Hint(const char* text);

}  // namespace launcher
