// Personal Preferences without a display: a window made of plain fields
// stands in for the toolkit's, the user's edits run while it is open, and
// the profile and the settings store are read afterwards.
#include "ui/forms/personal_preferences_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "conversation/scripted_prompt.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "tests/conversation/scratch_env.h"

namespace quelto {
namespace {

class FakeWindow : public PersonalPreferencesWindow {
 public:
  PersonalPreferencesValues fields;
  std::array<std::string, kProgrammedMessageCount> buttons;
  std::vector<std::string> list;
  bool listEnabled = true;
  int selected = 0;
  PhonebookEditor::Fields contact;
  bool open = false;
  int redrawn = 0;
  // What the user does while the window is open.
  std::function<void()> userActions;
  PersonalPreferencesController* controller = nullptr;

  void showValues(const PersonalPreferencesValues& values) override { fields = values; }
  PersonalPreferencesValues shownValues() const override { return fields; }
  void showMargins(const MarginTexts& margins) override { fields.margins = margins; }
  void showMessageLabel(int index, const std::string& label) override { buttons.at(index) = label; }
  void showContactList(const std::vector<std::string>& names) override {
    list = names;
    selected = 0;
  }
  void enableContactList(bool enabled) override { listEnabled = enabled; }
  void addContactLine(const std::string& name) override {
    list.push_back(name);
    listEnabled = true;
  }
  void renameContactLine(int line, const std::string& name) override { list.at(line - 1) = name; }
  void removeContactLine(int line) override { list.erase(list.begin() + (line - 1)); }
  void selectContactLine(int line) override { selected = line; }
  void showContactFields(const PhonebookEditor::Fields& f) override { contact = f; }
  void run() override {
    open = true;
    if (userActions) userActions();
    EXPECT_FALSE(open) << "the user's actions must close the window";
    open = false;
  }
  void close() override { open = false; }
  void applyProfile() override { controller->load(currentProfile()); }
  void redrawConversation() override { ++redrawn; }
};

class PersonalPreferencesControllerTest : public testing::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    setLanguage(kLanguageEnglish);
    window.controller = &controller;
    currentProfile().messages[1] = "GA";
    currentProfile().phonebook.append({"Ann", "0123", "sister"});
    currentProfile().phonebook.append({"Bob", "456", ""});
  }
  void TearDown() override {
    EXPECT_EQ(prompt.unanswered(), 0);
    EXPECT_EQ(prompt.pending(), 0u);
    ScratchTest::TearDown();
  }

  // The current profile as the settings store holds it.
  static Profile stored() {
    closeSettingsStore();
    Profile p;
    p.id = -1;
    readProfile(p, profileKey(currentProfile().id));
    return p;
  }

  ScriptedPrompt prompt;
  FakeWindow window;
  PersonalPreferencesController controller{prompt, window};
};

TEST_F(PersonalPreferencesControllerTest, OpenShowsTheProfileAndOkStoresTheEditsAtOnce) {
  EXPECT_EQ(controller.messageLabel(1), translate(Text::NotProgrammed));
  prompt.answerInput(std::string("Zoe")).answerInput(std::string("Annie"));
  window.userActions = [this] {
    EXPECT_EQ(window.fields.margins.top, "1.000000");
    EXPECT_EQ(window.buttons[1], "[F4] GA");
    EXPECT_EQ(window.list, (std::vector<std::string>{"Ann", "Bob"}));
    EXPECT_TRUE(window.listEnabled);
    EXPECT_EQ(window.selected, 1) << "opening selects the first contact";
    EXPECT_EQ(window.contact.telephone, "0123");
    EXPECT_TRUE(window.contact.enabled);

    window.fields.units = 1;
    controller.unitsChanged();
    EXPECT_EQ(window.fields.margins.left, "2.540000");
    window.fields.margins.bottom = "5";
    window.fields.messages[0] = "HELLO";
    controller.messageEdited(0, "HELLO");
    EXPECT_EQ(window.buttons[0], "[F3] HELLO");

    EXPECT_TRUE(controller.addContact());
    EXPECT_EQ(window.selected, 3);
    controller.editTelephone("789");
    controller.selectContact(1);
    controller.renameContact();
    EXPECT_EQ(window.list, (std::vector<std::string>{"Annie", "Bob", "Zoe"}));
    controller.selectContact(2);
    controller.removeContact();
    EXPECT_EQ(window.selected, 2) << "the next contact takes the removed one's place";
    EXPECT_EQ(window.contact.telephone, "789");
    EXPECT_TRUE(controller.accept());
  };
  controller.open();

  EXPECT_EQ(window.redrawn, 1);
  for (const Profile& p : {currentProfile(), stored()}) {
    EXPECT_EQ(p.units, 1);
    EXPECT_DOUBLE_EQ(p.leftMargin, 2.54);
    EXPECT_DOUBLE_EQ(p.bottomMargin, 5.0);
    EXPECT_EQ(p.messages[0], "HELLO");
    ASSERT_EQ(p.phonebook.size(), 2);
    EXPECT_EQ(p.phonebook.entry(0).name, "Annie");
    EXPECT_EQ(p.phonebook.entry(1).name, "Zoe");
    EXPECT_EQ(p.phonebook.entry(1).number, "789");
  }
  EXPECT_EQ(prompt.calls.at(1).extra.at(0), "Ann") << "the rename question offers the name";
}

