#include "settings/locale_language.h"
#include "settings/translation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "settings/translation_table.h"
#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

class TranslationTest : public ScratchStore {
 protected:
  void TearDown() override {
    setLanguage(kLanguageFrench);
    ScratchStore::TearDown();
  }
};

// The window labels of ui/quelto.fl: `label {text}` (with backslash
// escapes) or `label word`.
std::vector<std::string> windowLabels() {
  std::ifstream in(std::string(QUELTO_SOURCE_DIR) + "/ui/quelto.fl");
  const std::string fl((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> labels;
  const std::regex label(R"(\blabel (?:\{((?:[^{}\\]|\\.)*)\}|([^\s{}]+)))");
  for (auto it = std::sregex_iterator(fl.begin(), fl.end(), label); it != std::sregex_iterator();
       ++it) {
    const std::string raw = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
    labels.push_back(std::regex_replace(raw, std::regex(R"(\\(.))"), "$1"));
  }
  return labels;
}

TEST_F(TranslationTest, EveryRowHasBothTextsAndADistinctKey) {
  std::set<std::string> keys;
  for (const TranslationRow& row : translationRows()) {
    ASSERT_NE(row.english, nullptr);
    ASSERT_NE(row.french, nullptr);
    EXPECT_STRNE(row.english, "");
    EXPECT_STRNE(row.french, "") << row.english;
    EXPECT_TRUE(keys.insert(row.english).second) << "twice: " << row.english;
    EXPECT_EQ(findTranslationRow(row.english), &row);
  }
  EXPECT_EQ(findTranslationRow("No such text"), nullptr);
  EXPECT_EQ(findTranslationRow(nullptr), nullptr);
}

TEST_F(TranslationTest, EveryWindowLabelAndEveryNamedTextHasAFrenchRow) {
  const std::vector<std::string> labels = windowLabels();
  ASSERT_GT(labels.size(), 100u) << "ui/quelto.fl not read from " << QUELTO_SOURCE_DIR;
  for (const std::string& label : labels) {
    // "@<" and "@>" are the toolkit's arrow symbols, the same in every language.
    if (label.rfind('@', 0) == 0) continue;
    EXPECT_NE(findTranslationRow(label.c_str()), nullptr) << "no row for the label " << label;
  }
  for (int i = 0; i < kTextCount; ++i) {
    const char* english = englishText(static_cast<Text>(i));
    EXPECT_NE(findTranslationRow(english), nullptr) << "no row for " << english;
  }
}

TEST_F(TranslationTest, NamedTextsFollowTheLanguage) {
  ASSERT_EQ(setLanguage(kLanguageEnglish), 0);
  EXPECT_STREQ(translate(Text::Yes), "Yes");
  EXPECT_STREQ(translate(Text::FileBelongsTo),
               "This file belongs to '%s'. To open it, supply this person's password: ");
  ASSERT_EQ(setLanguage(kLanguageFrench), 0);
  EXPECT_STREQ(translate(Text::Yes), "Oui");
  EXPECT_STREQ(translate(Text::ReceivedPreviewCapitals), "TEXTE REÇU");
  EXPECT_STREQ(translate(Text::FileBelongsTo),
               "Ce fichier appartient à '%s'. Pour l'ouvrir, entrez son mot de passe: ");
}

TEST_F(TranslationTest, TranslatesKeysInBothLanguages) {
  struct Case {
    const char* key;
    const char* english;
    const char* french;
  };
  const Case cases[] = {
      {"Quit", "Quit", "&Quitter"},
      {"&Quit", "&Quit", "&Quitter"},
      {"quit", "quit", "quit"},
      {"&quit", "&quit", "&quit"},
      {"Sound &Input Device", "Sound &Input Device", "Pér&iphérique d'entrée"},
      {"Sound &Output Device", "Sound &Output Device", "Périphérique de s&ortie"},
      {"Save As &RTF (MS Word)...", "Save As &RTF (MS Word)...",
       "Sauvegarder en format &RTF (MS Word)..."},
      {"Default", "Default", "Défaut"},
      {"Default B&&W", "Default B&&W", "N&&B par défaut"},
      {"RECEIVED TEXT", "RECEIVED TEXT", "TEXTE REÇU"},
      {"Splash Screen", "Splash Screen", "Écran de départ"},
      {"&Phonebook", "&Phonebook", "&Bottin"},
      {"Profile chooser", "Profile chooser", "Choix de profil:"},
      {"Old Password:", "Old Password:", "Ancien mot de passe:"},
      {"This file belongs to '%s'. To open it, supply this person's password: ",
       "This file belongs to '%s'. To open it, supply this person's password: ",
       "Ce fichier appartient à '%s'. Pour l'ouvrir, entrez son mot de passe: "},
      {"Sound Settings ", "Sound Settings ", "Sound Settings "},
      {"No such text", "No such text", "No such text"},
      {"", "", ""},
  };
  for (int language : {kLanguageEnglish, kLanguageFrench}) {
    ASSERT_EQ(setLanguage(language), 0);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(language) + " " + c.key);
      EXPECT_STREQ(translate(c.key), language == kLanguageEnglish ? c.english : c.french);
    }
  }
  const char* unknown = "Not in the table";
  EXPECT_EQ(translate(unknown), unknown);  // the argument itself
  EXPECT_EQ(translate(nullptr), nullptr);
}

