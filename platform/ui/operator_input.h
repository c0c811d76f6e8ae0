// What an operator does to a control, done by the program: the step-file driver and the tests
// use these so that handlers see exactly the notifications that real input gives.
#pragma once

#include <string>

#include "platform/export.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace ui::input {

enum class Result {
    Done,
    NotUsable,  // hidden or disabled: the operator could not reach it (yet)
    Invalid,    // not a control of that kind, or no such entry
};

PLENWISE_API Result Click(WindowHandle control, std::string& error);
// A mouse click on the button queued as the window system delivers one: it arrives at the next
// pass of a message pump, as a click made while the program is busy does.
PLENWISE_API Result QueueClick(WindowHandle control, std::string& error);
// Drop-down list or check list: choose an entry as the operator does.
PLENWISE_API Result SelectIndex(WindowHandle list, int index, std::string& error);
PLENWISE_API Result SelectText(WindowHandle list, const std::string& text, std::string& error);
// Replaces an edit's text as typing would: the length limit and digits-only rule apply.
PLENWISE_API Result Type(WindowHandle edit, const std::string& text, std::string& error);
PLENWISE_API Result Tick(WindowHandle checkList, int index, bool ticked, std::string& error);
PLENWISE_API Result Slide(WindowHandle trackbar, int position, std::string& error);
PLENWISE_API Result Focus(WindowHandle control, std::string& error);
// Moves the focus from the control to the next tab stop of its dialog.
PLENWISE_API Result Leave(WindowHandle control, std::string& error);
// Presses and releases a key (9 Tab, 13 Enter, 27 Escape, 32 Space) on the focused control, or on
// the fallback window when nothing has the focus.
PLENWISE_API Result PressKey(int virtualKey, bool shift, WindowHandle fallback, std::string& error);

// The left mouse button or a move on a dialog's own surface at a point of its client area; a
// move goes with the button held.
PLENWISE_API Result Mouse(WindowHandle dialog, MouseAction action, Point point, std::string& error);

}  // namespace ui::input
