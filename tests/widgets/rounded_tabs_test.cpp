#include <gtest/gtest.h>  // before the toolkit headers, which bring in X11 macros

#include "ui/widgets/rounded_tabs.h"

#include "tests/widgets/widget_test_support.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <string>
#include <vector>

namespace quelto {
namespace {

using Layout = RoundedTabs::TabLayout;

// A tab group the size of the Personal Preferences one, pages 27 pixels
// below its top.
class RoundedTabsTest : public ::testing::Test {
 protected:
  void build(const std::vector<const char*>& labels, int width = 471) {
    win = std::make_unique<Fl_Window>(width + 20, 420);
    tabs = new RoundedTabs(9, 28, width, 387);
    tabs->callback([](Fl_Widget*, void* data) { ++*static_cast<int*>(data); }, &callbacks);
    for (const char* label : labels) {
      auto* page = new Fl_Group(10, 55, width - 2, 350, label);
      page->end();
      pages.push_back(page);
    }
    tabs->end();
    win->end();
  }

  void click(int x, int y) {
    Fl::e_x = x;
    Fl::e_y = y;
    tabs->handle(FL_PUSH);
    tabs->handle(FL_RELEASE);
  }

  // A point inside tab i, a few pixels below the top of the strip.
  std::pair<int, int> insideTab(int i) {
    const Layout t = tabs->tabLayout();
    return {tabs->x() + (t.position[i] + t.position[i + 1]) / 2, tabs->y() + t.height / 2};
  }

