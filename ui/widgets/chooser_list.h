// ChooserList: a list where picking a line is one deliberate act, by mouse
// or by keyboard. The arrow keys (and Home, End, Page Up, Page Down) only
// move the highlight; a click on a line or Enter picks the highlighted line
// and runs the callback once. Filling the list highlights its first line,
// so Enter alone picks it.
#pragma once

#include <FL/Fl_Hold_Browser.H>

namespace quelto {

class ChooserList : public Fl_Hold_Browser {
 public:
  ChooserList(int x, int y, int w, int h, const char* label = nullptr);
  ~ChooserList() override;

  int handle(int event) override;

  // Empties the list and adds the lines, highlighting the first.
  template <typename Lines>
  void fill(const Lines& lines) {
    clear();
    for (const auto& line : lines) add(line.c_str());
    if (size() > 0) value(1);
  }
};

}  // namespace quelto
