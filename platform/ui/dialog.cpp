#include "platform/ui/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSlider>
#include <optional>

#include "platform/system/message_catalogue.h"
#include "platform/ui/dialog_impl.h"
#include "platform/ui/window_registry.h"

namespace ui {

namespace {

// Reports focus changes of a dialog's controls as notifications.
class FocusWatcher : public QObject {
  public:
    explicit FocusWatcher(QObject* parent) : QObject(parent) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        detail::WindowRecord* record = detail::Find(detail::HandleOf(widget));
        DialogImpl* dialog = detail::DialogOf(detail::DialogAround(widget->parentWidget()));
        if (record != nullptr && dialog != nullptr) {
            dialog->Dispatch(record->controlId, event->type() == QEvent::FocusIn
                                                    ? Notify::FocusGained
                                                    : Notify::FocusLost);
        }
        return false;
    }
};

Qt::WindowFlags FlagsOf(DialogKind kind) {
    switch (kind) {
        case DialogKind::Child:
            return Qt::Widget;
        case DialogKind::Popup:
            return Qt::Dialog | Qt::CustomizeWindowHint;
        case DialogKind::NoticePopup:
            return Qt::Tool | Qt::CustomizeWindowHint;
        case DialogKind::CaptionBox:
            return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        case DialogKind::Main:
            break;
    }
    return Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
}

}  // namespace

// ---- DialogWidget ----

DialogWidget::DialogWidget(DialogImpl* impl, QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), impl_(impl) {
    // A dialog always starts as a window of its own; a page must be a plain child.
    if (flags == Qt::Widget) {
        setWindowFlags(Qt::Widget);
    }
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
    if (impl_ == nullptr || impl_->template_.kind == DialogKind::Child) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if (focused != nullptr && isAncestorOf(focused)) {
            focused->click();
            return;
        }
        for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
            if (button->isDefault() && button->isVisible() && button->isEnabled()) {
                button->click();
                return;
            }
        }
        impl_->OnOK();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        impl_->OnCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DialogWidget::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (impl_ != nullptr) {
        impl_->OnSysCommand(kScClose);
    }
}

void DialogWidget::contextMenuEvent(QContextMenuEvent* event) {
    if (impl_ != nullptr && impl_->template_.kind == DialogKind::Main) {
        impl_->ShowSystemMenu(event->globalPos());
    }
}

void DialogWidget::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (impl_ == nullptr || impl_->dying_ || event->spontaneous()) {
        return;
    }
    // A dialog or page that comes into view takes the focus on its first control, so that the
    // keyboard starts where it starts.
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr || !isAncestorOf(focused)) {
        FocusNextTabStop(impl_->handle_, false);
    }
    impl_->OnShowWindow(true);
}

void DialogWidget::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (impl_ != nullptr && !impl_->dying_ && !event->spontaneous()) {
        impl_->OnShowWindow(false);
    }
}

void DialogWidget::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (impl_ != nullptr) {
        QPainter qt(this);
        Painter painter(qt);
        impl_->OnPaint(painter);
    }
}

namespace {
Point ClientPoint(const QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    return {point.x(), point.y()};
}
}  // namespace

void DialogWidget::mousePressEvent(QMouseEvent* event) {
    if (impl_ != nullptr && event->button() == Qt::LeftButton) {
        impl_->OnMouse(MouseAction::LeftDown, ClientPoint(event));
    }
}

void DialogWidget::mouseMoveEvent(QMouseEvent* event) {
    if (impl_ != nullptr) {
        impl_->OnMouse(MouseAction::Move, ClientPoint(event));
    }
}

void DialogWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (impl_ != nullptr && event->button() == Qt::LeftButton) {
        impl_->OnMouse(MouseAction::LeftUp, ClientPoint(event));
    }
}

void DialogWidget::accept() {
    if (impl_ != nullptr) {
        impl_->OnOK();
    }
}

void DialogWidget::reject() {
    if (impl_ != nullptr) {
        impl_->OnCancel();
    }
}

// ---- DialogImpl ----

DialogImpl::DialogImpl(Dialog& owner, DialogTemplate dialogTemplate)
    : owner_(owner), template_(std::move(dialogTemplate)) {}

DialogImpl::~DialogImpl() {
    dying_ = true;
    DestroyWidget();
}

