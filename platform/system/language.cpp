#include "platform/system/language.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace sys {
namespace {

// "ll_CC.codeset@modifier" without codeset and modifier.
std::string_view LanguageOf(std::string_view locale) {
    return locale.substr(0, locale.find_first_of(".@"));
}

// The C locale, with or without a codeset ("C.UTF-8"), speaks English.
bool IsCLocale(std::string_view locale) {
    const std::string_view name = LanguageOf(locale);
    return name == "C" || name == "POSIX";
}

}  // namespace

bool IsEnglish(const std::string& language) {
    return language == "en" || language.starts_with("en_");
}

std::vector<std::string> WantedLanguages(const std::function<const char*(const char*)>& variable) {
    auto value = [&](const char* name) {
        const char* text = variable(name);
        return std::string_view(text == nullptr ? "" : text);
    };
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!(locale = value(name)).empty()) {
            break;
        }
    }
    // As gettext does, LANGUAGE counts unless the locale is the plain C locale: a script that
    // sets LC_ALL=C gets English whatever the desktop's LANGUAGE says.
    if (locale == "C" || locale == "POSIX") {
        return {};
    }
    std::string_view list = value("LANGUAGE");
    if (list.empty()) {
        list = locale;
    }
    std::vector<std::string> wanted;
    auto add = [&](std::string_view language) {
        if (!language.empty() &&
            std::find(wanted.begin(), wanted.end(), language) == wanted.end()) {
            wanted.emplace_back(language);
        }
    };
    while (!list.empty()) {
        const std::size_t colon = std::min(list.find(':'), list.size());
        const std::string_view entry = LanguageOf(list.substr(0, colon));
        list.remove_prefix(std::min(colon + 1, list.size()));
        if (IsCLocale(entry) || entry.empty()) {
            continue;
        }
        add(entry);
        add(entry.substr(0, entry.find('_')));
        if (IsEnglish(wanted.back())) {
            break;  // what follows is never reached: English is always there
        }
    }
    return wanted;
}

const std::vector<std::string>& OperatorLanguages() {
    static const std::vector<std::string> languages =
        WantedLanguages([](const char* name) { return std::getenv(name); });
    return languages;
}

}  // namespace sys
