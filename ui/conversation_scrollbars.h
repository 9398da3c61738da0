// The conversation's two scroll bars in the main window: the horizontal one
// below the conversation area, the vertical one at its right. Showing a bar
// takes its room from the area (and from the other bar's length); hiding it
// gives the room back. The view is told which bars exist after each change.
//
// Threads: user-interface thread only.
#pragma once

class Fl_Group;
class Fl_Scrollbar;
class Fl_Window;

namespace quelto {

class ConversationView;

class ConversationScrollbars {
 public:
  enum class Axis { Horizontal, Vertical };

  // The window holds the area; both, and the view, outlive this object.
  ConversationScrollbars(Fl_Window& window, Fl_Group& area, ConversationView& view);
  ConversationScrollbars(const ConversationScrollbars&) = delete;
  ConversationScrollbars& operator=(const ConversationScrollbars&) = delete;

  // Shows or hides the bar of that axis; nothing happens when it already is
  // so. Showing first grows a window smaller than 80 x 80 to that size.
  void show(Axis axis, bool shown);

  // The bar of that axis, or null while it is hidden.
  Fl_Scrollbar* bar(Axis axis) const;

 private:
  Fl_Scrollbar* makeBar(Axis axis);

  Fl_Window& window_;
  Fl_Group& area_;
  ConversationView& view_;
  Fl_Scrollbar* horizontal_ = nullptr;
  Fl_Scrollbar* vertical_ = nullptr;
};

}  // namespace quelto
