#include <gtest/gtest.h>  // before the toolkit headers, which bring in X11 macros

#include "ui/widgets/font_menu_button.h"

#include "settings/translation_table.h"

#include <FL/Fl_Window.H>

#include <string>
#include <vector>

namespace quelto {
namespace {

using Choice = FontMenuButton::Choice;
using What = Choice::What;

const char* identity(const char* english) {
  return english;
}
const char* shout(const char* english) {
  static std::vector<std::string> kept;  // translations live as long as the menus
  kept.push_back("<" + std::string(english) + ">");
  return kept.back().c_str();
}

// The top-level and submenu item texts, in menu order.
std::vector<std::string> texts(const FontMenuButton& m) {
  std::vector<std::string> out;
  for (int i = 0; i < m.size(); ++i)
    if (m.menu()[i].label()) out.push_back(m.menu()[i].label());
  return out;
}

TEST(FontMenuButton, TheThreeMenusHoldTheirItems) {
  FontMenuButton preview(0, 0, 140, 25), bottom(0, 0, 140, 25), print(0, 0, 205, 35);
  preview.build(FontMenuButton::Kind::Preview, identity);
  bottom.build(FontMenuButton::Kind::Bottom, identity);
  print.build(FontMenuButton::Kind::Print, identity);
  const std::vector<std::string> sizes = {"8",  "10", "11", "12", "14", "16", "17",
                                          "18", "20", "24", "25", "34", "36"};
  std::vector<std::string> expected = {"Color...", "Capitals", "Font",          "Helvetica",
                                       "Courier",  "Times",    "Style",         "Normal",
                                       "Bold",     "Italic",   "Italic + Bold", "Size"};
  expected.insert(expected.end(), sizes.begin(), sizes.end());
  EXPECT_EQ(texts(preview), expected);
  std::vector<std::string> expectedPrint(expected.begin() + 1, expected.end());
  EXPECT_EQ(texts(print), expectedPrint);
  std::vector<std::string> expectedBottom = {"Color...", "Size"};
  expectedBottom.insert(expectedBottom.end(), sizes.begin(), sizes.end());
  EXPECT_EQ(texts(bottom), expectedBottom);

  FontMenuButton translated(0, 0, 140, 25);
  translated.build(FontMenuButton::Kind::Bottom, shout);
  EXPECT_EQ(texts(translated)[0], "<Color...>");
}

std::vector<std::string> asked;  // every text a menu asked to translate
const char* record(const char* english) {
  asked.push_back(english);
  return english;
}

TEST(FontMenuButton, EveryTextTheMenusTranslateHasAFrenchRow) {
  FontMenuButton preview(0, 0, 140, 25), bottom(0, 0, 140, 25), print(0, 0, 205, 35);
  preview.build(FontMenuButton::Kind::Preview, record);
  bottom.build(FontMenuButton::Kind::Bottom, record);
  print.build(FontMenuButton::Kind::Print, record);
  ASSERT_FALSE(asked.empty());
  for (const std::string& english : asked)
    EXPECT_NE(findTranslationRow(english.c_str()), nullptr) << "no row for " << english;
}

TEST(FontMenuButton, FontItemsAreDrawnInTheirFontAndEveryItemAtSize14) {
  FontMenuButton m(0, 0, 140, 25);
  m.build(FontMenuButton::Kind::Preview, identity);
  for (int i = 0; i < m.size(); ++i) {
    const Fl_Menu_Item& it = m.menu()[i];
    if (!it.label()) continue;
    EXPECT_EQ(it.labelsize(), 14) << it.label();
    const auto c = FontMenuButton::choiceOf(&it);
    if (c && c->what == What::Family) {
      EXPECT_EQ(it.labelfont(), 4 * c->value) << it.label();
    }
    if (c && c->what == What::Style) {
      EXPECT_EQ(it.labelfont(), c->value) << it.label();
    }
  }
}

TEST(FontMenuButton, MarkingShowsTheFaceSizeAndCapitals) {
  FontMenuButton m(0, 0, 140, 25);
  m.build(FontMenuButton::Kind::Print, identity);
  m.mark(9, 14, true);  // Times bold 14, capitals
  EXPECT_TRUE(m.capitals());
  EXPECT_EQ(m.checkedSize(), 14);
  int setFamilies = 0, setStyles = 0;
  for (int i = 0; i < m.size(); ++i) {
    const auto c = FontMenuButton::choiceOf(&m.menu()[i]);
    if (!c || !m.menu()[i].value()) continue;
    if (c->what == What::Family) {
      ++setFamilies;
      EXPECT_EQ(c->value, 2);
    }
    if (c->what == What::Style) {
      ++setStyles;
      EXPECT_EQ(c->value, 1);
    }
  }
  EXPECT_EQ(setFamilies, 1);
  EXPECT_EQ(setStyles, 1);

  m.mark(0, 13, false);  // a size that is not on the menu
  EXPECT_FALSE(m.capitals());
  EXPECT_EQ(m.checkedSize(), std::nullopt);
}

TEST(FontMenuButton, PickingAnItemRunsTheButtonCallbackWithItsMeaning) {
  Fl_Window win(200, 100);
  auto* m = new FontMenuButton(10, 10, 140, 25);
  win.end();
  m->build(FontMenuButton::Kind::Preview, identity);
  m->mark(5, 18, false);
  std::vector<Choice> seen;
  m->callback(
      [](Fl_Widget* w, void* data) {
        auto* button = static_cast<FontMenuButton*>(w);
        if (auto c = button->choice()) static_cast<std::vector<Choice>*>(data)->push_back(*c);
      },
      &seen);
  const auto pick = [&](const char* path) {
    const Fl_Menu_Item* it = m->find_item(path);
    ASSERT_NE(it, nullptr) << path;
    m->picked(it);
  };
  pick("Size/24");
  pick("Capitals");
  pick("Font/Times");
  pick("Style/Italic");
  pick("Color...");
  const std::vector<Choice> expected = {
      {What::Size, 24}, {What::Capitals, 0}, {What::Family, 2}, {What::Style, 2}, {What::Color, 0}};
  EXPECT_EQ(seen, expected);
  // The toolkit moved the radio marks and the toggle before the callback.
  EXPECT_EQ(m->checkedSize(), 24);
  EXPECT_TRUE(m->capitals());
  EXPECT_EQ(FontMenuButton::choiceOf(m->find_item("Font")), std::nullopt);
}

}  // namespace
}  // namespace quelto
