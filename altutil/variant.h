// The second printer family's media-settings module.
#pragma once

#include "util/variant.h"

namespace altutil {

const util::Variant& AltUtilVariant();

}  // namespace altutil
