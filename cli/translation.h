// plenwise-cli's own messages in the operator's language (platform/system/message_catalogue.h).
// Messages are marked for xgettext (scripts/update-po.sh) with Tr() and TrPlural(), or with
// TR_NOOP where the English is kept in a table and translated when shown.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/system/message_catalogue.h"

namespace cli {

// The translation of an English message; the English itself when the catalogue lacks it.
const char* Tr(const char* english);
// The translation with "%1", "%2", ... replaced by the values in order.
std::string Tr(const char* english, std::initializer_list<std::string_view> values);
// The same for a message about `count` things, in the plural form the language uses for it.
std::string TrPlural(const char* singular, const char* plural, unsigned long count,
                     std::initializer_list<std::string_view> values);

}  // namespace cli