int DialogImpl::PixelsX(int dialogUnits) const {
    return (dialogUnits * baseUnitX_ + 2) / 4;
}
int DialogImpl::PixelsY(int dialogUnits) const {
    return (dialogUnits * baseUnitY_ + 4) / 8;
}

bool DialogImpl::Create(QWidget* parent, bool modal) {
    if (handle_ != nullptr) {
        return false;
    }
    modal_ = modal;
    ended_ = false;
    auto* widget = new DialogWidget(this, parent, FlagsOf(template_.kind));
    widget_ = widget;
    QFont font(QString::fromStdString(template_.fontFace));
    font.setPointSize(template_.fontPoints);
    widget->setFont(font);
    QFontMetrics metrics(font);
    int average = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseUnitX_ = std::max(1, (average / 26 + 1) / 2);
    baseUnitY_ = std::max(1, metrics.height());
    if (template_.kind == DialogKind::Child) {
        // A page sits at its parent's origin; placing it also keeps the dialog from centring
        // itself when shown.
        widget->setGeometry(0, 0, PixelsX(template_.width), PixelsY(template_.height));
    } else {
        widget->setFixedSize(PixelsX(template_.width), PixelsY(template_.height));
    }
    if (template_.kind == DialogKind::Popup || template_.kind == DialogKind::NoticePopup) {
        widget->setStyleSheet(
            QStringLiteral("ui--DialogWidget { border: 1px solid palette(dark); }"));
    }
    handle_ = detail::Register(widget);
    detail::Find(handle_)->dialog = this;
    if (template_.kind == DialogKind::Main) {
        detail::Find(handle_)->systemMenu.push_back({kScClose, "Close"});
    }
    CreateControls();
    widget->hide();
    owner_.OnInitDialog();
    return handle_ != nullptr;
}

void DialogImpl::CreateControls() {
    auto* watcher = new FocusWatcher(widget_);
    QButtonGroup* radioGroup = nullptr;
    controls_.clear();
    for (const ControlTemplate& control : template_.controls) {
        QWidget* widget = CreateControl(control, radioGroup);
        controls_.emplace_back(widget);
        widget->setGeometry(PixelsX(control.x), PixelsY(control.y), PixelsX(control.width),
                            PixelsY(control.height));
        WindowHandle handle = detail::Register(widget);
        detail::WindowRecord* record = detail::Find(handle);
        record->isControl = true;
        record->controlId = control.id;
        record->kind = control.kind;
        record->styles = control.styles;
        if ((control.styles & style::kDisabled) != 0) {
            widget->setEnabled(false);
        }
        widget->setVisible((control.styles & style::kHidden) == 0);
        if (!control.text.empty()) {
            // A caption the template carries itself, where the module's data file has no text.
            SetWindowText(handle, sys::TranslatedMessage(control.text.c_str()));
        }
        if (widget->focusPolicy() != Qt::NoFocus) {
            widget->installEventFilter(watcher);
        }
        Connect(widget, control);
    }
    LabelFields();
    UpdateNames();
}

namespace {
bool IsField(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
        case ControlKind::DropDownList:
        case ControlKind::Trackbar:
        case ControlKind::CheckList:
        case ControlKind::ProgressBar:
            return true;
        default:
            return false;
    }
}
}  // namespace

void DialogImpl::LabelFields() {
    const std::vector<ControlTemplate>& controls = template_.controls;
    namedBy_.clear();
    QLabel* labelBefore = nullptr;  // the label of the control before, when that is a field
    for (size_t i = 0; i < controls.size(); ++i) {
        QLabel* label = nullptr;
        if (i > 0 && IsField(controls[i].kind)) {
            if (controls[i - 1].kind == ControlKind::Static) {
                // The buddy relation is what assistive technology reads as "labelled by".
                label = qobject_cast<QLabel*>(controls_[i - 1].data());
                label->setBuddy(controls_[i]);
            } else if (controls[i].kind == ControlKind::Edit &&
                       controls[i - 1].kind == ControlKind::Trackbar) {
                label = labelBefore;  // the value edit beside its trackbar
            }
        }
        // Lists do not take their name from a buddy, and a label has one buddy only: every
        // labelled field carries the label's text as its name too.
        if (label != nullptr) {
            namedBy_.emplace_back(controls_[i], label);
        }
        labelBefore = label;
    }
}