TEST_F(TranslationTest, LanguageComesFromTheSettingThenFromTheLocale) {
  struct Case {
    const char* stored;  // nullptr: not stored
    const char* lang;    // LANG, the only locale variable set
    int language;
  };
  const Case cases[] = {
      {nullptr, "fr_FR.UTF-8", kLanguageFrench},   {nullptr, "en_US.UTF-8", kLanguageEnglish},
      {nullptr, "C", kLanguageEnglish},            {"", "fr_CA.UTF-8", kLanguageFrench},
      {"English", "fr_FR.UTF-8", kLanguageEnglish}, {"En", "C", kLanguageEnglish},
      {"english", "C", kLanguageEnglish},           {"Français", "en_GB", kLanguageFrench},
      {"Fr", "C", kLanguageFrench},                 {"Frisian", "C", kLanguageFrench},
      {"Deutsch", "fr_FR", kLanguageEnglish},       {"F", "fr_FR", kLanguageEnglish},
  };
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored ? c.stored : "(absent)") + " LANG=" + c.lang);
    deleteSettingTree("Language");
    if (c.stored) setSettingString("Language", c.stored);
    setenv("LANG", c.lang, 1);
    EXPECT_EQ(chooseLanguageFromSettings(), c.language);
    EXPECT_EQ(currentLanguage(), c.language);
  }
  // The locale's choice is not stored: only the user's own choice is.
  deleteSettingTree("Language");
  setenv("LANG", "fr_FR.UTF-8", 1);
  chooseLanguageFromSettings();
  EXPECT_EQ(getSettingString("Language", "(none)"), "(none)");
}

// The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty wins.
TEST(LocaleLanguage, FirstSetVariableDecides) {
  struct Case {
    const char *lcAll, *lcMessages, *lang;
    int language;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, kLanguageEnglish},
      {nullptr, nullptr, "fr_BE.UTF-8", kLanguageFrench},
      {"", "", "fr_FR", kLanguageFrench},
      {"C", nullptr, "fr_FR.UTF-8", kLanguageEnglish},
      {nullptr, "fr_FR.UTF-8", "en_US.UTF-8", kLanguageFrench},
      {"fr", "en_US.UTF-8", "en_US.UTF-8", kLanguageFrench},
      {"", "POSIX", "fr_FR", kLanguageEnglish},
      {nullptr, nullptr, "French", kLanguageEnglish},
  };
  for (const Case& c : cases)
    EXPECT_EQ(languageFromLocale(c.lcAll, c.lcMessages, c.lang), c.language)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
        << (c.lang ? c.lang : "-");
}

TEST_F(TranslationTest, LanguageIsChosenOnceThenKept) {
  ASSERT_EQ(setLanguage(kLanguageEnglish), 0);
  setSettingString("Language", "Français");
  EXPECT_EQ(currentLanguage(), kLanguageEnglish);
  EXPECT_STREQ(translate("&Quit"), "&Quit");
}

TEST_F(TranslationTest, LanguageNamesAndSetters) {
  EXPECT_EQ(languageCount(), 2);
  EXPECT_STREQ(languageName(0), "English");
  EXPECT_STREQ(languageName(1), "Français");
  EXPECT_STREQ(languageName(5), "Français");
  EXPECT_STREQ(languageName(-1), "Français");
  EXPECT_EQ(setLanguage(0), 0);
  EXPECT_EQ(setLanguage(2), -1);
  EXPECT_EQ(setLanguage(-1), -1);
  EXPECT_EQ(currentLanguage(), 0);
  EXPECT_EQ(setLanguageByName("Fr"), 0);
  EXPECT_EQ(currentLanguage(), 1);
  EXPECT_EQ(setLanguageByName("english"), -1);
  EXPECT_EQ(currentLanguage(), 1);
}

TEST_F(TranslationTest, DatesInBothLanguages) {
  setenv("TZ", "UTC", 1);
  tzset();
  const std::time_t when = 1796817600;  // Wednesday 9 December 2026, 12:00:00 UTC
  setLanguage(kLanguageEnglish);
  EXPECT_EQ(formatDate(when, false), "Wednesday 09 December 2026");
  EXPECT_EQ(formatDate(when, true), "Wednesday 09 December 2026, 12:00:00");
  setLanguage(kLanguageFrench);
  const locale_t french = newlocale(LC_TIME_MASK, "fr_FR.UTF-8", static_cast<locale_t>(0));
  if (french == static_cast<locale_t>(0)) {
    GTEST_SKIP() << "no French locale on this machine (scripts/install-deps generates fr_FR.UTF-8)";
  }
  freelocale(french);
  EXPECT_EQ(formatDate(when, false), "mercredi 09 décembre 2026");
  EXPECT_EQ(formatDate(when, true), "mercredi 09 décembre 2026, 12:00:00");
  EXPECT_FALSE(formatCurrentDate(false).empty());
}

}  // namespace
}  // namespace quelto
