#include "platform/ui/controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSlider>

#include "platform/ui/dialog_impl.h"
#include "platform/ui/window_registry.h"

namespace ui {

namespace {

template <typename T>
T* As(WindowHandle handle) {
    return qobject_cast<T*>(detail::WidgetOf(handle));
}

// Marks a change made by the program, so that the control does not report it as the operator's.
class ProgrammaticChange {
  public:
    explicit ProgrammaticChange(QWidget* control)
        : dialog_(control != nullptr
                      ? detail::DialogOf(detail::DialogAround(control->parentWidget()))
                      : nullptr) {
        if (dialog_ != nullptr) {
            previous_ = dialog_->programmaticChange_;
            dialog_->programmaticChange_ = true;
        }
    }
    ~ProgrammaticChange() {
        if (dialog_ != nullptr) {
            dialog_->programmaticChange_ = previous_;
        }
    }
    ProgrammaticChange(const ProgrammaticChange&) = delete;
    ProgrammaticChange& operator=(const ProgrammaticChange&) = delete;

  private:
    DialogImpl* dialog_;
    bool previous_ = false;
};

}  // namespace

// ---- ComboBox ----

int ComboBox::AddString(const std::string& text) {
    auto* combo = As<QComboBox>(handle_);
    if (combo == nullptr) {
        return -1;
    }
    combo->addItem(QString::fromStdString(text));
    if (combo->count() == 1) {
        combo->setCurrentIndex(-1);  // a new list starts with nothing selected
    }
    return combo->count() - 1;
}

int ComboBox::Count() const {
    auto* combo = As<QComboBox>(handle_);
    return combo != nullptr ? combo->count() : -1;
}

void ComboBox::ResetContent() {
    if (auto* combo = As<QComboBox>(handle_)) {
        combo->clear();
    }
}

bool ComboBox::SetItemData(int index, uintptr_t data) {
    auto* combo = As<QComboBox>(handle_);
    if (combo == nullptr || index < 0 || index >= combo->count()) {
        return false;
    }
    combo->setItemData(index, QVariant::fromValue<qulonglong>(data));
    return true;
}

uintptr_t ComboBox::GetItemData(int index) const {
    auto* combo = As<QComboBox>(handle_);
    if (combo == nullptr || index < 0 || index >= combo->count()) {
        return 0;
    }
    return static_cast<uintptr_t>(combo->itemData(index).toULongLong());
}

int ComboBox::GetCurSel() const {
    auto* combo = As<QComboBox>(handle_);
    return combo != nullptr ? combo->currentIndex() : -1;
}

bool ComboBox::SetCurSel(int index) {
    auto* combo = As<QComboBox>(handle_);
    if (combo == nullptr || index < -1 || index >= combo->count()) {
        if (combo != nullptr) {
            combo->setCurrentIndex(-1);
        }
        return false;
    }
    combo->setCurrentIndex(index);
    return true;
}

std::string ComboBox::GetItemText(int index) const {
    auto* combo = As<QComboBox>(handle_);
    if (combo == nullptr || index < 0 || index >= combo->count()) {
        return {};
    }
    return combo->itemText(index).toStdString();
}

std::string ComboBox::GetText() const {
    return GetItemText(GetCurSel());
}

// ---- Button ----

bool Button::IsChecked() const {
    auto* button = As<QAbstractButton>(handle_);
    return button != nullptr && button->isChecked();
}

void Button::SetChecked(bool checked) {
    if (auto* button = As<QAbstractButton>(handle_)) {
        button->setChecked(checked);
    }
}

void Button::Click() {
    if (auto* button = As<QAbstractButton>(handle_)) {
        button->click();
    }
}

// ---- Edit ----

void Edit::SetLimit(int characters) {
    if (auto* edit = As<QLineEdit>(handle_)) {
        edit->setMaxLength(characters > 0 ? characters : 32767);
    }
}

void Edit::SelectAll() {
    if (auto* edit = As<QLineEdit>(handle_)) {
        edit->selectAll();
    }
}

std::string Edit::SelectedText() const {
    auto* edit = As<QLineEdit>(handle_);
    return edit != nullptr ? edit->selectedText().toStdString() : std::string();
}

// ---- Trackbar ----

void Trackbar::SetRange(int minimum, int maximum) {
    if (auto* slider = As<QSlider>(handle_)) {
        slider->setRange(minimum, maximum);
    }
}

void Trackbar::SetPos(int position) {
    if (auto* slider = As<QSlider>(handle_)) {
        slider->setValue(position);
    }
}

int Trackbar::GetPos() const {
    auto* slider = As<QSlider>(handle_);
    return slider != nullptr ? slider->value() : 0;
}

void Trackbar::SetTicFrequency(int frequency) {
    if (auto* slider = As<QSlider>(handle_)) {
        slider->setTickInterval(frequency);
    }
}

void Trackbar::SetPageSize(int size) {
    if (auto* slider = As<QSlider>(handle_)) {
        slider->setPageStep(size);
    }
}

// ---- ProgressBar ----

void ProgressBar::SetRange(int minimum, int maximum) {
    if (auto* bar = As<QProgressBar>(handle_)) {
        bar->setRange(minimum, maximum);
    }
}

void ProgressBar::SetPos(int position) {
    if (auto* bar = As<QProgressBar>(handle_)) {
        bar->setValue(position);
    }
}

int ProgressBar::GetPos() const {
    auto* bar = As<QProgressBar>(handle_);
    return bar != nullptr ? bar->value() : 0;
}

// ---- CheckList ----

int CheckList::AddString(const std::string& text) {
    auto* list = As<QListWidget>(handle_);
    if (list == nullptr) {
        return -1;
    }
    ProgrammaticChange change(list);
    auto* item = new QListWidgetItem(QString::fromStdString(text), list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    return list->count() - 1;
}

int CheckList::Count() const {
    auto* list = As<QListWidget>(handle_);
    return list != nullptr ? list->count() : -1;
}

void CheckList::ResetContent() {
    if (auto* list = As<QListWidget>(handle_)) {
        ProgrammaticChange change(list);
        list->clear();
    }
}

bool CheckList::IsChecked(int index) const {
    auto* list = As<QListWidget>(handle_);
    if (list == nullptr || index < 0 || index >= list->count()) {
        return false;
    }
    return list->item(index)->checkState() == Qt::Checked;
}

void CheckList::SetChecked(int index, bool checked) {
    auto* list = As<QListWidget>(handle_);
    if (list == nullptr || index < 0 || index >= list->count()) {
        return;
    }
    ProgrammaticChange change(list);
    list->item(index)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

int CheckList::GetCurSel() const {
    auto* list = As<QListWidget>(handle_);
    return list != nullptr ? list->currentRow() : -1;
}

bool CheckList::SetCurSel(int index) {
    auto* list = As<QListWidget>(handle_);
    if (list == nullptr || index < -1 || index >= list->count()) {
        return false;
    }
    ProgrammaticChange change(list);
    list->setCurrentRow(index);
    return true;
}

std::string CheckList::GetItemText(int index) const {
    auto* list = As<QListWidget>(handle_);
    if (list == nullptr || index < 0 || index >= list->count()) {
        return {};
    }
    return list->item(index)->text().toStdString();
}

}  // namespace ui