void DialogImpl::UpdateNames() {
    if (widget_.isNull()) {
        return;
    }
    for (const auto& [field, label] : namedBy_) {
        if (!field.isNull() && !label.isNull()) {
            field->setAccessibleName(static_cast<QLabel*>(label.data())->text());
        }
    }
    std::optional<QString> heading;
    std::optional<QString> paneLine;
    for (size_t i = 0; i < controls_.size(); ++i) {
        const uint32_t styles = template_.controls[i].styles;
        if (controls_[i].isNull()) {
            continue;
        }
        if (auto* label = qobject_cast<QLabel*>(controls_[i].data());
            label != nullptr && (styles & style::kHeading) != 0 && !heading) {
            heading = label->text();
        }
        if (auto* pane = qobject_cast<QPlainTextEdit*>(controls_[i].data());
            pane != nullptr && (styles & style::kMessagePane) != 0) {
            pane->setAccessibleName(QString::fromUtf8(kMessagePaneName));
            if (!paneLine) {
                paneLine = pane->toPlainText().section(QLatin1Char('\n'), 0, 0).trimmed();
            }
        }
    }
    // A window is named by its caption unless it has a heading; a page has no caption.
    if (heading) {
        widget_->setAccessibleName(*heading);
    } else if (paneLine && template_.kind == DialogKind::Child) {
        widget_->setAccessibleName(*paneLine);
    }
}

QPushButton* DialogImpl::ButtonWith(uint32_t styleFlag) const {
    for (size_t i = 0; i < controls_.size(); ++i) {
        auto* button = qobject_cast<QPushButton*>(controls_[i].data());
        if (button != nullptr && (template_.controls[i].styles & styleFlag) != 0 &&
            button->isVisible() && button->isEnabled()) {
            return button;
        }
    }
    return nullptr;
}

QWidget* DialogImpl::CreateControl(const ControlTemplate& control, QButtonGroup*& radioGroup) {
    QWidget* parent = widget_;
    if (control.kind != ControlKind::RadioButton || (control.styles & style::kGroup) != 0) {
        radioGroup = nullptr;
    }
    switch (control.kind) {
        case ControlKind::Static: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            Qt::Alignment horizontal = (control.styles & style::kCenter) != 0  ? Qt::AlignHCenter
                                       : (control.styles & style::kRight) != 0 ? Qt::AlignRight
                                                                               : Qt::AlignLeft;
            label->setAlignment(horizontal | Qt::AlignTop);
            return label;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(parent);
            button->setAutoDefault(false);
            button->setDefault((control.styles & style::kDefault) != 0);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(parent);
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(parent);
            radio->setAutoExclusive(false);
            if (radioGroup == nullptr) {
                radioGroup = new QButtonGroup(parent);
                radioGroup->setExclusive(true);
                radioGroups_.push_back(radioGroup);
            }
            radioGroup->addButton(radio);
            return radio;
        }
        case ControlKind::DropDownList: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(false);
            combo->setMaxVisibleItems(12);
            return combo;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            if (control.textLimit > 0) {
                edit->setMaxLength(control.textLimit);
            }
            if ((control.styles & style::kDigitsOnly) != 0) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            }
            edit->setReadOnly((control.styles & style::kReadOnly) != 0);
            return edit;
        }
        case ControlKind::MultiLineEdit: {
            auto* edit = new QPlainTextEdit(parent);
            edit->setReadOnly((control.styles & style::kReadOnly) != 0);
            edit->setVerticalScrollBarPolicy((control.styles & style::kVScroll) != 0
                                                 ? Qt::ScrollBarAlwaysOn
                                                 : Qt::ScrollBarAlwaysOff);
            edit->setLineWrapMode((control.styles & style::kAutoHScroll) != 0
                                      ? QPlainTextEdit::NoWrap
                                      : QPlainTextEdit::WidgetWidth);
            edit->setTabChangesFocus(true);
            if ((control.styles & style::kReadOnly) != 0) {
                // A read-only pane still takes the focus by Tab, so its text can be scrolled.
                edit->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                              Qt::TextSelectableByKeyboard);
            }
            return edit;
        }
        case ControlKind::Trackbar: {
            auto* slider = new QSlider(
                (control.styles & style::kVertical) != 0 ? Qt::Vertical : Qt::Horizontal, parent);
            slider->setTickPosition((control.styles & style::kTicks) != 0 ? QSlider::TicksBelow
                                                                          : QSlider::NoTicks);
            return slider;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            bar->setRange(0, 100);
            bar->setValue(0);
            if ((control.styles & style::kVertical) != 0) {
                bar->setOrientation(Qt::Vertical);
            }
            return bar;
        }
        case ControlKind::CheckList:
            return new QListWidget(parent);
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(parent);
            group->setFocusPolicy(Qt::NoFocus);
            return group;
        }
    }
    return new QWidget(parent);
}

