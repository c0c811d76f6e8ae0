// Messages of the program's own code in the operator's language, from the gettext catalogue
// "plenwise" (po/<language>.po compiled into <language>/LC_MESSAGES/plenwise.mo). The modules'
// texts come from their data files instead. TR_NOOP marks an English message for xgettext
// where it is kept in a table and translated when shown.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/export.h"

#define TR_NOOP(english) english

namespace sys {

// Binds the catalogue, once at the start of the process: from locale/ beside the program (the
// build tree), else from the installation's share/locale, in the languages OperatorLanguages()
// wants. Until then every message is English.
PLENWISE_API void UseMessageCatalogue(const std::string& programDirectory);
// The language of the catalogue in use ("de"); "" for English, also before UseMessageCatalogue.
PLENWISE_API const std::string& MessageCatalogueLanguage();

// The translation of an English message; the English itself when the catalogue lacks it.
PLENWISE_API const char* TranslatedMessage(const char* english);
// The same for a message about `count` things, in the plural form the language uses for it.
PLENWISE_API const char* TranslatedMessage(const char* singular, const char* plural,
                                           unsigned long count);
// The translation with "%1", "%2", ... replaced by the values in order, so that a language may
// put them where its sentence wants them.
PLENWISE_API std::string TranslatedMessage(const char* english,
                                           std::initializer_list<std::string_view> values);
PLENWISE_API std::string TranslatedMessage(const char* singular, const char* plural,
                                           unsigned long count,
                                           std::initializer_list<std::string_view> values);

}  // namespace sys
