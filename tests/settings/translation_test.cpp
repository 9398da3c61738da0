#include "settings/translation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

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

TEST_F(TranslationTest, TableHas205DistinctEntriesPerLanguageWithTheTwoEnglishExceptions) {
  for (const auto* table : {&kEnglishTexts, &kFrenchTexts}) {
    std::set<std::string> keys;
    for (const TranslationEntry& e : *table) keys.insert(e.key);
    EXPECT_EQ(keys.size(), 205u);
  }
  int differences = 0;
  for (std::size_t i = 0; i < kTranslationEntryCount; ++i) {
    const TranslationEntry& en = kEnglishTexts[i];
    if (std::strcmp(en.key, kFrenchTexts[i].key) != 0) {
      ++differences;
      EXPECT_STREQ(en.key, "&Sound Input Device");
      EXPECT_STREQ(kFrenchTexts[i].key, "Sound &Input Device");
    }
    if (std::strcmp(en.key, en.text) != 0) {
      ++differences;
      EXPECT_STREQ(en.key, "To &RTF (MS Word)...");
      EXPECT_STREQ(en.text, "Save As &RTF (MS Word)...");
    }
  }
  EXPECT_EQ(differences, 2);
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
      {"Sound &Input Device", "Sound &Input Device", "Per&iphérique d'entrée"},
      {"&Sound Input Device", "&Sound Input Device", "&Sound Input Device"},
      {"Sound &Output Device", "Sound &Output Device", "Periphérique de s&ortie"},
      {"To &RTF (MS Word)...", "Save As &RTF (MS Word)...",
       "Sauvegarder en format &RTF (MS Word)..."},
      {"Default", "Default", "Defaut"},
      {"Default B&&W", "Default B&&W", "N&&B par défaut"},
      {"RECEIVED TEXT", "RECEIVED TEXT", "TEXTE REÇU"},
      {"Splash Screen", "Splash Screen", "Écran de départ"},
      {"&Phonebook", "&Phonebook", "Bottin"},
      {"Profile chooser", "Profile chooser", "Choix de profil:"},
      {"Old Password:", "Old Password:", "Ancien mot de passe"},
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

TEST_F(TranslationTest, LanguageComesFromTheSettingAndDefaultsToFrench) {
  struct Case {
    const char* stored;  // nullptr: not stored
    int language;
  };
  const Case cases[] = {
      {nullptr, kLanguageFrench},    {"English", kLanguageEnglish}, {"En", kLanguageEnglish},
      {"english", kLanguageEnglish}, {"Français", kLanguageFrench}, {"Fr", kLanguageFrench},
      {"Frisian", kLanguageFrench},  {"Deutsch", kLanguageEnglish}, {"F", kLanguageEnglish},
      {"", kLanguageEnglish},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(absent)");
    if (c.stored) setSettingString("Language", c.stored);
    EXPECT_EQ(chooseLanguageFromSettings(), c.language);
    EXPECT_EQ(currentLanguage(), c.language);
  }
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

TEST_F(TranslationTest, MessageTextsAreTranslated) {
  // messageTexts() is translated once per process: only its language is
  // checked, whichever was current at its first call.
  const MessageTexts& m = messageTexts();
  EXPECT_STREQ(m.enterPassword, translate("Enter Password"));
  EXPECT_STREQ(
      m.notSavedSaveChanges,
      translate(
          "The text in the conversation has not been saved. Do you want to save the changes?"));
  EXPECT_STRNE(m.yes, "");
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
