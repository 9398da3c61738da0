// Helpers for widget tests: show a window under the test X server, let it
// draw, and read back the pixels it drew.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstdint>
#include <vector>

namespace quelto::test {

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

inline Rgb rgbOf(Fl_Color c) {
  std::uint8_t r, g, b;
  Fl::get_color(c, r, g, b);
  return {r, g, b};
}

// Shows the window and runs the loop until it has been drawn.
inline void showAndDraw(Fl_Window& win) {
  win.show();
  // On a loaded machine the server's first expose can arrive after a draw
  // and clear the window to its background: draw only once it has come.
  win.wait_for_expose();
  for (int i = 0; i < 20 && !win.visible(); ++i) Fl::wait(0.05);
  Fl::wait(0.01);
  win.redraw();
  Fl::flush();
  for (int i = 0; i < 5; ++i) Fl::wait(0.01);
  Fl::flush();
}

// Window-relative pixels of the area (x, y, w, h), row by row.
class Pixels {
 public:
  Pixels(Fl_Window& win, int x, int y, int w, int h)
      : x_(x), y_(y), w_(w), h_(h), data_(w * h * 3) {
    win.make_current();
    fl_read_image(data_.data(), x, y, w, h);
  }
  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y - y_) * w_ + (x - x_)) * 3;
    return {data_[i], data_[i + 1], data_[i + 2]};
  }

 private:
  int x_, y_, w_, h_;
  std::vector<std::uint8_t> data_;
};

}  // namespace quelto::test
