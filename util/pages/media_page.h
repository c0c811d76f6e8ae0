// The media page (2001): the driver media type a setting is based on and the paper thickness.
// Choosing a media type loads the driver's own record for it; its sample print compares media
// types on paper (dialog 2002).
#pragma once

#include "util/pages/sample_image_choice.h"
#include "util/pages/setting_page.h"

namespace util {

class MediaPage : public SettingPage {
  public:
    explicit MediaPage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;
    void BeforeLeaving(Leaving how) override;

  private:
    void OnMediaChanged();
    void OnThicknessChanged();
    void OnThicknessLeft();
    void OnSamplePrint();
    void ShowThickness(int value);

    SampleImageChoice imageChoice_;
    int lastThickness_ = 0;
};

}  // namespace util
