#include "ui/widgets/check_box.h"

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

namespace quelto {

CheckBox::CheckBox(int x, int y, int w, int h, const char* label) : Fl_Button(x, y, w, h, label) {}

CheckBox::~CheckBox() = default;

void CheckBox::draw() {
  Fl_Button::draw();
  if (!value()) return;
  const int x1 = static_cast<int>(x() + 0.2 * w());
  const int y1 = static_cast<int>(y() + 0.2 * h());
  const int x2 = static_cast<int>(x() + 0.8 * w());
  const int y2 = static_cast<int>(y() + 0.8 * h());
  fl_color(FL_BLACK);
  fl_line_style(FL_SOLID, 2);
  fl_line(x1, y1, x2, y2);
  fl_line(x2, y1, x1, y2);
  fl_line_style(0);
}

}  // namespace quelto
