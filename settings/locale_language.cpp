#include "settings/locale_language.h"

#include <cstdlib>
#include <cstring>

#include "settings/translation.h"

namespace quelto {

int languageFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (!value || !*value) continue;
    return std::strncmp(value, "fr", 2) == 0 ? kLanguageFrench : kLanguageEnglish;
  }
  return kLanguageEnglish;
}

int languageFromLocale() {
  return languageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

}  // namespace quelto
