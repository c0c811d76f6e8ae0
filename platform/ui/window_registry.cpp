#include "platform/ui/window_registry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QVariant>

namespace ui::detail {
namespace {

struct Table {
    std::unordered_map<uintptr_t, WindowRecord> records;
    uintptr_t nextHandle = 0x1000;
};

Table& table() {
    static Table instance;
    return instance;
}

constexpr const char* kHandleProperty = "plenwiseHandle";

WindowHandle ToHandle(uintptr_t value) {
    return reinterpret_cast<WindowHandle>(value);
}
uintptr_t ToValue(WindowHandle handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

// Posted messages travel as events to one dispatcher, which looks the window up when the
// message is taken from the queue: a window destroyed meanwhile simply misses it.
class PostedMessage : public QEvent {
  public:
    static QEvent::Type Kind() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    PostedMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
        : QEvent(Kind()), window_(window), message_(message), wParam_(wParam), lParam_(lParam) {}
    WindowHandle window_;
    uint32_t message_;
    uintptr_t wParam_;
    intptr_t lParam_;
};

class MessageDispatcher : public QObject {
  public:
    // While held, posted messages are kept in order instead of dispatched; released, they go
    // back to the queue ahead of anything posted later.
    void Hold(bool hold) {
        holding_ = hold;
        if (hold) {
            return;
        }
        std::vector<Held> held;
        held.swap(held_);
        for (const Held& message : held) {
            QCoreApplication::postEvent(this, new PostedMessage(message.window, message.message,
                                                                message.wParam, message.lParam));
        }
    }

  protected:
    bool event(QEvent* event) override {
        if (event->type() != PostedMessage::Kind()) {
            return QObject::event(event);
        }
        auto* posted = static_cast<PostedMessage*>(event);
        if (holding_) {
            held_.push_back({posted->window_, posted->message_, posted->wParam_, posted->lParam_});
            return true;
        }
        WindowRecord* record = Find(posted->window_);
        if (record != nullptr && record->dialog != nullptr) {
            record->dialog->DispatchMessage(posted->message_, posted->wParam_, posted->lParam_);
        }
        return true;
    }

  private:
    struct Held {
        WindowHandle window;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    bool holding_ = false;
    std::vector<Held> held_;
};

MessageDispatcher& dispatcher() {
    static auto* instance = new MessageDispatcher;
    return *instance;
}

}  // namespace

WindowHandle Register(QWidget* widget) {
    Table& t = table();
    uintptr_t value = t.nextHandle;
    t.nextHandle += 4;  // never reused, so a stale handle never names a newer window
    WindowRecord& record = t.records[value];
    record.widget = widget;
    widget->setProperty(kHandleProperty, QVariant::fromValue<qulonglong>(value));
    QObject::connect(widget, &QObject::destroyed, [value]() {
        auto it = table().records.find(value);
        if (it == table().records.end()) {
            return;
        }
        if (it->second.dialog != nullptr) {
            it->second.dialog->WindowGone();
        }
        table().records.erase(value);
    });
    return ToHandle(value);
}

WindowRecord* Find(WindowHandle handle) {
    auto it = table().records.find(ToValue(handle));
    if (it == table().records.end() || it->second.widget.isNull()) {
        return nullptr;
    }
    return &it->second;
}

WindowHandle HandleOf(const QWidget* widget) {
    if (widget == nullptr) {
        return nullptr;
    }
    QVariant value = widget->property(kHandleProperty);
    if (!value.isValid()) {
        return nullptr;
    }
    WindowHandle handle = ToHandle(static_cast<uintptr_t>(value.toULongLong()));
    return Find(handle) != nullptr ? handle : nullptr;
}

QWidget* WidgetOf(WindowHandle handle) {
    WindowRecord* record = Find(handle);
    return record != nullptr ? record->widget.data() : nullptr;
}

void Unregister(QWidget* widget) {
    WindowHandle handle = HandleOf(widget);
    if (handle != nullptr) {
        WindowRecord* record = Find(handle);
        WindowOwner* dialog = record->dialog;
        widget->setProperty(kHandleProperty, QVariant());
        table().records.erase(ToValue(handle));
        if (dialog != nullptr) {
            dialog->WindowGone();
        }
    }
    // The destroy notifications may change the tree, so walk a guarded copy of it.
    std::vector<QPointer<QWidget>> children;
    for (QObject* child : widget->children()) {
        if (child->isWidgetType()) {
            children.emplace_back(static_cast<QWidget*>(child));
        }
    }
    for (const QPointer<QWidget>& child : children) {
        if (!child.isNull()) {
            Unregister(child.data());
        }
    }
}

WindowOwner* DialogAround(QWidget* widget) {
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        WindowHandle handle = HandleOf(w);
        if (handle != nullptr) {
            WindowRecord* record = Find(handle);
            if (record->dialog != nullptr) {
                return record->dialog;
            }
        }
    }
    return nullptr;
}

void PostToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(&dispatcher(), new PostedMessage(window, message, wParam, lParam));
}

void HoldPostedMessages(bool hold) {
    dispatcher().Hold(hold);
}

bool OfferKey(QWidget* target, const KeyInput& key) {
    for (QPointer<QWidget> w = target; !w.isNull(); w = w->parentWidget()) {
        WindowRecord* record = Find(HandleOf(w));
        if (record != nullptr && record->dialog != nullptr && record->dialog->PreTranslate(key)) {
            return true;
        }
        // A box's keys are its own: the window that owns it does not see them.
        if (w.isNull() || w->isWindow()) {
            break;
        }
    }
    return false;
}

}  // namespace ui::detail
