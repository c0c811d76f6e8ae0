// The image a sample page prints: the standard sample bitmap beside the module, or a bitmap of
// the operator's (controls 2095 to 2098), remembered per page under the user's registry key.
// Where the module offers no choice, every sample uses the standard image.
#pragma once

#include <string>

#include "platform/ui/dialog.h"

namespace util {

class WizardHost;

class SampleImageChoice {
  public:
    // The page's two registry values: the checked radio button and the user bitmap's path.
    SampleImageChoice(ui::Dialog& page, WizardHost& host, std::string choiceValue,
                      std::string pathValue);

    // At page creation: the remembered radio button is checked.
    void Create();
    // Each time the page is shown: the remembered user bitmap becomes the wizard's.
    void Shown();
    // The image of a sample print, after the operator was told why there is none; the choice is
    // remembered once an image was chosen. An empty path when neither button is checked.
    bool Choose(std::string& imagePath);

  private:
    void EnableUserBitmapControls();
    void OnBrowse();
    void ShowFileName(const std::string& path);
    bool Offered() const;

    ui::Dialog& page_;
    WizardHost& host_;
    std::string choiceValue_;
    std::string pathValue_;
};

}  // namespace util