void DialogImpl::Connect(QWidget* widget, const ControlTemplate& control) {
    QPointer<DialogWidget> owner = widget_;
    int id = control.id;
    auto dispatch = [owner, id](Notify notification) {
        if (!owner.isNull() && owner->Impl() != nullptr) {
            owner->Impl()->Dispatch(id, notification);
        }
    };
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QObject::connect(button, &QAbstractButton::clicked, widget,
                         [dispatch]() { dispatch(Notify::Clicked); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        QObject::connect(combo, &QComboBox::activated, widget,
                         [dispatch]() { dispatch(Notify::SelectionChanged); });
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        QObject::connect(line, &QLineEdit::textChanged, widget,
                         [dispatch]() { dispatch(Notify::Changed); });
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        QObject::connect(plain, &QPlainTextEdit::textChanged, widget,
                         [dispatch]() { dispatch(Notify::Changed); });
    } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
        // Only moves made by the operator are reported, as a trackbar does.
        QObject::connect(slider, &QSlider::actionTriggered, widget,
                         [slider]() { slider->setProperty("userMove", true); });
        QObject::connect(slider, &QSlider::valueChanged, widget, [slider, dispatch]() {
            if (slider->property("userMove").toBool()) {
                slider->setProperty("userMove", false);
                dispatch(Notify::Scrolled);
            }
        });
        QObject::connect(slider, &QSlider::sliderReleased, widget,
                         [dispatch]() { dispatch(Notify::ReleasedCapture); });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        QObject::connect(list, &QListWidget::itemChanged, widget, [owner, dispatch]() {
            if (!owner.isNull() && owner->Impl() != nullptr &&
                !owner->Impl()->programmaticChange_) {
                dispatch(Notify::CheckChanged);
            }
        });
        QObject::connect(list, &QListWidget::currentRowChanged, widget, [owner, dispatch]() {
            if (!owner.isNull() && owner->Impl() != nullptr &&
                !owner->Impl()->programmaticChange_) {
                dispatch(Notify::SelectionChanged);
            }
        });
        QObject::connect(list, &QListWidget::itemDoubleClicked, widget,
                         [dispatch]() { dispatch(Notify::DoubleClicked); });
    }
}

void DialogImpl::DestroyWidget() {
    if (handle_ != nullptr) {
        ui::DestroyWindow(handle_);
    }
}

void DialogImpl::WindowGone() {
    if (handle_ == nullptr) {
        return;
    }
    handle_ = nullptr;
    if (!widget_.isNull()) {
        widget_->Detach();
        if (modal_ && !ended_) {
            ended_ = true;
            widget_->done(0);
        }
    }
    widget_ = nullptr;
    radioGroups_.clear();
    if (!dying_) {
        owner_.OnDestroy();
    }
}

void DialogImpl::Dispatch(int controlId, Notify notification) {
    auto it = handlers_.find({controlId, notification});
    if (it == handlers_.end()) {
        // Unbound OK and Cancel buttons give the dialog's own commands.
        if (notification == Notify::Clicked && controlId == kIdOk) {
            owner_.OnOK();
        } else if (notification == Notify::Clicked && controlId == kIdCancel) {
            owner_.OnCancel();
        }
        return;
    }
    std::weak_ptr<int> alive = alive_;
    std::vector<std::function<void()>> handlers = it->second;
    for (auto& handler : handlers) {
        if (alive.expired()) {
            return;  // a handler deleted the dialog
        }
        handler();
    }
}

