// The toolkit's own dialogs speak the interface language: every button and
// file-chooser label the program shows has a French row keyed by the
// toolkit's own English.
#include <gtest/gtest.h>

#include <FL/Fl_File_Chooser.H>
#include <FL/fl_ask.H>

#include <string>
#include <vector>

#include "settings/translation.h"
#include "ui/fltk_prompt.h"

namespace quelto {
namespace {

TEST(ToolkitTexts, FollowTheFrenchInterface) {
  std::vector<std::string> english;
  for (const char** text : toolkitTexts()) english.emplace_back(*text);
  ASSERT_EQ(setLanguage(kLanguageFrench), 0);
  translateToolkitTexts();
  const auto texts = toolkitTexts();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (english[i] == "OK") continue;  // the same word in French
    EXPECT_NE(english[i], *texts[i]) << "no French for " << english[i];
  }
  EXPECT_STREQ(fl_cancel, "Annuler");
  EXPECT_STREQ(fl_close, "Fermer");
  EXPECT_STREQ(Fl_File_Chooser::filename_label, "Nom du fichier :");
}

}  // namespace
}  // namespace quelto
