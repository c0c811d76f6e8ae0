// A sample of the custom media setting being edited, as the feeding and density pages print it:
// its media, the wizard's print mode and the working copy's values, one of them replaced by the
// value being tried.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "util/sample/sample_print.h"

namespace util {

class WizardHost;

// Places in the sample's media values.
inline constexpr size_t kSampleDensity = 0;
inline constexpr size_t kSampleForward = 1;

// The value tried stands at `place` of the media values (as a signed byte) and in the caption:
// the text of that number, three blanks and the value.
SampleJob SettingSample(WizardHost& host, const std::string& imagePath, int paperWidthInches,
                        int32_t captionText, size_t place, int value);

}  // namespace util
