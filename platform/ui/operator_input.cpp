#include "platform/ui/operator_input.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSlider>

#include "platform/ui/window_registry.h"

namespace ui::input {

namespace {

QWidget* Usable(WindowHandle control, Result& result, std::string& error) {
    QWidget* widget = detail::WidgetOf(control);
    if (widget == nullptr) {
        error = "no such control";
        result = Result::Invalid;
        return nullptr;
    }
    if (!widget->isVisible() || !widget->isEnabled()) {
        error = widget->isVisible() ? "the control is disabled" : "the control is not visible";
        result = Result::NotUsable;
        return nullptr;
    }
    result = Result::Done;
    return widget;
}

Result Wrong(const std::string& what, std::string& error) {
    error = what;
    return Result::Invalid;
}

}  // namespace

Result Click(WindowHandle control, std::string& error) {
    Result result;
    QWidget* widget = Usable(control, result, error);
    if (widget == nullptr) {
        return result;
    }
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (button == nullptr) {
        return Wrong("the control is not a button", error);
    }
    button->click();
    return Result::Done;
}

Result QueueClick(WindowHandle control, std::string& error) {
    Result result;
    QWidget* widget = Usable(control, result, error);
    if (widget == nullptr) {
        return result;
    }
    if (qobject_cast<QAbstractButton*>(widget) == nullptr) {
        return Wrong("the control is not a button", error);
    }
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QCoreApplication::postEvent(
        widget, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        widget, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier));
    return Result::Done;
}

Result SelectIndex(WindowHandle list, int index, std::string& error) {
    Result result;
    QWidget* widget = Usable(list, result, error);
    if (widget == nullptr) {
        return result;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (index < 0 || index >= combo->count()) {
            return Wrong("the list has no entry " + std::to_string(index), error);
        }
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return Result::Done;
    }
    if (auto* checkList = qobject_cast<QListWidget*>(widget)) {
        if (index < 0 || index >= checkList->count()) {
            return Wrong("the list has no entry " + std::to_string(index), error);
        }
        checkList->setCurrentRow(index);
        return Result::Done;
    }
    return Wrong("the control is not a list", error);
}

Result SelectText(WindowHandle list, const std::string& text, std::string& error) {
    QWidget* widget = detail::WidgetOf(list);
    int index = -1;
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        index = combo->findText(QString::fromStdString(text), Qt::MatchExactly);
    } else if (auto* checkList = qobject_cast<QListWidget*>(widget)) {
        auto items = checkList->findItems(QString::fromStdString(text), Qt::MatchExactly);
        index = items.isEmpty() ? -1 : checkList->row(items.front());
    } else {
        return Wrong("the control is not a list", error);
    }
    if (index < 0) {
        return Wrong("the list has no entry \"" + text + "\"", error);
    }
    return SelectIndex(list, index, error);
}

Result Type(WindowHandle edit, const std::string& text, std::string& error) {
    Result result;
    QWidget* widget = Usable(edit, result, error);
    if (widget == nullptr) {
        return result;
    }
    widget->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (line->isReadOnly()) {
            return Wrong("the edit is read-only", error);
        }
        line->selectAll();
        line->insert(QString::fromStdString(text));
        return Result::Done;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        if (plain->isReadOnly()) {
            return Wrong("the edit is read-only", error);
        }
        plain->selectAll();
        plain->insertPlainText(QString::fromStdString(text));
        return Result::Done;
    }
    return Wrong("the control is not an edit", error);
}

Result Tick(WindowHandle checkList, int index, bool ticked, std::string& error) {
    Result result;
    QWidget* widget = Usable(checkList, result, error);
    if (widget == nullptr) {
        return result;
    }
    auto* list = qobject_cast<QListWidget*>(widget);
    if (list == nullptr || index < 0 || index >= list->count()) {
        return Wrong("no such entry in a check list", error);
    }
    list->item(index)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    return Result::Done;
}

Result Slide(WindowHandle trackbar, int position, std::string& error) {
    Result result;
    QWidget* widget = Usable(trackbar, result, error);
    if (widget == nullptr) {
        return result;
    }
    auto* slider = qobject_cast<QSlider*>(widget);
    if (slider == nullptr) {
        return Wrong("the control is not a trackbar", error);
    }
    slider->setProperty("userMove", true);
    slider->setValue(position);
    slider->setProperty("userMove", false);
    emit slider->sliderReleased();
    return Result::Done;
}

Result Focus(WindowHandle control, std::string& error) {
    Result result;
    QWidget* widget = Usable(control, result, error);
    if (widget == nullptr) {
        return result;
    }
    widget->setFocus(Qt::OtherFocusReason);
    return Result::Done;
}

Result Leave(WindowHandle control, std::string& error) {
    QWidget* widget = detail::WidgetOf(control);
    if (widget == nullptr) {
        return Wrong("no such control", error);
    }
    FocusNextTabStop(detail::HandleOf(widget->parentWidget()), false);
    if (QApplication::focusWidget() == widget) {
        widget->clearFocus();  // it was the only tab stop
    }
    return Result::Done;
}

Result PressKey(int virtualKey, bool shift, WindowHandle fallback, std::string& error) {
    int key = 0;
    switch (virtualKey) {
        case 9:
            key = shift ? Qt::Key_Backtab : Qt::Key_Tab;
            break;
        case 13:
            key = Qt::Key_Return;
            break;
        case 27:
            key = Qt::Key_Escape;
            break;
        case 32:
            key = Qt::Key_Space;
            break;
        default:
            return Wrong("only Tab, Enter, Escape and Space can be pressed", error);
    }
    QWidget* receiver = QApplication::focusWidget();
    // Keys go to the modal box in front, as the window system gives it the keyboard, even where
    // it has not been activated yet.
    if (QWidget* modal = QApplication::activeModalWidget();
        modal != nullptr && (receiver == nullptr || !modal->isAncestorOf(receiver))) {
        receiver = modal->focusWidget() != nullptr ? modal->focusWidget() : modal;
    }
    if (receiver == nullptr) {
        receiver = detail::WidgetOf(fallback);
    }
    if (receiver == nullptr) {
        return Wrong("no window has the focus", error);
    }
    const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    QPointer<QWidget> guarded = receiver;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(receiver, &press);
    // A button acts when Space is released.
    if (!guarded.isNull() && guarded == QApplication::focusWidget()) {
        QKeyEvent release(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(guarded.data(), &release);
    }
    return Result::Done;
}

Result Mouse(WindowHandle dialog, MouseAction action, Point point, std::string& error) {
    Result result;
    QWidget* widget = Usable(dialog, result, error);
    if (widget == nullptr) {
        return result;
    }
    const QPointF local(point.x, point.y);
    const QPointF global = widget->mapToGlobal(local);
    const QEvent::Type type = action == MouseAction::LeftDown ? QEvent::MouseButtonPress
                              : action == MouseAction::LeftUp ? QEvent::MouseButtonRelease
                                                              : QEvent::MouseMove;
    const Qt::MouseButton button = action == MouseAction::Move ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = action == MouseAction::LeftUp ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, global, button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
    return Result::Done;
}

}  // namespace ui::input
