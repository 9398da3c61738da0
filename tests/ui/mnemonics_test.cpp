// Every Alt+letter does one thing: within each window (with each page of a
// tabbed window on its own) no two labels underline the same letter, the
// menu bar's titles included, and within each menu level no two items do.
// The built widgets are walked in the language the run's locale gives (the
// test runs once with LANG=en_US.UTF-8 and once with LANG=fr_FR.UTF-8).
#include <gtest/gtest.h>

#include <FL/Fl_Menu_.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Window.H>
#include <FL/fl_utf8.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "conversation/scripted_prompt.h"
#include "settings/translation.h"

namespace quelto {
namespace {

// The letter a label underlines ("&&" is a plain ampersand), folded as the
// toolkit folds it when it matches a key; 0 when none.
unsigned mnemonicOf(const char* label) {
  if (!label) return 0;
  for (const char* p = label; *p; ++p) {
    if (*p != '&') continue;
    if (p[1] == '&') {
      ++p;
      continue;
    }
    if (!p[1]) return 0;
    int length = 0;
    const unsigned code = fl_utf8decode(p + 1, p + 1 + std::strlen(p + 1), &length);
    return static_cast<unsigned>(fl_tolower(code));
  }
  return 0;
}

// Labels by the letter they underline, for one place where they are all
// active at once.
using Scope = std::map<unsigned, std::vector<std::string>>;

void add(Scope& scope, const char* label) {
  if (const unsigned m = mnemonicOf(label)) scope[m].push_back(label);
}

void expectDistinct(const Scope& scope, const std::string& where) {
  for (const auto& [letter, labels] : scope) {
    if (labels.size() < 2) continue;
    std::string all;
    for (const std::string& l : labels) all += " \"" + l + "\"";
    ADD_FAILURE() << where << ": one letter for" << all;
  }
}

// Each level of a menu: its items' letters, then each submenu's own.
void checkMenuLevel(const Fl_Menu_Item* item, const std::string& where) {
  Scope level;
  for (; item && item->label(); item = item->next()) {
    add(level, item->label());
    if (item->submenu()) {
      const Fl_Menu_Item* sub = (item->flags & FL_SUBMENU_POINTER)
                                    ? static_cast<const Fl_Menu_Item*>(item->user_data())
                                    : item + 1;
      checkMenuLevel(sub, where + " > " + item->label());
    }
  }
  expectDistinct(level, where);
}

// The widgets of one place; a tab group's pages each make a place of their
// own with everything outside the tabs.
void collect(Fl_Widget* widget, Scope& scope, std::vector<Fl_Group*>& pages,
             const std::string& where) {
  add(scope, widget->label());
  if (auto* menu = dynamic_cast<Fl_Menu_*>(widget)) {
    if (menu->menu()) {
      // A menu bar's titles answer Alt+letter in the whole window.
      if (dynamic_cast<Fl_Menu_Bar*>(menu))
        for (const Fl_Menu_Item* item = menu->menu(); item && item->label(); item = item->next())
          if (item->submenu()) add(scope, item->label());
      checkMenuLevel(menu->menu(), where + " menu");
    }
    return;
  }
  Fl_Group* group = widget->as_group();
  if (!group) return;
  if (dynamic_cast<Fl_Tabs*>(group)) {
    for (int i = 0; i < group->children(); ++i)
      if (Fl_Group* page = group->child(i)->as_group()) pages.push_back(page);
    return;
  }
  for (int i = 0; i < group->children(); ++i) collect(group->child(i), scope, pages, where);
}

TEST(Mnemonics, EveryLetterDoesOneThingInEachWindowAndMenuLevel) {
  ScriptedPrompt prompt;
  auto app = test::startApp(prompt, true);
  const char* lang = std::getenv("LANG");
  const bool french = lang && std::strncmp(lang, "fr", 2) == 0;
  ASSERT_EQ(currentLanguage(), french ? kLanguageFrench : kLanguageEnglish);

  std::vector<std::pair<const char*, Fl_Window*>> windows = app->keptWindows();
  windows.emplace_back("SplashWindow", app->splashWindow);
  int labelled = 0;
  for (const auto& [name, window] : windows) {
    Scope scope;
    std::vector<Fl_Group*> pages;
    collect(window, scope, pages, name);
    labelled += static_cast<int>(scope.size());
    expectDistinct(scope, name);
    for (Fl_Group* page : pages) {
      Scope pageScope = scope;
      std::vector<Fl_Group*> inner;
      for (int i = 0; i < page->children(); ++i)
        collect(page->child(i), pageScope, inner, std::string(name) + " / " + page->label());
      expectDistinct(pageScope, std::string(name) + " / " + (page->label() ? page->label() : ""));
    }
  }
  EXPECT_GT(labelled, 10) << "the walk found the windows' labels";
}

}  // namespace
}  // namespace quelto