void DialogImpl::DispatchMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto it = messageHandlers_.find(message);
    if (it == messageHandlers_.end()) {
        return;
    }
    std::weak_ptr<int> alive = alive_;
    auto handlers = it->second;
    for (auto& handler : handlers) {
        if (alive.expired()) {
            return;
        }
        handler(wParam, lParam);
    }
}

void DialogImpl::ShowSystemMenu(const QPoint& globalPosition) {
    detail::WindowRecord* record = detail::Find(handle_);
    if (record == nullptr) {
        return;
    }
    QMenu menu(widget_);
    for (const SystemMenuEntry& entry : record->systemMenu) {
        if (entry.commandId == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromStdString(entry.text));
        action->setData(entry.commandId);
    }
    QPointer<DialogWidget> owner = widget_;
    QAction* chosen = menu.exec(globalPosition);
    if (chosen != nullptr && !owner.isNull() && owner->Impl() != nullptr) {
        owner->Impl()->OnSysCommand(chosen->data().toUInt());
    }
}

// ---- Dialog ----

Dialog::Dialog(DialogTemplate dialogTemplate)
    : impl_(std::make_unique<DialogImpl>(*this, std::move(dialogTemplate))) {}

Dialog::~Dialog() = default;

bool Dialog::Create(WindowHandle parent) {
    return impl_->Create(detail::WidgetOf(parent), false);
}

intptr_t Dialog::DoModal(WindowHandle owner) {
    QWidget* ownerWidget = detail::WidgetOf(owner);
    if (ownerWidget != nullptr) {
        ownerWidget = ownerWidget->window();
    }
    // Guarded: the owner and the focused control may go while the box runs.
    QPointer<QWidget> guardedOwner = ownerWidget;
    QPointer<QWidget> focused = QApplication::focusWidget();
    if (!impl_->Create(ownerWidget, true)) {
        impl_->modal_ = false;
        return -1;
    }
    if (!impl_->ended_ && !impl_->widget_.isNull()) {
        impl_->widget_->setWindowModality(Qt::ApplicationModal);
        impl_->widget_->exec();
    }
    intptr_t result = impl_->result_;
    impl_->DestroyWidget();
    impl_->modal_ = false;
    // The owner becomes the active window again, as a closed box leaves it, with the focus where
    // it was.
    if (!guardedOwner.isNull() && guardedOwner->isVisible() &&
        QApplication::activeWindow() == nullptr) {
        guardedOwner->activateWindow();
    }
    if (!focused.isNull() && focused->isVisible() && focused->isEnabled()) {
        focused->setFocus(Qt::OtherFocusReason);
    }
    return result;
}

void Dialog::EndDialog(intptr_t result) {
    impl_->result_ = result;
    if (impl_->widget_.isNull() || impl_->ended_) {
        return;
    }
    impl_->ended_ = true;
    if (impl_->modal_) {
        impl_->widget_->done(0);
    } else {
        impl_->widget_->hide();
    }
}

bool Dialog::HasEnded() const {
    return impl_->ended_;
}

bool Dialog::DestroyWindow() {
    if (impl_->handle_ == nullptr) {
        return false;
    }
    impl_->DestroyWidget();
    return true;
}

WindowHandle Dialog::Handle() const {
    return impl_->handle_;
}
int Dialog::TemplateId() const {
    return impl_->template_.id;
}
WindowHandle Dialog::Item(int id) const {
    return GetDlgItem(impl_->handle_, id);
}
void Dialog::SetItemText(int id, const std::string& text) {
    SetWindowText(Item(id), text);
}
std::string Dialog::GetItemText(int id) const {
    return GetWindowText(Item(id));
}

void Dialog::Bind(int controlId, Notify notification, std::function<void()> handler) {
    impl_->handlers_[{controlId, notification}].push_back(std::move(handler));
}

void Dialog::BindMessage(uint32_t message,
                         std::function<void(uintptr_t wParam, intptr_t lParam)> handler) {
    impl_->messageHandlers_[message].push_back(std::move(handler));
}

void Dialog::AppendSystemMenu(uint32_t commandId, const std::string& text, bool separatorFirst) {
    detail::WindowRecord* record = detail::Find(impl_->handle_);
    if (record == nullptr) {
        return;
    }
    if (separatorFirst) {
        record->systemMenu.push_back({0, ""});
    }
    record->systemMenu.push_back({commandId, text});
}

