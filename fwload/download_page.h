// The firmware page: choose a file, compare its version with the printer's, download it.
#pragma once

#include <string>

#include "fwload/firmware_file.h"
#include "platform/ui/dialog.h"

namespace fwload {

class DownloadPage : public ui::Dialog {
  public:
    DownloadPage();

    const std::string& FirmwarePath() const { return firmwarePath_; }
    const FirmwareVersion& PrinterVersion() const { return printerVersion_; }
    const FirmwareVersion& FileVersion() const { return fileVersion_; }

  protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

  private:
    void OnRefer();
    void OnCheckVersion();
    void OnDownload();
    void OnNext();
    void OnExit();

    std::string firmwarePath_;
    FirmwareVersion printerVersion_{};
    FirmwareVersion fileVersion_{};
};

}  // namespace fwload
