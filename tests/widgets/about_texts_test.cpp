#include "ui/dialogs_logic/about_texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

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

}  // namespace
}  // namespace quelto
