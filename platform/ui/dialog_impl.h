// Internal to the dialog kit: the toolkit side of a Dialog.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/window_registry.h"

class QButtonGroup;
class QPushButton;

namespace ui {

class DialogWidget;

class DialogImpl final : public detail::WindowOwner {
  public:
    DialogImpl(Dialog& owner, DialogTemplate dialogTemplate);
    ~DialogImpl() override;

    bool Create(QWidget* parent, bool modal);
    void DestroyWidget();
    void WindowGone() override;

    void Dispatch(int controlId, Notify notification);
    void DispatchMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool PreTranslate(const KeyInput& key) override { return owner_.PreTranslateKey(key); }
    void OnOK() { owner_.OnOK(); }
    void OnCancel() { owner_.OnCancel(); }
    void OnSysCommand(uint32_t id) { owner_.OnSysCommand(id); }
    bool Navigate(const KeyInput& key) { return owner_.NavigateDialog(key); }
    void OnPaint(Painter& painter) { owner_.OnPaint(painter); }
    void OnShowWindow(bool shown) { owner_.OnShowWindow(shown); }
    void OnMouse(MouseAction action, Point point) { owner_.OnMouse(action, point); }
    void ShowSystemMenu(const QPoint& globalPosition);

    // Gives the page, its message pane and the fields named by a label's text their accessible
    // names again: after a heading, label or pane text changed.
    void UpdateNames() override;
    // A visible, enabled push button of the template that carries the style flag.
    QPushButton* ButtonWith(uint32_t styleFlag) const;

    int PixelsX(int dialogUnits) const;
    int PixelsY(int dialogUnits) const;

    Dialog& owner_;
    DialogTemplate template_;
    QPointer<DialogWidget> widget_;
    WindowHandle handle_ = nullptr;
    bool modal_ = false;
    bool ended_ = false;
    intptr_t result_ = 0;
    bool programmaticChange_ = false;  // set while the program itself changes a control
    QPixmap icon_;
    int baseUnitX_ = 6;
    int baseUnitY_ = 12;
    std::map<std::pair<int, Notify>, std::vector<std::function<void()>>> handlers_;
    std::map<uint32_t, std::vector<std::function<void(uintptr_t, intptr_t)>>> messageHandlers_;
    std::vector<QButtonGroup*> radioGroups_;
    std::vector<QPointer<QWidget>> controls_;  // in template order
    // Fields and the labels whose text they carry as their name.
    std::vector<std::pair<QPointer<QWidget>, QPointer<QWidget>>> namedBy_;
    bool dying_ = false;  // the Dialog object is being deleted: its page handlers are gone
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  private:
    void CreateControls();
    QWidget* CreateControl(const ControlTemplate& control, QButtonGroup*& radioGroup);
    void Connect(QWidget* widget, const ControlTemplate& control);
    void LabelFields();
};

// The window of a dialog. It forwards Enter, Escape and closing to the dialog's commands.
class DialogWidget : public QDialog {
  public:
    DialogWidget(DialogImpl* impl, QWidget* parent, Qt::WindowFlags flags);
    void Detach() { impl_ = nullptr; }
    DialogImpl* Impl() const { return impl_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void accept() override;
    void reject() override;

  private:
    DialogImpl* impl_;
};

}  // namespace ui

namespace ui::detail {
// The dialog behind a window's owner: in this kit, every owner is a DialogImpl.
inline DialogImpl* DialogOf(WindowOwner* owner) {
    return static_cast<DialogImpl*>(owner);
}
}  // namespace ui::detail