  std::unique_ptr<Fl_Window> win;
  RoundedTabs* tabs = nullptr;
  std::vector<Fl_Group*> pages;
  int callbacks = 0;
};

TEST_F(RoundedTabsTest, TabsAreTheirLabelWidthPlusTheSlopeAndAtLeastSixteen) {
  build({"Fonts & Colors", "", nullptr, "i"});
  const Layout t = tabs->tabLayout();
  EXPECT_EQ(t.height, 27 - Fl::box_dy(FL_THIN_UP_BOX));
  ASSERT_EQ(t.count, 4);
  int labelW = 0, labelH = 0;
  pages[0]->measure_label(labelW, labelH);
  EXPECT_EQ(t.width[0], labelW + 8);
  EXPECT_EQ(t.width[1], 16);  // empty label
  EXPECT_EQ(t.width[2], 16);  // no label
  EXPECT_EQ(t.width[3], 16);  // a label narrower than 8 pixels
  EXPECT_EQ(t.position[0], 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(t.position[i + 1], t.position[i] + t.width[i]);
}

TEST_F(RoundedTabsTest, TooManyTabsArePackedInsideTheGroupAndTheCurrentOneShowsWhole) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("Page number " + std::to_string(i));
  std::vector<const char*> labels;
  for (const auto& n : names) labels.push_back(n.c_str());
  build(labels, 300);
  for (int current : {0, 5, 11}) {
    tabs->value(pages[current]);
    const Layout t = tabs->tabLayout();
    EXPECT_EQ(t.current, current);
    for (int i = 0; i < t.count; ++i) {
      EXPECT_GE(t.position[i], 0);
      EXPECT_LE(t.position[i], t.position[i + 1]) << "tab " << i;
      EXPECT_LE(t.position[i + 1], tabs->w()) << "tab " << i;
    }
    EXPECT_EQ(t.position[current + 1] - t.position[current], t.width[current]);
    // A click in the middle of the current tab finds it.
    const auto [x, y] = insideTab(current);
    EXPECT_EQ(tabs->which(x, y), pages[current]);
  }
}

TEST_F(RoundedTabsTest, TheFirstVisiblePageIsCurrentAndLaterOnesAreHidden) {
  build({"One", "Two", "Three"});
  pages[0]->hide();
  EXPECT_EQ(tabs->value(), pages[1]);
  EXPECT_FALSE(pages[0]->visible());
  EXPECT_TRUE(pages[1]->visible());
  EXPECT_FALSE(pages[2]->visible());
  EXPECT_EQ(callbacks, 0);
}

TEST_F(RoundedTabsTest, OnlyARealChangeOfPageRunsTheCallback) {
  build({"One", "Two", "Three"});
  ASSERT_EQ(tabs->value(), pages[0]);
  EXPECT_FALSE(tabs->value(pages[0]));
  EXPECT_EQ(callbacks, 0);
  EXPECT_TRUE(tabs->value(pages[2]));
  EXPECT_EQ(callbacks, 1);
  EXPECT_TRUE(pages[2]->visible());
  EXPECT_FALSE(pages[0]->visible());

  Fl_Group stranger(0, 0, 10, 10);
  stranger.end();
  EXPECT_FALSE(tabs->value(&stranger));
  EXPECT_EQ(tabs->value(), pages[2]);
  EXPECT_EQ(callbacks, 1);
}

TEST_F(RoundedTabsTest, ClickingATabSelectsItAndClickingTheCurrentOneDoesNothing) {
  build({"One", "Two", "Three"});
  test::showAndDraw(*win);
  auto [x1, y1] = insideTab(1);
  click(x1, y1);
  EXPECT_EQ(tabs->value(), pages[1]);
  EXPECT_EQ(callbacks, 1);
  EXPECT_EQ(tabs->push(), nullptr);

  click(x1, y1);
  EXPECT_EQ(callbacks, 1);

  // A click on a page goes to the page, not to the tabs.
  click(200, 200);
  EXPECT_EQ(tabs->value(), pages[1]);
  EXPECT_EQ(callbacks, 1);
}

TEST_F(RoundedTabsTest, PressingATabMarksItUntilRelease) {
  build({"One", "Two"});
  auto [x, y] = insideTab(1);
  Fl::e_x = x;
  Fl::e_y = y;
  tabs->handle(FL_PUSH);
  EXPECT_EQ(tabs->push(), pages[1]);
  EXPECT_EQ(tabs->value(), pages[0]);
  Fl::e_x = tabs->x() + tabs->w() - 2;  // dragged off every tab
  tabs->handle(FL_DRAG);
  EXPECT_EQ(tabs->push(), nullptr);
  tabs->handle(FL_RELEASE);
  EXPECT_EQ(tabs->value(), pages[0]);
  EXPECT_EQ(callbacks, 0);
}

TEST_F(RoundedTabsTest, TheBoundaryBetweenTabsFollowsTheSlope) {
  build({"One", "Two"});
  tabs->value(pages[1]);
  const Layout t = tabs->tabLayout();
  const int edge = tabs->x() + t.position[1];
  // Left of the current tab the boundary leans right at the top and left
  // at the bottom of the strip.
  EXPECT_EQ(tabs->which(edge + 7, tabs->y()), pages[0]);
  EXPECT_EQ(tabs->which(edge + 7, tabs->y() + t.height), pages[1]);
  EXPECT_EQ(tabs->which(tabs->x() - 1, tabs->y() + 5), nullptr);
  EXPECT_EQ(tabs->which(edge, tabs->y() + t.height + 1), nullptr);
}

TEST_F(RoundedTabsTest, PagesWithoutRoomForTabsAreNeverHit) {
  win = std::make_unique<Fl_Window>(300, 200);
  tabs = new RoundedTabs(0, 0, 300, 200);
  auto* page = new Fl_Group(0, 0, 300, 200, "Full");
  page->end();
  tabs->end();
  win->end();
  EXPECT_EQ(tabs->tabLayout().height, 0);
  EXPECT_EQ(tabs->which(5, 0), nullptr);
  EXPECT_EQ(tabs->which(5, 1), nullptr);
}

TEST_F(RoundedTabsTest, TabsAtTheBottomWhenThePagesLeaveMoreRoomThere) {
  win = std::make_unique<Fl_Window>(300, 200);
  tabs = new RoundedTabs(0, 0, 300, 200);
  auto* a = new Fl_Group(1, 1, 298, 170, "A");
  a->end();
  auto* b = new Fl_Group(1, 1, 298, 170, "B");
  b->end();
  tabs->end();
  win->end();
  const Layout t = tabs->tabLayout();
  EXPECT_EQ(t.height, -(29 - Fl::box_dy(FL_THIN_UP_BOX)));
  const int x = (t.position[1] + t.position[2]) / 2;
  EXPECT_EQ(tabs->which(x, 195), b);
  EXPECT_EQ(tabs->which(x, 100), nullptr);
}

TEST_F(RoundedTabsTest, DrawsRoundedTabsInTheirPageColours) {
  build({"Fonts & Colors", "Communication", "Print Options"});
  tabs->color(FL_BACKGROUND_COLOR);
  pages[0]->color(FL_CYAN);
  pages[1]->color(FL_YELLOW);
  pages[2]->color(FL_GREEN);
  test::showAndDraw(*win);
  const Layout t = tabs->tabLayout();
  test::Pixels px(*win, 0, 0, win->w(), win->h());
  const int top = tabs->y();
  const int x1 = tabs->x() + t.position[0];
  const int xr = tabs->x() + t.position[1] - 2;  // right end of the current tab
  // Current tab: filled in its page colour, both upper corners cut.
  EXPECT_EQ(px.at(x1 + 20, top + 10), test::rgbOf(FL_CYAN));
  EXPECT_EQ(px.at(x1, top), test::rgbOf(tabs->color()));
  EXPECT_EQ(px.at(xr, top), test::rgbOf(tabs->color()));
  EXPECT_EQ(px.at(x1 + 3, top), test::rgbOf(54));   // light top edge
  EXPECT_EQ(px.at(xr, top + 10), test::rgbOf(39));  // dark right edge
  // It joins its page: no edge line under it, the page box below.
  EXPECT_EQ(px.at(x1 + 20, top + t.height), test::rgbOf(FL_CYAN));
  // The tabs behind stand 2 pixels lower, in their own colours.
  const int x1b = tabs->x() + t.position[1];
  EXPECT_EQ(px.at(x1b + 20, top + 1), test::rgbOf(tabs->color()));
  EXPECT_EQ(px.at(x1b + 20, top + 10), test::rgbOf(FL_YELLOW));
  const int x1c = tabs->x() + t.position[2];
  EXPECT_EQ(px.at(x1c + 20, top + 10), test::rgbOf(FL_GREEN));
}

}  // namespace
}  // namespace quelto
