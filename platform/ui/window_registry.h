// Internal to the dialog kit: the table that maps window handles to widgets and back.
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

namespace ui {
class DialogImpl;
}

namespace ui::detail {

struct WindowRecord {
    QPointer<QWidget> widget;
    DialogImpl* dialog = nullptr;  // set for dialog windows while their Dialog object lives
    int controlId = -1;            // set for controls
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
DialogImpl* DialogAround(QWidget* widget);
// While held, messages posted to windows stay queued (in order) however the queue is pumped.
void HoldPostedMessages(bool hold);

}  // namespace ui::detail
