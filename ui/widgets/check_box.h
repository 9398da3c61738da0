// CheckBox: the check box of every dialog. A button (give it the toggle
// type for a check box, or FL_RADIO_BUTTON for a pair of exclusive choices)
// drawn as usual, with a black cross over it while its value is set.
#pragma once

#include <FL/Fl_Button.H>

namespace quelto {

class CheckBox : public Fl_Button {
 public:
  CheckBox(int x, int y, int w, int h, const char* label = nullptr);
  ~CheckBox() override;

 protected:
  void draw() override;
};

}  // namespace quelto
