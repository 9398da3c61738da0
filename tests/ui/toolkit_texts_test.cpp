// The toolkit's own dialogs speak the interface language: every button,
// file-chooser and print-dialog label the program shows has a French row
// keyed by the toolkit's own English.
#include <gtest/gtest.h>

#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Printer.H>
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
    // The same words in French.
    if (english[i] == "OK" || english[i] == "Pages" || english[i] == "Copies") continue;
    EXPECT_NE(english[i], *texts[i]) << "no French for " << english[i];
  }
  EXPECT_STREQ(fl_cancel, "Annuler");
  EXPECT_STREQ(fl_close, "Fermer");
  EXPECT_STREQ(Fl_File_Chooser::filename_label, "Fichier :");
  EXPECT_STREQ(Fl_Printer::dialog_printer, "Imprimante :");
}

}  // namespace
}  // namespace quelto
