#include "platform/ui/window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QString>

#include "platform/ui/window_registry.h"

namespace ui {

using detail::Find;
using detail::HandleOf;
using detail::WidgetOf;

bool IsWindow(WindowHandle window) {
    return Find(window) != nullptr;
}

bool ShowWindow(WindowHandle window, int command) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return false;
    }
    bool wasVisible = !widget->isHidden();
    switch (command) {
        case kHide:
            widget->hide();
            break;
        case kShowNoActivate:
            widget->setAttribute(Qt::WA_ShowWithoutActivating, true);
            widget->show();
            widget->setAttribute(Qt::WA_ShowWithoutActivating, false);
            break;
        case kRestore:
            widget->showNormal();
            widget->activateWindow();
            break;
        default:  // kShowNormal, kShow and the other showing commands
            widget->show();
            if (widget->isWindow()) {
                widget->activateWindow();
            }
            break;
    }
    return wasVisible;
}

bool IsWindowVisible(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    return widget != nullptr && widget->isVisible();
}

bool IsIconic(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    return widget != nullptr && widget->isMinimized();
}

bool EnableWindow(WindowHandle window, bool enable) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return false;
    }
    bool wasDisabled = !widget->isEnabled();
    // Qt disables every child widget, windows included; a disabled Windows window still lets
    // the windows it owns (a progress box, a message box) take input, so they are enabled again.
    std::vector<QWidget*> ownedWindows;
    if (!enable) {
        for (QWidget* child : widget->findChildren<QWidget*>()) {
            if (child->isWindow() && child->isEnabled()) {
                ownedWindows.push_back(child);
            }
        }
    }
    widget->setEnabled(enable);
    for (QWidget* owned : ownedWindows) {
        owned->setEnabled(true);
    }
    return wasDisabled;
}

bool IsWindowEnabled(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    return widget != nullptr && widget->isEnabled();
}

bool DestroyWindow(WindowHandle window) {
    detail::WindowRecord* record = Find(window);
    if (record == nullptr) {
        return false;
    }
    QWidget* widget = record->widget.data();
    bool wasActive = widget->isWindow() && widget->isActiveWindow();
    widget->hide();
    detail::Unregister(widget);
    if (wasActive) {
        // As the window system does, the activation passes to another window of the program.
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top != widget && top->isVisible() && HandleOf(top) != nullptr) {
                top->activateWindow();
                break;
            }
        }
    }
    // Deletion waits for the event loop: the window may be destroying itself from one of its own
    // handlers.
    widget->deleteLater();
    return true;
}

WindowHandle GetParent(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return nullptr;
    }
    return HandleOf(widget->isWindow() ? nullptr : widget->parentWidget());
}

bool IsChild(WindowHandle parent, WindowHandle window) {
    QWidget* parentWidget = WidgetOf(parent);
    QWidget* widget = WidgetOf(window);
    if (parentWidget == nullptr || widget == nullptr || parentWidget == widget) {
        return false;
    }
    return parentWidget->isAncestorOf(widget);
}

WindowHandle GetNextWindow(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr || widget->parentWidget() == nullptr) {
        return nullptr;
    }
    bool found = false;
    for (QObject* sibling : widget->parentWidget()->children()) {
        if (found) {
            WindowHandle next =
                sibling->isWidgetType() ? HandleOf(static_cast<QWidget*>(sibling)) : nullptr;
            if (next != nullptr) {
                return next;
            }
        } else if (sibling == widget) {
            found = true;
        }
    }
    return nullptr;
}

WindowHandle GetDlgItem(WindowHandle dialog, int id) {
    QWidget* widget = WidgetOf(dialog);
    if (widget == nullptr) {
        return nullptr;
    }
    for (QObject* child : widget->children()) {
        if (!child->isWidgetType()) {
            continue;
        }
        WindowHandle handle = HandleOf(static_cast<QWidget*>(child));
        detail::WindowRecord* record = Find(handle);
        if (record != nullptr && record->controlId == id) {
            return handle;
        }
    }
    return nullptr;
}

int GetDlgCtrlID(WindowHandle control) {
    detail::WindowRecord* record = Find(control);
    return record != nullptr ? record->controlId : 0;
}

std::vector<WindowHandle> TopLevelWindows() {
    std::vector<WindowHandle> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        WindowHandle handle = HandleOf(widget);
        if (handle != nullptr) {
            windows.push_back(handle);
        }
    }
    return windows;
}

bool SetWindowText(WindowHandle window, const std::string& text) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return false;
    }
    QString value = QString::fromStdString(text);
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        // Setting an unchanged text would only flicker and report a change that did not happen.
        if (plain->toPlainText() != value) {
            plain->setPlainText(value);
        }
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (line->text() != value) {
            line->setText(value);
        }
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(value);
    } else if (qobject_cast<QComboBox*>(widget) == nullptr) {
        widget->setWindowTitle(value);
    }
    // Headings, labels and panes give names to their page and fields.
    if (qobject_cast<QLabel*>(widget) != nullptr ||
        qobject_cast<QPlainTextEdit*>(widget) != nullptr) {
        if (detail::WindowOwner* dialog = detail::DialogAround(widget->parentWidget())) {
            dialog->UpdateNames();
        }
    }
    return true;
}

