// Typed access to the controls of a dialog, reached by their window handle. Every call on a
// handle that is not a control of that kind fails harmlessly (-1, false or "").
#pragma once

#include <cstdint>
#include <string>

#include "platform/export.h"
#include "platform/ui/window.h"

namespace ui {

class PLENWISE_API Control {
  public:
    explicit Control(WindowHandle handle) : handle_(handle) {}
    WindowHandle Handle() const { return handle_; }

  protected:
    WindowHandle handle_;
};

class PLENWISE_API ComboBox : public Control {
  public:
    using Control::Control;
    int AddString(const std::string& text);  // index of the new entry, -1 on failure
    int Count() const;
    void ResetContent();
    bool SetItemData(int index, uintptr_t data);
    uintptr_t GetItemData(int index) const;  // 0 for an index out of range
    int GetCurSel() const;                   // -1 when nothing is selected
    bool SetCurSel(int index);               // -1 clears the selection
    std::string GetItemText(int index) const;
    std::string GetText() const;  // the selected entry's text, "" when none
};

class PLENWISE_API Button : public Control {
  public:
    using Control::Control;
    bool IsChecked() const;
    void SetChecked(bool checked);
    void Click();  // as if the operator pressed it
};

class PLENWISE_API Edit : public Control {
  public:
    using Control::Control;
    void SetLimit(int characters);
    // Selects the whole text, as a click into a field about to be retyped does.
    void SelectAll();
    // The selected part of the text, "" when none.
    std::string SelectedText() const;
};

class PLENWISE_API Trackbar : public Control {
  public:
    using Control::Control;
    void SetRange(int minimum, int maximum);
    void SetPos(int position);
    int GetPos() const;
    void SetTicFrequency(int frequency);
    void SetPageSize(int size);
};

class PLENWISE_API ProgressBar : public Control {
  public:
    using Control::Control;
    void SetRange(int minimum, int maximum);
    void SetPos(int position);
    int GetPos() const;
};

class PLENWISE_API CheckList : public Control {
  public:
    using Control::Control;
    int AddString(const std::string& text);
    int Count() const;
    void ResetContent();
    bool IsChecked(int index) const;
    void SetChecked(int index, bool checked);
    int GetCurSel() const;
    bool SetCurSel(int index);
    std::string GetItemText(int index) const;
};

}  // namespace ui
