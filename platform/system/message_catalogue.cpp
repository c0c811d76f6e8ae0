#include "platform/system/message_catalogue.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/system/language.h"

namespace sys {
namespace {

constexpr const char* kDomain = "plenwise";

std::string& Language() {
    static std::string language;
    return language;
}

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

void UseMessageCatalogue(const std::string& programDirectory) {
    std::error_code failed;
    std::string folder = programDirectory + "locale";
    if (!std::filesystem::is_directory(folder, failed)) {
        folder = programDirectory + "../../share/locale";  // <prefix>/lib/plenwise/ installed
    }
    // The first wanted language that has a catalogue; English when none before English has.
    for (const std::string& language : OperatorLanguages()) {
        if (IsEnglish(language)) {
            return;
        }
        if (std::filesystem::is_regular_file(
                folder + "/" + language + "/LC_MESSAGES/" + kDomain + ".mo", failed)) {
            Language() = language;
            break;
        }
    }
    if (Language().empty()) {
        return;
    }
    // gettext reads LANGUAGE only when the messages locale is not "C"; the wanted language
    // rarely has its locale installed, so C.UTF-8 stands in. Only LC_MESSAGES changes: numbers
    // and dates in the output stay as scripts read them.
    setenv("LANGUAGE", Language().c_str(), 1);
    const char* locale = std::setlocale(LC_MESSAGES, "");
    if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0) {
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
    bindtextdomain(kDomain, folder.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");  // whatever the terminal's locale says
    textdomain(kDomain);
}

const std::string& MessageCatalogueLanguage() {
    return Language();
}

const char* TranslatedMessage(const char* english) {
    return dgettext(kDomain, english);
}

const char* TranslatedMessage(const char* singular, const char* plural, unsigned long count) {
    return dngettext(kDomain, singular, plural, count);
}

std::string TranslatedMessage(const char* english, std::initializer_list<std::string_view> values) {
    return Filled(TranslatedMessage(english), values);
}

std::string TranslatedMessage(const char* singular, const char* plural, unsigned long count,
                              std::initializer_list<std::string_view> values) {
    return Filled(TranslatedMessage(singular, plural, count), values);
}

}  // namespace sys
