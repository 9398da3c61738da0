#include "ui/widgets/colour_menu.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace quelto {

namespace {

constexpr int kColorCount = ColourMenu::kColumns * ColourMenu::kRows;
constexpr int kCellSize = 15;
// Keeps a cell and the frame around it clear of the screen's far edges.
constexpr int kScreenMargin = 18;

bool inGrid(int color) {
  return color >= 0 && color < kColorCount;
}

// Division rounding towards minus infinity, so that points left of or above
// the grid give a negative cell rather than cell 0.
int floorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

ColourMenu::ColourMenu(int initialColor)
    : Fl_Window(kWidth, kHeight),
      initial_(initialColor),
      selected_(initialColor),
      drawn_(initialColor) {
  end();
  // Borderless and placed exactly where asked, like a pop-up menu: the
  // window manager must neither frame nor move it.
  set_override();
  set_modal();
}

ColourMenu::~ColourMenu() = default;

std::optional<int> ColourMenu::colorAt(int x, int y) {
  const int column = floorDiv(x - kGridInset, kCellStep);
  const int row = floorDiv(y - kGridInset, kCellStep);
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return std::nullopt;
  return row * kColumns + column;
}

void ColourMenu::placeUnderMouse(int mouseX, int mouseY) {
  if (!inGrid(initial_)) {
    position(mouseX - w() / 2, mouseY - h() / 2);
    return;
  }
  position(mouseX - kCellStep * (initial_ % kColumns) - 11,
           mouseY - kCellStep * (initial_ / kColumns) - 11);
}

void ColourMenu::drawCell(int color) {
  if (!inGrid(color)) return;
  const int cx = cellX(color), cy = cellY(color);
  if (color == selected_) {
    fl_draw_box(FL_DOWN_BOX, cx + 1, cy + 1, kCellSize - 2, kCellSize - 2,
                static_cast<Fl_Color>(color));
  } else {
    fl_draw_box(FL_BORDER_BOX, cx, cy, kCellSize, kCellSize, static_cast<Fl_Color>(color));
  }
}

void ColourMenu::draw() {
  if (damage() == FL_DAMAGE_CHILD) {
    // Only the selection moved: the old cell loses its frame, the new one gains it.
    drawCell(drawn_);
    drawCell(selected_);
  } else {
    fl_draw_box(FL_UP_BOX, 0, 0, w(), h(), color());
    for (int c = 0; c < kColorCount; ++c) drawCell(c);
  }
  drawn_ = selected_;
}

void ColourMenu::select(int color) {
  if (color == selected_) return;
  selected_ = color;
  damage(FL_DAMAGE_CHILD);
  keepSelectionOnScreen();
}

void ColourMenu::keepSelectionOnScreen() {
  if (!inGrid(selected_)) return;
  const int cx = cellX(selected_), cy = cellY(selected_);
  int nx = x(), ny = y();
  if (nx + cx + kScreenMargin >= Fl::w()) nx = Fl::w() - cx - kScreenMargin;
  if (ny + cy + kScreenMargin >= Fl::h()) ny = Fl::h() - cy - kScreenMargin;
  if (nx + cx < kGridInset) nx = kGridInset - cx;
  if (ny + cy < kGridInset) ny = kGridInset - cy;
  if (nx != x() || ny != y()) position(nx, ny);
}

int ColourMenu::handle(int event) {
  switch (event) {
    case FL_PUSH:
    case FL_DRAG: {
      // Root coordinates: under the grab the mouse may be outside the window.
      const std::optional<int> c = colorAt(Fl::event_x_root() - x(), Fl::event_y_root() - y());
      select(c ? *c : initial_);
      return 1;
    }
    case FL_RELEASE:
      done_ = true;
      return 1;
    case FL_KEYBOARD:
      switch (Fl::event_key()) {
        case FL_Enter:
        case FL_KP_Enter:
          done_ = true;
          return 1;
        case FL_Escape:
          select(initial_);
          done_ = true;
          return 1;
        case FL_Left:
          if (selected_ > 0) select(selected_ - 1);
          return 1;
        case FL_Right:
          if (selected_ < kColorCount - 1) select(selected_ + 1);
          return 1;
        case FL_Up:
          if (selected_ > kColumns - 1) select(selected_ - kColumns);
          return 1;
        case FL_Down:
          if (selected_ < kColorCount - kColumns) select(selected_ + kColumns);
          return 1;
        default:
          return 0;
      }
    default:
      return Fl_Window::handle(event);
  }
}

int ColourMenu::run() {
  show();
  Fl::grab(this);
  while (!done_ && shown()) Fl::wait();
  Fl::grab(nullptr);
  hide();
  return selected_;
}

int chooseColor(int initialColor, std::optional<ScreenPoint> at) {
  ColourMenu menu(initialColor);
  if (at) {
    menu.position(at->x, at->y);
  } else {
    int mx = 0, my = 0;
    Fl::get_mouse(mx, my);
    menu.placeUnderMouse(mx, my);
  }
  return menu.run();
}

}  // namespace quelto
