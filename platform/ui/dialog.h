// Dialogs built from templates: controls by identifier, handlers bound by identifier and
// notification, posted messages, modal and modeless use. The templates are plain data in
// dialog units so that every module describes its pages without knowing the toolkit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/export.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace ui {

enum class ControlKind {
    Static,  // text label
    Icon,    // static picture showing the dialog's icon
    PushButton,
    CheckBox,
    RadioButton,
    DropDownList,  // combo box that only offers its entries, with item data
    Edit,          // single line
    MultiLineEdit,
    Trackbar,
    ProgressBar,
    CheckList,  // list with a tick box per entry
    GroupBox,
};

// Control and dialog style flags.
namespace style {
inline constexpr uint32_t kHidden = 1u << 0;
inline constexpr uint32_t kDisabled = 1u << 1;
inline constexpr uint32_t kNoTabStop = 1u << 2;  // left out of Tab navigation
inline constexpr uint32_t kGroup = 1u << 3;
inline constexpr uint32_t kDefault = 1u << 4;     // default push button
inline constexpr uint32_t kDigitsOnly = 1u << 5;  // edit accepts digits only
inline constexpr uint32_t kReadOnly = 1u << 6;
inline constexpr uint32_t kVScroll = 1u << 7;
inline constexpr uint32_t kAutoHScroll = 1u << 8;
inline constexpr uint32_t kBorder = 1u << 9;
inline constexpr uint32_t kCenter = 1u << 10;    // centred static text
inline constexpr uint32_t kRight = 1u << 11;     // right-aligned static text
inline constexpr uint32_t kVertical = 1u << 12;  // trackbar or progress bar standing upright
inline constexpr uint32_t kTicks = 1u << 13;     // trackbar with tick marks
// The page's heading: its text is the page's name for assistive technology.
inline constexpr uint32_t kHeading = 1u << 14;
// The explanation below a page's controls; a page without a heading is named by its first line.
inline constexpr uint32_t kMessagePane = 1u << 15;
inline constexpr uint32_t kCancel = 1u << 16;  // the push button that Escape presses
}  // namespace style

// A field (edit, list, trackbar, progress bar) is labelled by the static that comes right before
// it in the template, as a label precedes its field in tab order; an edit that directly follows
// a trackbar (its value beside it) is named by the trackbar's label.
struct ControlTemplate {
    ControlKind kind;
    int id;                   // -1 for controls that are never addressed
    int x, y, width, height;  // dialog units
    uint32_t styles = 0;
    int textLimit = 0;   // edits: maximum characters, 0 for no limit
    std::string text{};  // the text the control is made with; most controls get theirs later
};

enum class DialogKind {
    Child,        // page inside another window: no caption, no border
    Popup,        // modal box with a thin border and no caption bar
    CaptionBox,   // box with a caption bar (its window text) and no system menu
    NoticePopup,  // small tool window without caption, thin border, not on the task bar
    Main,         // caption, system menu, modal frame, shown on the task bar
};

struct DialogTemplate {
    int id;
    DialogKind kind;
    int width, height;  // dialog units
    std::vector<ControlTemplate> controls;
    std::string fontFace =
        "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";
    int fontPoints = 9;
};

enum class Notify {
    Clicked,
    DoubleClicked,
    SelectionChanged,
    Changed,  // edit text changed, by the operator or by the program
    FocusGained,
    FocusLost,
    Scrolled,         // trackbar position moved
    ReleasedCapture,  // trackbar released by the mouse
    CheckChanged,     // check list entry ticked or cleared
};

struct KeyInput {
    int virtualKey;  // 9 Tab, 13 Enter, 27 Escape, other keys their Windows virtual-key codes
    bool shift;
    WindowHandle target;
};

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

class DialogImpl;

