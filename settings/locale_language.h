// The interface language a first start takes from the user's locale.
//
// With no stored "Language", the first of LC_ALL, LC_MESSAGES and LANG that
// is set and not empty decides: a value starting with "fr" gives French,
// any other value (or none at all) English. The result is not stored: the
// user's own choice in Global Preferences is what gets stored, and it wins.
#pragma once

namespace quelto {

// kLanguageEnglish or kLanguageFrench from the process environment.
int languageFromLocale();

// The same rule over given values (null or empty means unset), in the order
// LC_ALL, LC_MESSAGES, LANG.
int languageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);

}  // namespace quelto
