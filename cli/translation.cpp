#include "cli/translation.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/system/language.h"

namespace cli {
namespace {

constexpr const char* kDomain = "plenwise";

}  // namespace

void UseOperatorLanguage(const std::string& programDirectory) {
    const std::vector<std::string>& languages = sys::OperatorLanguages();
    if (languages.empty() || sys::IsEnglish(languages.front())) {
        return;
    }
    // gettext reads LANGUAGE only when the messages locale is not "C"; the wanted language
    // rarely has its locale installed, so C.UTF-8 stands in. Only LC_MESSAGES changes: numbers
    // and dates in the output stay as scripts read them.
    std::string list;
    for (const std::string& language : languages) {
        list += (list.empty() ? "" : ":") + language;
    }
    setenv("LANGUAGE", list.c_str(), 1);
    const char* locale = std::setlocale(LC_MESSAGES, "");
    if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0) {
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
    std::error_code failed;
    std::string folder = programDirectory + "locale";
    if (!std::filesystem::is_directory(folder, failed)) {
        folder = programDirectory + "../../share/locale";  // <prefix>/lib/plenwise/ installed
    }
    bindtextdomain(kDomain, folder.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");  // whatever the terminal's locale says
    textdomain(kDomain);
}

const char* Tr(const char* english) {
    return dgettext(kDomain, english);
}

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

std::string Tr(const char* english, std::initializer_list<std::string_view> values) {
    return Filled(Tr(english), values);
}

std::string TrPlural(const char* singular, const char* plural, unsigned long count,
                     std::initializer_list<std::string_view> values) {
    return Filled(dngettext(kDomain, singular, plural, count), values);
}

}  // namespace cli
