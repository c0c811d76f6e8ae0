// Internal to the dialog kit: the table that maps window handles to widgets and back, and the
// queue of messages posted to windows. Dialogs are seen here only through WindowOwner.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/window.h"

namespace ui::detail {

// What the window table and the message queue ask of the dialog that owns a window.
class WindowOwner {
  public:
    virtual ~WindowOwner() = default;
    // The window went away (destroyed by us or by its parent): notify the page once.
    virtual void WindowGone() = 0;
    virtual void DispatchMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    // True when the dialog swallowed the key.
    virtual bool PreTranslate(const KeyInput& key) = 0;
    // A heading, label or pane text changed: the names it gives are due again.
    virtual void UpdateNames() = 0;
};

struct WindowRecord {
    QPointer<QWidget> widget;
    WindowOwner* dialog = nullptr;  // set for dialog windows while their Dialog object lives
    int controlId = -1;             // set for controls
    ControlKind kind = ControlKind::Static;
    uint32_t styles = 0;
    bool isControl = false;
    std::map<std::string, intptr_t> properties;
    std::vector<SystemMenuEntry> systemMenu;
};

// Registers a widget and returns its new handle; the record goes away with the widget.
WindowHandle Register(QWidget* widget);
WindowRecord* Find(WindowHandle handle);
WindowHandle HandleOf(const QWidget* widget);
QWidget* WidgetOf(WindowHandle handle);
// Forgets the widget and every registered widget below it; dialogs among them get their
// destroy notification first, parents before children.
void Unregister(QWidget* widget);
// The innermost dialog window that contains the widget (the widget itself included), or null.
WindowOwner* DialogAround(QWidget* widget);

// Queues a message for a window; it is handed to the window's owner from the loop.
void PostToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// While held, messages posted to windows stay queued (in order) however the queue is pumped.
void HoldPostedMessages(bool hold);
// Offers a key to the dialogs around the widget, innermost first; true when one swallowed it.
bool OfferKey(QWidget* target, const KeyInput& key);

}  // namespace ui::detail
