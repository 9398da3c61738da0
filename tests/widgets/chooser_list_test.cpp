#include <gtest/gtest.h>  // before the toolkit headers, which bring in X11 macros

#include "ui/widgets/chooser_list.h"

#include "tests/widgets/widget_test_support.h"

#include <FL/Fl_Window.H>

#include <string>
#include <vector>

namespace quelto {
namespace {

struct Picks {
  std::vector<int> lines;
};

void mouseAt(Fl_Widget& w, int event, int x, int y, int clicks) {
  Fl::e_number = event;
  Fl::e_x = x;
  Fl::e_y = y;
  Fl::e_x_root = x;
  Fl::e_y_root = y;
  Fl::e_clicks = clicks;
  Fl::e_is_click = 1;
  Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
  Fl::e_state = event == FL_PUSH ? FL_BUTTON1 : 0;
  if (event == FL_PUSH) Fl::pushed(&w);
  w.handle(event);
  if (event == FL_RELEASE) Fl::pushed(nullptr);
}

TEST(ChooserList, OnlyAClickOnALineOrEnterPicks) {
  Fl_Window win(200, 120);
  auto* list = new ChooserList(10, 10, 180, 100);
  win.end();
  Picks picks;
  list->callback(
      [](Fl_Widget* w, void* data) {
        static_cast<Picks*>(data)->lines.push_back(static_cast<ChooserList*>(w)->value());
      },
      &picks);
  list->when(FL_WHEN_RELEASE_ALWAYS);  // what the interface description gives it
  list->fill(std::vector<std::string>{"Ann", "Bob", "Carol"});
  EXPECT_EQ(list->value(), 1) << "filling highlights the first line";
  test::showAndDraw(win);

  Fl::e_number = FL_KEYBOARD;
  Fl::e_state = 0;
  for (int key : {FL_Down, FL_Down, FL_Up}) {
    Fl::e_keysym = key;
    list->handle(FL_KEYBOARD);
  }
  EXPECT_EQ(list->value(), 2);
  EXPECT_TRUE(picks.lines.empty()) << "moving the highlight picks nothing";
  Fl::e_keysym = FL_Enter;
  EXPECT_EQ(list->handle(FL_KEYBOARD), 1);
  EXPECT_EQ(picks.lines, std::vector<int>{2});

  // A click on the third line: one pick, also for a double click.
  picks.lines.clear();
  const int lineHeight = list->textsize() + 4;  // rows are a little taller than the text
  const int y3 = 10 + 2 + 2 * lineHeight + lineHeight / 2;
  mouseAt(*list, FL_PUSH, 50, y3, 0);
  mouseAt(*list, FL_RELEASE, 50, y3, 0);
  EXPECT_EQ(picks.lines, std::vector<int>{3});
  mouseAt(*list, FL_PUSH, 50, y3, 1);
  mouseAt(*list, FL_RELEASE, 50, y3, 1);
  EXPECT_EQ(picks.lines, (std::vector<int>{3, 3}));

  // A click below the last line picks nothing.
  picks.lines.clear();
  mouseAt(*list, FL_PUSH, 50, 100, 0);
  mouseAt(*list, FL_RELEASE, 50, 100, 0);
  EXPECT_TRUE(picks.lines.empty());
}

}  // namespace
}  // namespace quelto
