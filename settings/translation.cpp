#include "settings/translation.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <iterator>

#include "settings/global_settings.h"
#include "settings/locale_language.h"
#include "settings/translation_table.h"
#include "text/text_encoding.h"

namespace quelto {
namespace {

constexpr const char* kLanguageNames[] = {"English", "Français"};
constexpr int kLanguageCount = 2;

// -1 until the first call chooses it.
int gLanguage = -1;

// The English key of each Text, in the order of the enum.
constexpr const char* kTextKeys[] = {
    "Quelto",
    "Default",
    "Not Programmed",
    "Yes",
    "No",
    "Cancel",
    "For the changes to take effect, you have to restart the application. Restart it now?",
    "The program could not be restarted !",
    "You must supply a name!",
    "The supplied password is too long",
    "Passwords don't match !",
    "Wrong password!",
    "Enter Password",
    "You cannot delete the current profile!",
    "You cannot delete the default profile!",
    "This file belongs to '%s'. To open it, supply this person's password: ",
    "Number to dial?",
    "Name of contact?",
    "New name of contact?",
    "Soundcard problem...",
    "Could not open soundcard !",
    "Sound device not found: %s",
    "Dial tone",
    "Ringing...",
    "Busy",
    "Reorder",
    "Voice on the line",
    "Text not sent",
    "Dialling stopped: a key could not be played",
    "Load",
    "Save as",
    "Quelto Files",
    "Save to RTF...",
    "RTF Files",
    "The file could not be written!",
    "The text in the conversation has not been saved. Do you want to save the changes?",
    "The file could not be opened!",
    "The file is larger than 64 MB and cannot be opened!",
    "This is not a Quelto conversation file!",
    "The file is damaged and cannot be opened!",
    "The file has too many lines to be opened!",
    "There is not enough memory to open the file!",
    "Quelto did not close normally. Restore the conversation that was in progress?",
    "sent text",
    "SENT TEXT",
    "received text",
    "RECEIVED TEXT",
    "Sent text font",
    "SENT TEXT FONT",
    "Received text font",
    "RECEIVED TEXT FONT",
    "Received Call",
    "Placed Call",
    "Printed by",
    "The margins leave no room to print on the page!",
    "The input device is not set in the preferences",
    "There are %d input devices on this computer.\nBetter choose the one Quelto is connected to.",
    "The input device is: ",
    // One text split over two lines.
    ("The chosen device seems to be a digital one and may not work with Quelto.\nIf you receive "
     "no text from the other party, choose another device in the Global Preferences."),
    "The output device is not set in the preferences",
    "There are %d output devices on this computer.\nBetter choose the one Quelto is connected to.",
    "The output device is: ",
    "This device cannot be found: the default device takes its place.",
};
static_assert(std::size(kTextKeys) == kTextCount, "one key per Text");

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
  if (currentLanguage() != kLanguageFrench) return english;
  const TranslationRow* row = findTranslationRow(english);
  return row ? row->french : english;
}

const char* englishText(Text text) {
  return kTextKeys[static_cast<int>(text)];
}

const char* translate(Text text) {
  return translate(englishText(text));
}

int currentLanguage() {
  if (gLanguage < 0) chooseLanguageFromSettings();
  return gLanguage;
}

int chooseLanguageFromSettings() {
  const std::string stored = readSetting(setting::kLanguage);
  if (stored.empty())
    gLanguage = languageFromLocale();
  else if (setLanguageByName(stored) != 0)
    gLanguage = kLanguageEnglish;
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

}  // namespace quelto
