// The operator's language, read from the environment once per process as gettext reads it:
// LANGUAGE (a list such as "fr:de"), LC_ALL, LC_MESSAGES, LANG. Texts of a language that is not
// installed fall back to the next wanted one, and at the end to English.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/export.h"

namespace sys {

// The languages wanted, most wanted first, each as "ll_CC" then "ll" (codeset and modifier
// dropped: "de_DE.UTF-8" gives "de_DE", "de"). English ends the list: "en" stands in it for
// English as it does for any other language, and an empty list means English. The first of
// LC_ALL, LC_MESSAGES and LANG that is set is the locale; LANGUAGE, when set, overrides it, except
// that the plain locale "C" or "POSIX" means English whatever LANGUAGE says, as gettext has it.
// A C locale with a codeset ("C.UTF-8") is English too, but lets LANGUAGE count.
PLENWISE_API std::vector<std::string> WantedLanguages(
    const std::function<const char*(const char*)>& variable);

// WantedLanguages of this process's environment, read on first use.
PLENWISE_API const std::vector<std::string>& OperatorLanguages();

// Whether a wanted language is English, which needs no translation.
PLENWISE_API bool IsEnglish(const std::string& language);

}  // namespace sys
