#include "util/pages/setting_sample.h"

#include "util/wizard_host.h"

namespace util {

static_assert(MediaWorkingCopy::kDensityOffset + kSampleForward ==
              MediaWorkingCopy::kForwardOffset);

SampleJob SettingSample(WizardHost& host, const std::string& imagePath, int paperWidthInches,
                        int32_t captionText, size_t place, int value) {
    const UserSettings& settings = host.Settings();
    SampleJob job;
    job.imagePath = imagePath;
    job.caption = host.GetText(captionText) + "   " + std::to_string(value);
    job.paperWidthInches = paperWidthInches;
    job.mediaId = settings.record.MediaId();
    job.printModeIndex = host.PrintMode();
    job.mediaValues = SampleMediaValues(settings.working, settings.record);
    job.mediaValues->at(place) = static_cast<uint8_t>(static_cast<int8_t>(value));
    return job;
}

}  // namespace util
