// What every page of a media-settings module shares: its host, the common buttons' texts, and
// the two moments at which the host exchanges enable flags with the pages that choose slots.
#pragma once

#include "common/page_frame.h"
#include "platform/ui/dialog.h"
#include "util/variant.h"

namespace util {

class WizardHost;

class WizardPage : public ui::Dialog {
  public:
    WizardPage(WizardHost& host, const ui::DialogTemplate& pageTemplate);

    enum class Leaving { Back, Next, Exit };

    // Right after the host made the page: a page that chooses slots shows their flags.
    virtual void ShowChoices(const PageFrame& frame) { (void)frame; }
    // On Next, before the host steps on: the page's choices become the slots' flags.
    virtual void TakeChoices(PageFrame& frame) { (void)frame; }

  protected:
    // Runs when the operator presses Back, Next or Exit, before the host's step: a page stores
    // or sends what it must first. The hidden Top button does nothing.
    virtual void BeforeLeaving(Leaving how) { (void)how; }

    // Next, Back and Exit get their texts (100, 101, 102).
    void SetButtonTexts();
    void SetPane(int paneId, const TextRanges& texts);
    void SetTexts(std::initializer_list<std::pair<int, int32_t>> controlTexts);

    WizardHost& host_;
};

}  // namespace util
