#include "settings/translation.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <string_view>
#include <unordered_map>

#include "settings/settings_store.h"
#include "settings/translation_table.h"
#include "text/text_encoding.h"

namespace quelto {
namespace {

constexpr const char* kLanguageNames[] = {"English", "Français"};
constexpr int kLanguageCount = 2;

// -1 until the first call chooses it; a constant initialiser, so it is in
// place before any static initialisation runs.
int gLanguage = -1;

using TextMap = std::unordered_map<std::string_view, const char*>;

TextMap buildMap(const std::array<TranslationEntry, kTranslationEntryCount>& entries) {
  TextMap map;
  map.reserve(entries.size());
  for (const TranslationEntry& entry : entries) map.emplace(entry.key, entry.text);
  return map;
}

const TextMap& mapOf(int language) {
  static const TextMap english = buildMap(kEnglishTexts);
  static const TextMap french = buildMap(kFrenchTexts);
  return language == kLanguageFrench ? french : english;
}

// The time locale for French dates, looked up once: the first of these that
// the system has, or none.
locale_t frenchTimeLocale() {
  static const locale_t locale = [] {
    for (const char* name : {"fr_FR.UTF-8", "fr_FR", "French"}) {
      locale_t found = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name, static_cast<locale_t>(0));
      if (found) return found;
    }
    return static_cast<locale_t>(0);
  }();
  return locale;
}

locale_t cTimeLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

bool isUtf8(locale_t locale) {
  const char* codeset = nl_langinfo_l(CODESET, locale);
  return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

}  // namespace

const char* translate(const char* english) {
  if (!english) return english;
  const TextMap& map = mapOf(currentLanguage());
  const auto found = map.find(english);
  return found == map.end() ? english : found->second;
}

int currentLanguage() {
  if (gLanguage < 0) chooseLanguageFromSettings();
  return gLanguage;
}

int chooseLanguageFromSettings() {
  if (setLanguageByName(getSettingString("Language", "Fr")) != 0) gLanguage = kLanguageEnglish;
  return gLanguage;
}

int setLanguage(int index) {
  if (index < 0 || index >= kLanguageCount) return -1;
  gLanguage = index;
  return 0;
}

int setLanguageByName(const std::string& name) {
  for (int i = 0; i < kLanguageCount; ++i) {
    if (std::strncmp(kLanguageNames[i], name.c_str(), 2) == 0) {
      gLanguage = i;
      return 0;
    }
  }
  return -1;
}

const char* languageName(int index) {
  if (index < 0 || index >= kLanguageCount) index = kLanguageCount > 1 ? 1 : 0;
  return kLanguageNames[index];
}

int languageCount() {
  return kLanguageCount;
}

std::string formatDate(std::time_t when, bool withTime) {
  std::tm local{};
  if (!localtime_r(&when, &local)) return std::string();
  locale_t locale = cTimeLocale();
  if (currentLanguage() == kLanguageFrench && frenchTimeLocale()) locale = frenchTimeLocale();
  char text[128];
  const std::size_t length = strftime_l(
      text, sizeof text, withTime ? "%A %d %B %Y, %H:%M:%S" : "%A %d %B %Y", &local, locale);
  const std::string result(text, length);
  // A French locale in Latin-1 (plain "fr_FR") gives single-byte accents.
  return isUtf8(locale) ? result : cp1252ToUtf8(result);
}

std::string formatCurrentDate(bool withTime) {
  return formatDate(std::time(nullptr), withTime);
}

const MessageTexts& messageTexts() {
  static const MessageTexts texts{
      translate(
          "For the changes to take effect, you have to restart the application. Restart it now?"),
      translate("Yes"),
      translate("No"),
      translate("Cancel"),
      translate("You must supply a name!"),
      translate("The supplied password is too long"),
      translate("Passwords don't match !"),
      translate("The program could not be restarted !"),
      translate("Number to dial?"),
      translate("Soundcard problem..."),
      translate("Could not open soundcard !"),
      translate("Save to RTF..."),
      translate("RTF Files"),
      translate("Save as"),
      translate("Load"),
      translate("Quelto Files"),
      translate("Enter Password"),
      translate("You cannot delete the current profile!"),
      translate("You cannot delete the default profile!"),
      translate("This file belongs to '%s'. To open it, supply this person's password: "),
      translate("Sent text font"),
      translate("SENT TEXT FONT"),
      translate("Received text font"),
      translate("RECEIVED TEXT FONT"),
      translate("Received Call"),
      translate("Placed Call"),
      translate("Printed by"),
      translate("Name of contact?"),
      translate("New name of contact?"),
      translate("Wrong password!"),
      translate("The file could not be written!"),
      translate(
          "The text in the conversation has not been saved. Do you want to save the changes?"),
  };
  return texts;
}

}  // namespace quelto
