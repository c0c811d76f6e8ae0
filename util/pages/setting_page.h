// The common shape of the pages that adjust a custom media setting (2001, 2003 to 2009): their
// buttons, title and message pane, and the header that names the setting and its media. The
// header's statics are hidden; the page draws their texts itself, greyed.
#pragma once

#include <cstdint>

#include "util/wizard_page.h"

namespace util {

class SettingPage : public WizardPage {
  public:
    // Which header statics the page has: the setting's name only, or the media's name too.
    enum class Header { None, SettingOnly, SettingAndMedia };

    SettingPage(WizardHost& host, const ui::DialogTemplate& pageTemplate, Header header);

  protected:
    // The common texts: the buttons, the header labels, the title and the message pane.
    void SetCommonTexts(int titleId, int32_t titleText, int paneId, const TextRanges& pane);
    // Each time the page is shown, after the header has its values.
    virtual void OnShown() {}

    void OnShowWindow(bool shown) override;
    void OnPaint(ui::Painter& painter) override;

  private:
    Header header_;
};

}  // namespace util
