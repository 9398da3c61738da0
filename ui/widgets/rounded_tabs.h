// RoundedTabs: a tab group whose tabs are rounded rectangles. Each child
// is one page; its label is its tab's text and its colour fills its tab.
//
// The tabs sit in the strip that the pages leave free at the top of the
// group (or at the bottom, when that gap is larger). One function,
// tabLayout(), computes where the tabs are; drawing, which() and handle()
// all use it, so what is drawn is what is hit.
//
// Every change of page, by the user or by value(page), runs the group's
// callback; selecting the current page again does not.
//
// Interface thread only. At most kMaxPages pages get a tab.
#pragma once

#include <FL/Fl_Group.H>

#include <array>

namespace quelto {

class RoundedTabs : public Fl_Group {
 public:
  static constexpr int kMaxPages = 128;
  static constexpr int kSlope = 8;         // the slope constant of the layout
  static constexpr int kMinTabWidth = 16;  // also the width of an empty label

  struct TabLayout {
    // Tab strip height: > 0 tabs at the top, < 0 tabs at the bottom
    // (its magnitude is the strip's height), 0 no room for tabs.
    int height = 0;
    int count = 0;                              // number of tabs (pages, at most kMaxPages)
    int current = 0;                            // index of the current page
    std::array<int, kMaxPages + 1> position{};  // tab i spans position[i] .. position[i + 1]
    std::array<int, kMaxPages> width{};  // tab i's own width (may exceed its span when squeezed)
  };

  RoundedTabs(int x, int y, int w, int h, const char* label = nullptr);
  ~RoundedTabs() override;

  // The current page. When none is set, the first visible child becomes
  // current and every later child is hidden; with no visible child the
  // first child is shown. Null only for a group without children.
  Fl_Widget* value();
  // Makes page current: shows it, hides the previous page, redraws and runs
  // the callback. Nothing happens when page is already current or is not a
  // child. Returns whether the page changed.
  bool value(Fl_Widget* page);

  Fl_Widget* push() const { return push_; }

  // The tab under the point (window coordinates), or null.
  Fl_Widget* which(int eventX, int eventY);

  TabLayout tabLayout();

  int handle(int event) override;

 protected:
  void draw() override;

 private:
  enum class TabPlace { LeftOfCurrent, RightOfCurrent, Current };

  int tabHeight() const;
  void setPush(Fl_Widget* page);
  void drawTab(int x1, int x2, int tabWidth, int height, Fl_Widget* page, TabPlace place);

  Fl_Widget* value_ = nullptr;
  Fl_Widget* push_ = nullptr;
};

}  // namespace quelto
