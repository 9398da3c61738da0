// ColourMenu: a borderless pop-up grid of the toolkit's 256 colours from
// which the user picks one with the mouse or the arrow keys.
//
// Colour c lies in column c % 8 and row c / 8 of an 8 x 32 grid whose cells
// are kCellStep pixels apart, starting kGridInset pixels from the window's
// left and top edges. While the selection moves, the window moves with it so
// that the selected cell stays on the screen.
//
// Most callers want chooseColor() below; the class is public so that tests
// can drive it event by event. Interface thread only.
#pragma once

#include <FL/Fl_Window.H>

#include <optional>

namespace quelto {

class ColourMenu : public Fl_Window {
 public:
  static constexpr int kWidth = 121;
  static constexpr int kHeight = 457;
  static constexpr int kColumns = 8;
  static constexpr int kRows = 32;
  static constexpr int kCellStep = 14;
  static constexpr int kGridInset = 4;

  // initialColor may lie outside 0..255: the grid then shows no selection
  // and Escape gives that value back unchanged.
  explicit ColourMenu(int initialColor);
  ~ColourMenu() override;

  int initialColor() const { return initial_; }
  int selectedColor() const { return selected_; }
  bool done() const { return done_; }

  // The cell's top-left corner relative to the window.
  static int cellX(int color) { return kGridInset + kCellStep * (color % kColumns); }
  static int cellY(int color) { return kGridInset + kCellStep * (color / kColumns); }

  // The colour under a window-relative point, or nothing outside the grid.
  static std::optional<int> colorAt(int x, int y);

  // Places the window for opening with the mouse at (mouseX, mouseY) in
  // screen coordinates: centred on the mouse for an out-of-range initial
  // colour, else with the initial colour's cell under the mouse.
  void placeUnderMouse(int mouseX, int mouseY);

  // Shows the window, grabs every event and runs the toolkit loop until a
  // choice is made; returns the selected colour.
  int run();

  int handle(int event) override;

 protected:
  void draw() override;

 private:
  void select(int color);
  void keepSelectionOnScreen();
  void drawCell(int color);

  int initial_;
  int selected_;
  int drawn_;  // the selected colour at the last draw, for partial redraws
  bool done_ = false;
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

// Opens a colour menu and returns the chosen colour: the initial colour when
// the user pressed Escape or released the mouse outside the grid. With a
// position the grid opens there (callers pass the top-left corner of their
// dialog); without one it opens under the mouse.
int chooseColor(int initialColor, std::optional<ScreenPoint> at = std::nullopt);

}  // namespace quelto
