#include <gtest/gtest.h>  // before the toolkit headers, which bring in X11 macros

#include "ui/widgets/check_box.h"

#include "tests/widgets/widget_test_support.h"

#include <FL/Fl_Window.H>

namespace quelto {
namespace {

using test::Pixels;
using test::rgbOf;

TEST(CheckBox, CrossIsDrawnOnlyWhileSet) {
  Fl_Window win(60, 60);
  auto* box = new CheckBox(20, 20, 15, 15);
  box->type(FL_TOGGLE_BUTTON);
  box->down_box(FL_DOWN_BOX);
  box->color(FL_WHITE);
  box->selection_color(FL_WHITE);
  win.end();

  const int cx = 20 + 7, cy = 20 + 7;  // where the two strokes cross
  test::showAndDraw(win);
  EXPECT_NE(Pixels(win, 20, 20, 15, 15).at(cx, cy), rgbOf(FL_BLACK));

  box->value(1);
  test::showAndDraw(win);
  Pixels set(win, 20, 20, 15, 15);
  EXPECT_EQ(set.at(cx, cy), rgbOf(FL_BLACK));
  EXPECT_EQ(set.at(23, 23), rgbOf(FL_BLACK));  // on the first diagonal, (x + 0.2w, y + 0.2h)
  EXPECT_EQ(set.at(31, 23), rgbOf(FL_BLACK));  // on the second, (x + 0.8w, y + 0.2h)
  EXPECT_NE(set.at(cx, 23), rgbOf(FL_BLACK));  // between the strokes

  box->value(0);
  test::showAndDraw(win);
  EXPECT_NE(Pixels(win, 20, 20, 15, 15).at(cx, cy), rgbOf(FL_BLACK));
}

}  // namespace
}  // namespace quelto