TEST_F(PersonalPreferencesControllerTest, CancelGivesBackEveryEdit) {
  const Profile before = currentProfile();
  prompt.answerInput(std::string("Zoe"));
  window.userActions = [this] {
    window.fields.margins.top = "3";
    window.fields.messages[1] = "SK";
    controller.messageEdited(1, "SK");
    controller.addContact();
    controller.removeContact();
    controller.cancel();
  };
  controller.open();
  EXPECT_EQ(currentProfile(), before);
  EXPECT_EQ(window.fields.margins.top, "1.000000");
  EXPECT_EQ(window.buttons[1], "[F4] GA");
  EXPECT_EQ(window.list, (std::vector<std::string>{"Ann", "Bob"}));
  EXPECT_EQ(controller.contacts().workingCopy(), before.phonebook);
  EXPECT_EQ(stored().id, -1) << "nothing written";
}

// Margins that leave no printable area are refused at OK with the reason;
// the window stays open with the user's texts and nothing is stored. A text
// that does not read as a number keeps the profile's margin, so a bad stored
// margin is caught too.
TEST_F(PersonalPreferencesControllerTest, OkRefusesMarginsThatLeaveNoPrintableArea) {
  struct Case {
    int units;
    MarginTexts margins;
    double storedLeft;  // the profile's left margin, in inches, before the dialog
  };
  const Case cases[] = {
      {0, {"1", "6", "6", "1"}, 1.0},             // 21,388 pages on A4 before
      {0, {"1", "3.7", "3.7", "1"}, 1.0},         // 0.87 in across on A4
      {0, {"5", "1", "1", "5.1"}, 1.0},           // 0.9 in down on Letter
      {1, {"2.54", "10", "11.5", "2.54"}, 1.0},   // centimetres
      {2, {"150", "25.4", "25.4", "140"}, 1.0},   // millimetres
      {3, {"72", "300", "300", "72"}, 1.0},       // points
      {0, {"1", "not a number", "1", "1"}, 7.5},  // the kept margin is the bad one
      {0, {"1", "-9", "8", "1"}, 1.0},            // a negative left margin counts as none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.margins.left + " " + c.margins.right + " units " + std::to_string(c.units));
    currentProfile().leftMargin = c.storedLeft;
    const Profile before = currentProfile();
    prompt = ScriptedPrompt();
    window.userActions = [this, &c] {
      window.fields.units = c.units;
      window.fields.margins = c.margins;
      window.fields.messages[2] = "typed";
      EXPECT_FALSE(controller.accept());
      EXPECT_TRUE(window.open);
      EXPECT_EQ(window.fields.margins.left, c.margins.left) << "the user's text stays";
      controller.cancel();
    };
    controller.open();
    EXPECT_EQ(prompt.alerts(), std::vector<std::string>{translate(Text::MarginsLeaveNoRoom)});
    EXPECT_EQ(currentProfile(), before);
    EXPECT_EQ(stored().id, -1) << "nothing written";
  }

  // The same window takes margins that leave room once they are mended.
  currentProfile().leftMargin = 1.0;
  prompt = ScriptedPrompt();
  window.userActions = [this] {
    window.fields.margins = {"1", "3.6", "3.6", "1"};
    EXPECT_TRUE(controller.accept());
  };
  controller.open();
  EXPECT_TRUE(prompt.calls.empty());
  EXPECT_DOUBLE_EQ(stored().rightMargin, 3.6);
}

}  // namespace
}  // namespace quelto
