#include "cli/translation.h"

#include "platform/system/message_catalogue.h"

namespace cli {
namespace {

std::string Filled(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const std::size_t index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
            text += values.begin()[index];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

}  // namespace

const char* Tr(const char* english) {
    return sys::TranslatedMessage(english);
}

std::string Tr(const char* english, std::initializer_list<std::string_view> values) {
    return Filled(Tr(english), values);
}

std::string TrPlural(const char* singular, const char* plural, unsigned long count,
                     std::initializer_list<std::string_view> values) {
    return Filled(sys::TranslatedMessage(singular, plural, count), values);
}

}  // namespace cli
