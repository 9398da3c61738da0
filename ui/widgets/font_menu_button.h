// FontMenuButton: the "Change Font" and print font menu buttons of
// Personal Preferences. One class builds the three menus that exist:
//  - Preview: "Color...", "Capitals", "Font" (Helvetica, Courier, Times,
//    each drawn in its font), "Style" (Normal, Bold, Italic, Italic + Bold,
//    each drawn in its style), "Size" (8 ... 36);
//  - Bottom: "Color..." and "Size" only;
//  - Print: Preview without "Color...".
// Labels are English keys passed through the translator given to build().
// Picking an item runs the button's own callback; choice() then says what
// the picked item means. Radio items and the "Capitals" toggle are updated
// by the toolkit before the callback runs, so capitals() already gives the
// new state.
//
// Interface thread only.
#pragma once

#include <FL/Fl_Menu_Button.H>

#include <optional>

namespace quelto {

class FontMenuButton : public Fl_Menu_Button {
 public:
  enum class Kind { Preview, Bottom, Print };

  struct Choice {
    enum class What { Color = 1, Capitals, Family, Style, Size };
    What what;
    int value;  // family 0..2, style 0..3, size in points; 0 for the others
    bool operator==(const Choice& o) const { return what == o.what && value == o.value; }
  };

  using Translator = const char* (*)(const char* english);

  static constexpr int kItemLabelSize = 14;

  FontMenuButton(int x, int y, int w, int h, const char* label = nullptr);
  ~FontMenuButton() override;

  // Replaces the items with the menu of that kind. The translator's results
  // must live as long as the menu (translate() gives static texts).
  void build(Kind kind, Translator translate);

  // Sets the radio items for face (family * 4 + style) and size, and the
  // "Capitals" toggle. A size that is not on the menu leaves no size set.
  void mark(int face, int size, bool capitals);

  bool capitals() const;
  // The size of the set "Size" item, or nothing when none is set.
  std::optional<int> checkedSize() const;

  // What an item of this menu means; nothing for submenu titles and items
  // of other menus.
  static std::optional<Choice> choiceOf(const Fl_Menu_Item* item);
  // What the last picked item means.
  std::optional<Choice> choice() const { return choiceOf(mvalue()); }

 private:
  const Fl_Menu_Item* findItem(Choice::What what, int value) const;
};

}  // namespace quelto
