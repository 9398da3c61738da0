#include "ui/widgets/font_menu_button.h"

#include <FL/Enumerations.H>

#include <cstdint>
#include <vector>

#include "ui/forms/personal_preferences.h"

namespace quelto {

namespace {

using What = FontMenuButton::Choice::What;

// An item's meaning travels in its user data: what * kCodeBase + value.
constexpr std::intptr_t kCodeBase = 1000;

void* encode(What what, int value) {
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(what) * kCodeBase + value);
}

Fl_Menu_Item item(const char* text, int flags = 0, void* code = nullptr,
                  Fl_Font font = FL_HELVETICA) {
  Fl_Menu_Item m{};
  m.text = text;
  m.flags = flags;
  m.user_data_ = code;
  m.labeltype_ = FL_NORMAL_LABEL;
  m.labelfont_ = font;
  m.labelsize_ = FontMenuButton::kItemLabelSize;
  m.labelcolor_ = FL_FOREGROUND_COLOR;
  return m;
}

Fl_Menu_Item end() {
  return Fl_Menu_Item{};
}

}  // namespace

FontMenuButton::FontMenuButton(int x, int y, int w, int h, const char* label)
    : Fl_Menu_Button(x, y, w, h, label) {}

FontMenuButton::~FontMenuButton() = default;

void FontMenuButton::build(Kind kind, Translator tr) {
  std::vector<Fl_Menu_Item> items;
  if (kind != Kind::Print) items.push_back(item(tr("Color..."), 0, encode(What::Color, 0)));
  if (kind != Kind::Bottom) {
    items.push_back(item(tr("Capitals"), FL_MENU_TOGGLE, encode(What::Capitals, 0)));
    items.push_back(item(tr("Font"), FL_SUBMENU));
    const char* families[] = {"Helvetica", "Courier", "Times"};
    for (int f = 0; f < 3; ++f)
      items.push_back(item(tr(families[f]), FL_MENU_RADIO, encode(What::Family, f),
                           static_cast<Fl_Font>(4 * f)));
    items.push_back(end());
    items.push_back(item(tr("Style"), FL_SUBMENU));
    const char* styles[] = {"Normal", "Bold", "Italic", "Italic + Bold"};
    for (int s = 0; s < 4; ++s)
      items.push_back(
          item(tr(styles[s]), FL_MENU_RADIO, encode(What::Style, s), static_cast<Fl_Font>(s)));
    items.push_back(end());
  }
  items.push_back(item(tr("Size"), FL_SUBMENU));
  // The item texts are the translation keys "8" ... "36"; the size itself
  // travels in the item's code.
  static const char* const kSizeTexts[] = {"8",  "10", "11", "12", "14", "16", "17",
                                           "18", "20", "24", "25", "34", "36"};
  static_assert(sizeof kSizeTexts / sizeof *kSizeTexts == kFontMenuSizes.size());
  for (std::size_t i = 0; i < kFontMenuSizes.size(); ++i)
    items.push_back(item(tr(kSizeTexts[i]), FL_MENU_RADIO, encode(What::Size, kFontMenuSizes[i])));
  items.push_back(end());
  items.push_back(end());
  copy(items.data());
}

std::optional<FontMenuButton::Choice> FontMenuButton::choiceOf(const Fl_Menu_Item* m) {
  if (!m || m->submenu()) return std::nullopt;
  const auto code = reinterpret_cast<std::intptr_t>(m->user_data());
  const auto what = code / kCodeBase;
  if (what < static_cast<std::intptr_t>(What::Color) ||
      what > static_cast<std::intptr_t>(What::Size))
    return std::nullopt;
  return Choice{static_cast<What>(what), static_cast<int>(code % kCodeBase)};
}

const Fl_Menu_Item* FontMenuButton::findItem(Choice::What what, int value) const {
  for (int i = 0; i < size(); ++i) {
    const Fl_Menu_Item* m = &menu()[i];
    const std::optional<Choice> c = choiceOf(m);
    if (c && c->what == what && c->value == value) return m;
  }
  return nullptr;
}

void FontMenuButton::mark(int face, int size, bool capitals) {
  for (int i = 0; i < this->size(); ++i) {
    Fl_Menu_Item& m = const_cast<Fl_Menu_Item&>(menu()[i]);
    const std::optional<Choice> c = choiceOf(&m);
    if (!c) continue;
    bool set = false;
    switch (c->what) {
      case What::Capitals:
        set = capitals;
        break;
      case What::Family:
        set = c->value == face / 4;
        break;
      case What::Style:
        set = c->value == face % 4;
        break;
      case What::Size:
        set = c->value == size;
        break;
      case What::Color:
        continue;
    }
    if (set) {
      m.set();
    } else {
      m.clear();
    }
  }
}

bool FontMenuButton::capitals() const {
  const Fl_Menu_Item* m = findItem(What::Capitals, 0);
  return m && m->value();
}

std::optional<int> FontMenuButton::checkedSize() const {
  for (int size : kFontMenuSizes) {
    const Fl_Menu_Item* m = findItem(What::Size, size);
    if (m && m->value()) return size;
  }
  return std::nullopt;
}

}  // namespace quelto