std::string GetWindowText(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return {};
    }
    QString value;
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        value = plain->toPlainText();
        value.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        value = line->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        value = label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        value = button->text();
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        value = group->title();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        value = combo->currentText();
    } else {
        value = widget->windowTitle();
    }
    return value.toStdString();
}

WindowHandle GetFocus() {
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        WindowHandle handle = HandleOf(w);
        if (handle != nullptr) {
            return handle;
        }
    }
    return nullptr;
}

WindowHandle SetFocus(WindowHandle window) {
    WindowHandle previous = GetFocus();
    QWidget* widget = WidgetOf(window);
    if (widget != nullptr) {
        widget->setFocus(Qt::OtherFocusReason);
    }
    return previous;
}

namespace {

bool IsTabStop(QWidget* widget) {
    WindowHandle handle = HandleOf(widget);
    detail::WindowRecord* record = Find(handle);
    return record != nullptr && record->isControl && (record->styles & style::kNoTabStop) == 0 &&
           widget->focusPolicy() != Qt::NoFocus && widget->isVisible() && widget->isEnabled();
}

void CollectTabStops(QWidget* container, std::vector<QWidget*>& stops) {
    for (QObject* child : container->children()) {
        if (!child->isWidgetType()) {
            continue;
        }
        auto* widget = static_cast<QWidget*>(child);
        if (IsTabStop(widget)) {
            stops.push_back(widget);
        }
    }
}

}  // namespace

void FocusNextTabStop(WindowHandle container, bool backwards) {
    QWidget* widget = WidgetOf(container);
    if (widget == nullptr) {
        return;
    }
    std::vector<QWidget*> stops;
    CollectTabStops(widget, stops);
    if (stops.empty()) {
        return;
    }
    QWidget* focused = QApplication::focusWidget();
    size_t current = stops.size();
    for (size_t i = 0; i < stops.size(); ++i) {
        if (stops[i] == focused || stops[i]->isAncestorOf(focused)) {
            current = i;
        }
    }
    size_t next;
    if (current == stops.size()) {
        next = backwards ? stops.size() - 1 : 0;
    } else if (backwards) {
        next = current == 0 ? stops.size() - 1 : current - 1;
    } else {
        next = (current + 1) % stops.size();
    }
    stops[next]->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
}

bool SetForegroundWindow(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return false;
    }
    widget->window()->raise();
    widget->window()->activateWindow();
    return true;
}

WindowHandle GetLastActivePopup(WindowHandle window) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return nullptr;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != widget) {
        WindowHandle popup = HandleOf(modal);
        if (popup != nullptr) {
            return popup;
        }
    }
    return window;
}

void CenterWindow(WindowHandle window, WindowHandle over) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return;
    }
    QRect area;
    if (QWidget* reference = WidgetOf(over)) {
        area = reference->frameGeometry();
    } else if (QScreen* screen = QApplication::primaryScreen()) {
        area = screen->availableGeometry();
    } else {
        return;
    }
    QRect frame = widget->frameGeometry();
    widget->move(area.center().x() - frame.width() / 2, area.center().y() - frame.height() / 2);
}

bool SetProp(WindowHandle window, const std::string& name, intptr_t value) {
    detail::WindowRecord* record = Find(window);
    if (record == nullptr) {
        return false;
    }
    record->properties[name] = value;
    return true;
}

intptr_t GetProp(WindowHandle window, const std::string& name) {
    detail::WindowRecord* record = Find(window);
    if (record == nullptr) {
        return 0;
    }
    auto it = record->properties.find(name);
    return it != record->properties.end() ? it->second : 0;
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (Find(window) == nullptr) {
        return false;
    }
    detail::PostToWindow(window, message, wParam, lParam);
    return true;
}

void PumpWaitingMessages() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {

// Swallows the operator's input while the program waits: a click made during the wait must
// not act once it is over. Closing a window from the window system is input too.
class InputDropper : public QObject {
  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        return event->isInputEvent() || (event->type() == QEvent::Close && event->spontaneous());
    }
};

}  // namespace

void PumpPaintMessages() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return;
    }
    InputDropper dropper;
    application->installEventFilter(&dropper);
    detail::HoldPostedMessages(true);
    // Window-system events are taken (exposes get painted), timers wait.
    QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    detail::HoldPostedMessages(false);
    application->removeEventFilter(&dropper);
}

bool SaveScreenshot(WindowHandle window, const std::string& path) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return false;
    }
    return widget->grab().save(QString::fromStdString(path), "PNG");
}

// Without a user interface (a module used from a command line) there is no cursor to change.
WaitCursor::WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}
WaitCursor::~WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace ui
