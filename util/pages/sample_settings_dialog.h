// The sample print settings dialog (2002), opened by the media page: one sample per ticked media
// type, to compare media types on paper. It stays open after printing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"

namespace util {

class WizardHost;

class SampleSettingsDialog : public ui::Dialog {
  public:
    SampleSettingsDialog(WizardHost& host, std::string imagePath);

  protected:
    bool OnInitDialog() override;
    // OK prints; the dialog stays.
    void OnOK() override;

  private:
    void EnablePrint();

    WizardHost& host_;
    std::string imagePath_;
    std::vector<uint32_t> mediaIds_;  // by list entry
};

}  // namespace util
