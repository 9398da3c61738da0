#include "ui/conversation_scrollbars.h"

#include <FL/Fl_Group.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Window.H>

#include <algorithm>

#include "ui/conversation_view.h"

namespace quelto {
namespace {

// A bar is 14 pixels thick with a pixel of space on each side.
constexpr int kBarThickness = 14;
constexpr int kBarRoom = kBarThickness + 2;
constexpr int kSmallestWindow = 80;

}  // namespace

ConversationScrollbars::ConversationScrollbars(Fl_Window& window, Fl_Group& area,
                                               ConversationView& view)
    : window_(window), area_(area), view_(view) {}

Fl_Scrollbar* ConversationScrollbars::bar(Axis axis) const {
  return axis == Axis::Horizontal ? horizontal_ : vertical_;
}

Fl_Scrollbar* ConversationScrollbars::makeBar(Axis axis) {
  const bool horizontal = axis == Axis::Horizontal;
  auto* bar = horizontal
                  ? new Fl_Scrollbar(1, area_.y() + area_.h() + 1, area_.w() - 2, kBarThickness)
                  : new Fl_Scrollbar(area_.x() + area_.w() + 1, area_.y() + 1, kBarThickness,
                                     area_.h() - 2);
  bar->type(horizontal ? FL_HORIZONTAL : FL_VERTICAL);
  bar->box(FL_FLAT_BOX);
  bar->clear_visible_focus();
  bar->callback([](Fl_Widget*, void* view) { static_cast<ConversationView*>(view)->redrawAll(); },
                &view_);
  window_.add(bar);
  return bar;
}

void ConversationScrollbars::show(Axis axis, bool shown) {
  const bool horizontal = axis == Axis::Horizontal;
  Fl_Scrollbar*& bar = horizontal ? horizontal_ : vertical_;
  Fl_Scrollbar* other = horizontal ? vertical_ : horizontal_;
  if ((bar != nullptr) == shown) return;
  // The room the area and the other bar's length gain (negative: give up).
  const int room = shown ? -kBarRoom : kBarRoom;
  if (shown && (window_.w() < kSmallestWindow || window_.h() < kSmallestWindow))
    window_.size(std::max(kSmallestWindow, window_.w()), std::max(kSmallestWindow, window_.h()));
  if (horizontal)
    area_.size(area_.w(), area_.h() + room);
  else
    area_.size(area_.w() + room, area_.h());
  if (shown) {
    bar = makeBar(axis);
  } else {
    window_.remove(bar);
    delete bar;
    bar = nullptr;
  }
  if (other) {
    if (horizontal)
      other->size(other->w(), other->h() + room);
    else
      other->size(other->w() + room, other->h());
  }
  window_.init_sizes();
  view_.setScrollbars(horizontal_, vertical_);
  window_.redraw();
}

}  // namespace quelto
