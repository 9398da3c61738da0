#include "ui/widgets/chooser_list.h"

#include <FL/Fl.H>

namespace quelto {

ChooserList::ChooserList(int x, int y, int w, int h, const char* label)
    : Fl_Hold_Browser(x, y, w, h, label) {}

ChooserList::~ChooserList() = default;

int ChooserList::handle(int event) {
  if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
    if (value() > 0) do_callback();
    return 1;
  }
  // The base list calls back on highlight changes as when() asks; here only
  // a pick does.
  const Fl_When asked = when();
  when(FL_WHEN_NEVER);
  const int used = Fl_Hold_Browser::handle(event);
  when(asked);
  // A release reaches the list itself only after a press on its lines (a
  // press on a scroll bar goes to the bar, and so does its release).
  if (event == FL_RELEASE && value() > 0 && find_item(Fl::event_y()) != nullptr) {
    do_callback();
    return 1;
  }
  return used;
}

}  // namespace quelto