void Dialog::SetIcon(const char* const* xpm) {
    impl_->icon_ = QPixmap(xpm);
    if (impl_->widget_.isNull()) {
        return;
    }
    impl_->widget_->setWindowIcon(QIcon(impl_->icon_));
    for (const ControlTemplate& control : impl_->template_.controls) {
        if (control.kind == ControlKind::Icon) {
            if (auto* label = qobject_cast<QLabel*>(detail::WidgetOf(Item(control.id)))) {
                label->setPixmap(impl_->icon_);
            }
        }
    }
}

Rect Dialog::ItemRect(int id) const {
    QWidget* control = detail::WidgetOf(Item(id));
    if (control == nullptr || impl_->widget_.isNull()) {
        return {};
    }
    const QPoint topLeft = control->mapTo(impl_->widget_.data(), QPoint(0, 0));
    return {topLeft.x(), topLeft.y(), topLeft.x() + control->width(),
            topLeft.y() + control->height()};
}

void Dialog::Invalidate() {
    if (!impl_->widget_.isNull()) {
        impl_->widget_->update();
    }
}

void Dialog::SetCapture() {
    if (!impl_->widget_.isNull()) {
        impl_->widget_->grabMouse();
    }
}

void Dialog::ReleaseCapture() {
    if (!impl_->widget_.isNull()) {
        impl_->widget_->releaseMouse();
    }
}

void Dialog::SetClientSize(int width, int height) {
    if (impl_->widget_.isNull()) {
        return;
    }
    if (impl_->template_.kind == DialogKind::Child) {
        impl_->widget_->resize(width, height);
    } else {
        impl_->widget_->setFixedSize(width, height);
    }
}

void Dialog::ClientSize(int& width, int& height) const {
    width = impl_->widget_.isNull() ? 0 : impl_->widget_->width();
    height = impl_->widget_.isNull() ? 0 : impl_->widget_->height();
}

void Dialog::WindowSize(int& width, int& height) const {
    width = impl_->widget_.isNull() ? 0 : impl_->widget_->frameGeometry().width();
    height = impl_->widget_.isNull() ? 0 : impl_->widget_->frameGeometry().height();
}

void Dialog::OnOK() {
    if (impl_->modal_) {
        EndDialog(kIdOk);
    }
}

void Dialog::OnCancel() {
    if (impl_->modal_) {
        EndDialog(kIdCancel);
    }
}

void Dialog::OnSysCommand(uint32_t commandId) {
    if ((commandId & 0xFFF0) == kScClose) {
        OnCancel();
    }
}

bool Dialog::NavigateDialog(const KeyInput& key) {
    switch (key.virtualKey) {
        case 9:
            FocusNextTabStop(impl_->handle_, key.shift);
            return true;
        case 13: {
            auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
            if (focused != nullptr && !impl_->widget_.isNull() &&
                impl_->widget_->isAncestorOf(focused)) {
                focused->click();
            } else if (QPushButton* button = impl_->ButtonWith(style::kDefault)) {
                button->click();
            } else {
                OnOK();
            }
            return true;
        }
        case 27:
            if (QPushButton* button = impl_->ButtonWith(style::kCancel)) {
                button->click();
            } else {
                OnCancel();
            }
            return true;
        default:
            return false;
    }
}

std::vector<SystemMenuEntry> SystemMenuEntries(WindowHandle window) {
    detail::WindowRecord* record = detail::Find(window);
    return record != nullptr ? record->systemMenu : std::vector<SystemMenuEntry>{};
}

bool SendSystemCommand(WindowHandle window, uint32_t commandId) {
    detail::WindowRecord* record = detail::Find(window);
    if (record == nullptr || record->dialog == nullptr) {
        return false;
    }
    detail::DialogOf(record->dialog)->OnSysCommand(commandId);
    return true;
}

bool NavigateDialog(WindowHandle dialog, const KeyInput& key) {
    detail::WindowRecord* record = detail::Find(dialog);
    return record != nullptr && record->dialog != nullptr &&
           detail::DialogOf(record->dialog)->Navigate(key);
}

int DialogTemplateId(WindowHandle window) {
    detail::WindowRecord* record = detail::Find(window);
    return record != nullptr && record->dialog != nullptr
               ? detail::DialogOf(record->dialog)->template_.id
               : -1;
}

}  // namespace ui
