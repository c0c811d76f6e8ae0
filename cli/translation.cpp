#include "cli/translation.h"

#include "platform/system/message_catalogue.h"

namespace cli {

const char* Tr(const char* english) {
    return sys::TranslatedMessage(english);
}

std::string Tr(const char* english, std::initializer_list<std::string_view> values) {
    return sys::TranslatedMessage(english, values);
}

std::string TrPlural(const char* singular, const char* plural, unsigned long count,
                     std::initializer_list<std::string_view> values) {
    return sys::TranslatedMessage(singular, plural, count, values);
}

}  // namespace cli
