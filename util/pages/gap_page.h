// A gap page (3002), one per pattern code: the operator enters a value per ink row, prints the
// test pattern with them, and registers the best ones in the printer.
#pragma once

#include "common/service_log.h"
#include "util/settings/head_gap.h"
#include "util/variant.h"
#include "util/wizard_page.h"

namespace util {

class GapPage : public WizardPage {
  public:
    GapPage(WizardHost& host, int patternCode);

    int PatternCode() const { return pattern_.code; }
    // The last accepted value of each value edit.
    const GapValues& StoredValues() const { return stored_; }

  protected:
    bool OnInitDialog() override;
    void OnPaint(ui::Painter& painter) override;
    void BeforeLeaving(Leaving how) override;

  private:
    void OnValueChanged();
    void OnValueLeft();
    void OnPrintPattern();
    void OnRegister();
    // The values as the edits hold them now, and the platen gap selection (kNoPlatenGap when
    // none): what a block is made of.
    GapValues EditValues() const;
    int PlatenGap() const;
    ByteBlock Block(HeadGapBlockKind kind) const;
    // What the service log records of a registration: the pattern code, the platen gap
    // selection and the seven values in edit order.
    ServiceDetails LogDetails() const;
    bool Send(const ByteBlock& block) const;
    void ResetValues();

    GapPattern pattern_;
    GapValues stored_{};
};

}  // namespace util