class PLENWISE_API Dialog {
  public:
    explicit Dialog(DialogTemplate dialogTemplate);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window as a hidden modeless dialog; OnInitDialog runs inside. False when the
    // window could not be made or OnInitDialog destroyed it.
    bool Create(WindowHandle parent);
    // Runs the dialog modally and returns the value given to EndDialog.
    intptr_t DoModal(WindowHandle owner = nullptr);
    void EndDialog(intptr_t result);
    // Whether EndDialog was called since the window was made (a modal loop then ends at once).
    bool HasEnded() const;
    bool DestroyWindow();

    WindowHandle Handle() const;  // nullptr while the window does not exist
    int TemplateId() const;
    WindowHandle Item(int id) const;
    void SetItemText(int id, const std::string& text);
    std::string GetItemText(int id) const;

    // Handlers run on the one UI thread; the dialog must outlive the bindings (they go with it).
    void Bind(int controlId, Notify notification, std::function<void()> handler);
    void BindMessage(uint32_t message,
                     std::function<void(uintptr_t wParam, intptr_t lParam)> handler);

    // System menu: an entry with a command identifier (after an optional separator).
    void AppendSystemMenu(uint32_t commandId, const std::string& text, bool separatorFirst);
    // The window's big icon, from an image in XPM form.
    void SetIcon(const char* const* xpm);
    // Resizes the window so that its client area is width x height pixels, keeping position.
    void SetClientSize(int width, int height);
    void ClientSize(int& width, int& height) const;
    void WindowSize(int& width, int& height) const;

    // A control's window rectangle in this dialog's client pixels (empty for an unknown id).
    Rect ItemRect(int id) const;
    // Asks for the dialog's surface to be painted again (OnPaint runs from the loop).
    void Invalidate();
    // Mouse moves and the release reach this dialog wherever the mouse goes, until released.
    void SetCapture();
    void ReleaseCapture();

  protected:
    virtual bool OnInitDialog() { return true; }
    // The window was shown or hidden (by any show command, or with its parent).
    virtual void OnShowWindow(bool shown) { (void)shown; }
    // The dialog's own surface is painted, beneath its controls.
    virtual void OnPaint(Painter& painter) { (void)painter; }
    // The left mouse button and moves on the dialog's own surface, in client pixels.
    virtual void OnMouse(MouseAction action, Point point) {
        (void)action;
        (void)point;
    }
    // Enter with no focused push button, and Escape or closing: modal dialogs end with kIdOk or
    // kIdCancel; modeless ones do nothing unless a page says otherwise.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnDestroy() {}
    // Default handling: kScClose closes the window as Escape would; other commands do nothing.
    virtual void OnSysCommand(uint32_t commandId);
    // Keys aimed at this dialog or anything inside it, before they are dispatched; true swallows
    // the key. The innermost dialog is asked first.
    virtual bool PreTranslateKey(const KeyInput& key) {
        (void)key;
        return false;
    }
    // The platform's dialog navigation for a key inside this dialog: Tab and Shift+Tab move among
    // its tab stops; Enter presses a focused push button, else the default button, else calls
    // OnOK; Escape presses the cancel button, else calls OnCancel. Returns true when it handled
    // the key.
    bool NavigateDialog(const KeyInput& key);

  private:
    friend class DialogImpl;
    std::unique_ptr<DialogImpl> impl_;
};

// The system-menu entries a window carries, in order (separators have command 0).
struct SystemMenuEntry {
    uint32_t commandId;
    std::string text;
};
PLENWISE_API std::vector<SystemMenuEntry> SystemMenuEntries(WindowHandle window);
// Chooses a system-menu command as the operator would.
PLENWISE_API bool SendSystemCommand(WindowHandle window, uint32_t commandId);
inline constexpr uint32_t kScClose = 0xF060;

// The dialog navigation of a dialog window (see Dialog::NavigateDialog), for a key that its
// parent window handles; false for other windows.
PLENWISE_API bool NavigateDialog(WindowHandle dialog, const KeyInput& key);

// What assistive technology calls a message pane.
inline constexpr const char* kMessagePaneName = "Explanation";

// The template number of a dialog window, -1 for other windows.
PLENWISE_API int DialogTemplateId(WindowHandle window);

}  // namespace ui
