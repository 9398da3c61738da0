// The toolkit's own dialogs speak the interface language: every button and
// file-chooser label the program shows has a French row keyed by the
// toolkit's own English.
#include <gtest/gtest.h>

#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

#include <string>
#include <vector>

#include "settings/translation.h"
#include "ui/fltk_prompt.h"

namespace quelto {
namespace {

std::vector<const char**> toolkitTexts() {
  return {&fl_ok,
          &fl_cancel,
          &fl_yes,
          &fl_no,
          &fl_close,
          &Fl_File_Chooser::add_favorites_label,
          &Fl_File_Chooser::all_files_label,
          &Fl_File_Chooser::custom_filter_label,
          &Fl_File_Chooser::existing_file_label,
          &Fl_File_Chooser::favorites_label,
          &Fl_File_Chooser::filename_label,
          &Fl_File_Chooser::filesystems_label,
          &Fl_File_Chooser::manage_favorites_label,
          &Fl_File_Chooser::new_directory_label,
          &Fl_File_Chooser::new_directory_tooltip,
          &Fl_File_Chooser::preview_label,
          &Fl_File_Chooser::save_label,
          &Fl_File_Chooser::show_label,
          &Fl_File_Chooser::hidden_label,
          &Fl_Native_File_Chooser::file_exists_message};
}

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
