#include "ui/forms/about_texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quelto {
namespace {

TEST(AboutTexts, NameVersionAndCreditsInBothLanguages) {
  const AboutTexts en = aboutTexts(0);
  EXPECT_EQ(en.nameAndVersion, std::string("Quelto ") + productVersion());
  EXPECT_STREQ(en.copyright, "Copyright © 2026 the Quelto developers");
  EXPECT_STREQ(en.toolkitCredit, "Built with FLTK");
  const AboutTexts fr = aboutTexts(1);
  EXPECT_EQ(fr.nameAndVersion, en.nameAndVersion);
  EXPECT_STRNE(fr.copyright, en.copyright);
  EXPECT_STREQ(aboutTexts(5).copyright, en.copyright);
}

TEST(HelpFiles, NamedAfterTheLanguageAndShippedInRes) {
  EXPECT_EQ(helpFileName("English"), "En.fmt");
  EXPECT_EQ(helpFileName("Français"), "Fr.fmt");
  for (const char* name : {"English", "Français"}) {
    std::ifstream in(std::string(QUELTO_SOURCE_DIR) + "/res/" + helpFileName(name));
    ASSERT_TRUE(in) << helpFileName(name);
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    EXPECT_GT(lines, 50) << helpFileName(name);
  }
}

TEST(HelpFiles, TheDataFolderVariableComesFirstAndTheSourceTreeNever) {
  const std::filesystem::path dir = std::filesystem::path(QUELTO_BINARY_DIR) / "help-file-test";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "En.fmt") << "@bHelp\n";
  setenv("QUELTO_DATA_DIR", dir.c_str(), 1);
  EXPECT_EQ(findHelpFile("English"), (dir / "En.fmt").string());
  const std::vector<std::string> folders = helpFileFolders();
  unsetenv("QUELTO_DATA_DIR");
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders.front(), dir.string());
  // An installed program finds its data in its own prefix only, never in
  // the tree it was built from.
  for (const std::string& folder : folders)
    EXPECT_NE(std::filesystem::path(folder), std::filesystem::path(QUELTO_SOURCE_DIR) / "res");
  EXPECT_EQ(findHelpFile("Deutsch"), std::nullopt);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quelto
