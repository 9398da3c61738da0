#include <gtest/gtest.h>  // before the toolkit headers, which bring in X11 macros

#include "ui/widgets/colour_menu.h"

#include "tests/widgets/widget_test_support.h"

#include <FL/Fl.H>

namespace quelto {
namespace {

int pressKey(ColourMenu& menu, int key) {
  Fl::e_keysym = key;
  return menu.handle(FL_KEYBOARD);
}

void mouse(ColourMenu& menu, int event, int windowX, int windowY) {
  Fl::e_x_root = menu.x() + windowX;
  Fl::e_y_root = menu.y() + windowY;
  Fl::e_x = windowX;
  Fl::e_y = windowY;
  menu.handle(event);
}

TEST(ColorMenu, ArrowKeysStopAtTheEdgesOfTheGrid) {
  struct Case {
    int from;
    int key;
    int to;
  } cases[] = {
      {250, FL_Down, 250}, {247, FL_Down, 255}, {255, FL_Right, 255}, {254, FL_Right, 255},
      {0, FL_Left, 0},     {1, FL_Left, 0},     {7, FL_Up, 7},        {8, FL_Up, 0},
      {100, FL_Down, 108}, {100, FL_Up, 92},
  };
  for (const Case& c : cases) {
    ColourMenu menu(c.from);
    menu.position(300, 100);
    EXPECT_EQ(pressKey(menu, c.key), 1);
    EXPECT_EQ(menu.selectedColor(), c.to) << "from " << c.from << " key " << c.key;
    EXPECT_FALSE(menu.done());
  }
}

TEST(ColorMenu, EscapeAfterMovingGivesBackTheInitialColour) {
  ColourMenu menu(42);
  menu.position(300, 100);
  pressKey(menu, FL_Down);
  pressKey(menu, FL_Right);
  ASSERT_EQ(menu.selectedColor(), 51);
  pressKey(menu, FL_Escape);
  EXPECT_TRUE(menu.done());
  EXPECT_EQ(menu.selectedColor(), 42);
}

TEST(ColorMenu, ReturnKeepsTheSelectionAndOtherKeysAreNotTaken) {
  ColourMenu menu(42);
  menu.position(300, 100);
  EXPECT_EQ(pressKey(menu, 'a'), 0);
  EXPECT_FALSE(menu.done());
  pressKey(menu, FL_Left);
  pressKey(menu, FL_Enter);
  EXPECT_TRUE(menu.done());
  EXPECT_EQ(menu.selectedColor(), 41);
}

TEST(ColorMenu, MouseSelectsTheCellUnderItAndOutsideGivesTheInitialColour) {
  ColourMenu menu(42);
  menu.position(300, 100);
  mouse(menu, FL_PUSH, 4 + 14 * 3 + 5, 4 + 14 * 20 + 5);  // column 3, row 20
  EXPECT_EQ(menu.selectedColor(), 163);
  mouse(menu, FL_DRAG, 4 + 14 * 7 + 13, 4 + 14 * 31 + 13);  // last cell
  EXPECT_EQ(menu.selectedColor(), 255);
  // Just left of the grid and just above it: the initial colour, not cell 0.
  mouse(menu, FL_DRAG, -5, 10);
  EXPECT_EQ(menu.selectedColor(), 42);
  mouse(menu, FL_DRAG, 10, 1);
  EXPECT_EQ(menu.selectedColor(), 42);
  mouse(menu, FL_DRAG, 10, 4 + 14 * 32);  // below the last row
  EXPECT_EQ(menu.selectedColor(), 42);
  EXPECT_FALSE(menu.done());
  mouse(menu, FL_RELEASE, 10, 4 + 14 * 32);
  EXPECT_TRUE(menu.done());
  EXPECT_EQ(menu.selectedColor(), 42);
}

TEST(ColorMenu, WindowMovesSoThatTheSelectedCellStaysOnTheScreen) {
  const int sw = Fl::w(), sh = Fl::h();
  {
    ColourMenu menu(0);
    menu.position(sw - 30, 100);  // cell 0 (x + 4) and its margin still fit
    pressKey(menu, FL_Right);     // cell 1 (x + 18) and its margin do not
    EXPECT_EQ(menu.x(), sw - ColourMenu::cellX(1) - 18);
    EXPECT_EQ(menu.y(), 100);
    pressKey(menu, FL_Left);  // back to cell 0: no move needed
    EXPECT_EQ(menu.x(), sw - ColourMenu::cellX(1) - 18);
  }
  {
    ColourMenu menu(200);
    menu.position(100, sh - ColourMenu::cellY(200) - 30);
    pressKey(menu, FL_Down);
    EXPECT_EQ(menu.y(), sh - ColourMenu::cellY(208) - 18);
  }
  {
    ColourMenu menu(9);
    menu.position(-100, -150);
    pressKey(menu, FL_Left);  // colour 8: column 0, row 1
    EXPECT_EQ(menu.x(), 4 - ColourMenu::cellX(8));
    EXPECT_EQ(menu.y(), 4 - ColourMenu::cellY(8));
  }
}

TEST(ColorMenu, OpensWithTheInitialCellUnderTheMouse) {
  ColourMenu inGrid(19);  // column 3, row 2
  inGrid.placeUnderMouse(500, 400);
  EXPECT_EQ(inGrid.x(), 500 - 14 * 3 - 11);
  EXPECT_EQ(inGrid.y(), 400 - 14 * 2 - 11);

  ColourMenu outside(300);
  outside.placeUnderMouse(500, 400);
  EXPECT_EQ(outside.x(), 500 - ColourMenu::kWidth / 2);
  EXPECT_EQ(outside.y(), 400 - ColourMenu::kHeight / 2);
}

// Drives the real modal loop: the keys reach the window that holds the grab.
struct ScriptedKeys {
  std::vector<int> keys;
  std::size_t next = 0;
};

void sendNextKey(void* data) {
  auto* script = static_cast<ScriptedKeys*>(data);
  Fl_Window* grabbed = Fl::grab();
  if (grabbed && script->next < script->keys.size()) {
    Fl::e_keysym = script->keys[script->next++];
    grabbed->handle(FL_KEYBOARD);
  }
  // Keep ticking while the menu runs: a key handled inside a timeout does
  // not wake the loop by itself, the next tick does.
  Fl::repeat_timeout(0.02, sendNextKey, data);
}

int chooseWithKeys(int initial, std::vector<int> keys, std::optional<ScreenPoint> at) {
  ScriptedKeys script{std::move(keys)};
  Fl::add_timeout(0.05, sendNextKey, &script);
  const int chosen = chooseColor(initial, at);
  Fl::remove_timeout(sendNextKey, &script);
  return chosen;
}

TEST(ChooseColor, RunsModallyAndReturnsTheChoice) {
  EXPECT_EQ(chooseWithKeys(10, {FL_Down, FL_Right, FL_Enter}, ScreenPoint{50, 60}), 19);
  EXPECT_EQ(chooseWithKeys(10, {FL_Down, FL_Right, FL_Escape}, ScreenPoint{50, 60}), 10);
  EXPECT_EQ(Fl::grab(), nullptr);
  // Out of range opens under the mouse and comes back unchanged on Escape.
  EXPECT_EQ(chooseWithKeys(300, {FL_Escape}, std::nullopt), 300);
}

TEST(ChooseColor, DrawsTheGridWithTheSelectedCellSunken) {
  ColourMenu menu(3);
  menu.position(50, 60);
  test::showAndDraw(menu);
  const auto inner = [](const test::Pixels& px, int c) {
    return px.at(ColourMenu::cellX(c) + 1, ColourMenu::cellY(c) + 7);
  };
  test::Pixels px(menu, 0, 0, menu.w(), menu.h());
  // The centre of every cell shows its colour.
  for (int c : {0, 1, 7, 8, 63, 128, 196, 255}) {
    EXPECT_EQ(px.at(ColourMenu::cellX(c) + 7, ColourMenu::cellY(c) + 7), test::rgbOf(c)) << c;
  }
  // A plain cell is flat inside its black frame; the selected one is sunken.
  EXPECT_EQ(px.at(ColourMenu::cellX(4), ColourMenu::cellY(4) + 7), test::rgbOf(FL_BLACK));
  EXPECT_EQ(inner(px, 4), test::rgbOf(4));
  EXPECT_NE(inner(px, 3), test::rgbOf(3));

  // The partial redraw after a move flattens the old cell and sinks the new one.
  pressKey(menu, FL_Right);
  Fl::flush();
  test::Pixels after(menu, 0, 0, menu.w(), menu.h());
  EXPECT_EQ(inner(after, 3), test::rgbOf(3));
  EXPECT_NE(inner(after, 4), test::rgbOf(4));
}

}  // namespace
}  // namespace quelto
