// Windows as the modules see them: opaque handles, show commands, properties, focus, posted
// messages and the two message pumps. Handles are never dereferenced by callers; a handle of a
// destroyed window stays invalid (it is never reused), so every call on it fails harmlessly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"

namespace ui {

struct WindowTag;
using WindowHandle = WindowTag*;

// Show commands.
inline constexpr int kHide = 0;
inline constexpr int kShowNormal = 1;
inline constexpr int kShow = 5;
inline constexpr int kShowNoActivate = 8;
inline constexpr int kRestore = 9;

PLENWISE_API bool IsWindow(WindowHandle window);
PLENWISE_API bool ShowWindow(WindowHandle window, int command);
PLENWISE_API bool IsWindowVisible(WindowHandle window);
PLENWISE_API bool IsIconic(WindowHandle window);
PLENWISE_API bool EnableWindow(WindowHandle window, bool enable);
PLENWISE_API bool IsWindowEnabled(WindowHandle window);
// Destroys the window and its children; a handle that is already gone gives false.
PLENWISE_API bool DestroyWindow(WindowHandle window);

PLENWISE_API WindowHandle GetParent(WindowHandle window);
PLENWISE_API bool IsChild(WindowHandle parent, WindowHandle window);  // any depth
// The next sibling in z-order: children of one parent follow each other in creation order.
PLENWISE_API WindowHandle GetNextWindow(WindowHandle window);
PLENWISE_API WindowHandle GetDlgItem(WindowHandle dialog, int id);
PLENWISE_API int GetDlgCtrlID(WindowHandle control);
// Top-level windows of this process in z-order (front first).
PLENWISE_API std::vector<WindowHandle> TopLevelWindows();

PLENWISE_API bool SetWindowText(WindowHandle window, const std::string& text);
PLENWISE_API std::string GetWindowText(WindowHandle window);

PLENWISE_API WindowHandle GetFocus();
PLENWISE_API WindowHandle SetFocus(WindowHandle window);  // returns the previous focus
// Moves the focus to the next (or previous) tab stop inside the window, wrapping around.
PLENWISE_API void FocusNextTabStop(WindowHandle container, bool backwards);
PLENWISE_API bool SetForegroundWindow(WindowHandle window);
// The pop-up that the window's owned modal dialogs or boxes last activated, or the window itself.
PLENWISE_API WindowHandle GetLastActivePopup(WindowHandle window);

// Moves the window so that it is centred over another one (or the screen for nullptr).
PLENWISE_API void CenterWindow(WindowHandle window, WindowHandle over);

PLENWISE_API bool SetProp(WindowHandle window, const std::string& name, intptr_t value);
PLENWISE_API intptr_t GetProp(WindowHandle window, const std::string& name);  // 0 when none

// Queues a message for the window's bound handler; it runs after the caller has returned to a
// message loop. False for a window that does not exist.
PLENWISE_API bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam);

// Dispatches every message waiting in the queue, input included, until it is empty.
PLENWISE_API void PumpWaitingMessages();
// For waits that must not take input: windows are painted (window-system exposes included),
// the operator's mouse and keyboard input that arrived meanwhile is dropped, and messages
// posted to windows stay queued for the next pump. Timers do not fire.
PLENWISE_API void PumpPaintMessages();

// Saves a picture of the window as it is drawn now (PNG).
PLENWISE_API bool SaveScreenshot(WindowHandle window, const std::string& path);

// A wait cursor for as long as the object lives (nested uses keep it).
class PLENWISE_API WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace ui
