// The preference and profile dialogs with their real windows: what the
// pages show for a profile, what OK stores, what Cancel gives back, the
// phonebook page's selection rules, the margin units, the page buttons, the
// Global Preferences restart question and the profile edit and delete
// checks through a scripted prompt.
#include "ui/quelto_user_interface_impl.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app_fixture.h"
#include "audio/device_list.h"
#include "audio/sound_stream.h"
#include "conversation/activity_log.h"
#include "conversation/scripted_prompt.h"
#include "modem/modem_control.h"
#include "settings/profile.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "settings/translation_table.h"
#include "synthetic_events.h"

namespace quelto {
namespace {

using test::settle;
using test::typeText;
using What = FontMenuButton::Choice::What;

// What the user does while a modal window runs; it must end by closing it.
std::function<void()> userActions;

void whileOpen(std::function<void()> actions) {
  userActions = std::move(actions);
  Fl::add_timeout(0.02, [](void*) {
    settle();
    auto actions = std::move(userActions);
    actions();
  });
}

// The button of window whose (translated) label is english.
Fl_Button* button(Fl_Group* group, const char* english) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* w = group->child(i);
    if (w->label() && std::strcmp(w->label(), translate(english)) == 0)
      if (auto* b = dynamic_cast<Fl_Button*>(w)) return b;
    if (Fl_Group* g = w->as_group())
      if (Fl_Button* b = button(g, english)) return b;
  }
  return nullptr;
}

void press(Fl_Group* window, const char* english) {
  Fl_Button* b = button(window, english);
  ASSERT_NE(b, nullptr) << english;
  b->do_callback();
}

// Picks the item of a font menu as a click would (radio and toggle state
// included) and runs the menu's callback.
void pick(FontMenuButton* menu, What what, int value) {
  for (int i = 0; i < menu->size(); ++i) {
    const Fl_Menu_Item* item = &menu->menu()[i];
    const auto c = FontMenuButton::choiceOf(item);
    if (c && c->what == what && c->value == value) {
      menu->picked(item);
      return;
    }
  }
  ADD_FAILURE() << "no such item";
}

void type(Fl_Widget* input, const std::string& text) {
  Fl::focus(input);
  typeText(*input, text);
}

class PreferenceDialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prompt = new ScriptedPrompt;
    app = test::startApp(*prompt, false).release();
  }
  static void TearDownTestSuite() {
    delete app;
    delete prompt;
    app = nullptr;
  }
  void SetUp() override {
    *prompt = ScriptedPrompt();
    currentProfile() = Profile();
    profileList() = {Profile()};
    app->preferencesTabs->value(app->fontsColorsPage);
    app->applyProfileToInterface();
  }
  void TearDown() override {
    EXPECT_EQ(prompt->unanswered(), 0);
    EXPECT_EQ(prompt->pending(), 0u);
  }

  static ScriptedPrompt* prompt;
  static QueltoUserInterfaceImpl* app;
};

ScriptedPrompt* PreferenceDialogsTest::prompt = nullptr;
QueltoUserInterfaceImpl* PreferenceDialogsTest::app = nullptr;

TEST_F(PreferenceDialogsTest, UnitsConvertTheMarginsThenOkStoresThem) {
  whileOpen([] {
    app->preferencesTabs->value(app->printOptionsPage);
    EXPECT_STREQ(app->topMarginInput->value(), "1.000000");
    app->unitsChoice->value(1);
    app->unitsChoice->do_callback();
    EXPECT_STREQ(app->topMarginInput->value(), "2.540000");
    EXPECT_STREQ(app->bottomMarginInput->value(), "2.540000");
    app->unitsChoice->value(3);
    app->unitsChoice->do_callback();
    EXPECT_STREQ(app->topMarginInput->value(), "72.000000");
    EXPECT_STREQ(app->leftMarginInput->value(), "72.000000");
    // A field that is not a number is left as typed and keeps its margin.
    app->rightMarginInput->value("wide");
    press(app->personalPreferencesWindow, "OK");
  });
  app->showPersonalPreferences();
  EXPECT_FALSE(app->personalPreferencesWindow->shown());
  EXPECT_EQ(currentProfile().units, 3);
  EXPECT_DOUBLE_EQ(currentProfile().topMargin, 72.0);
  EXPECT_DOUBLE_EQ(currentProfile().bottomMargin, 72.0);
  EXPECT_DOUBLE_EQ(currentProfile().rightMargin, 1.0);
}

// Margins that leave no room to print: OK says why and the window stays
// open with what the user typed; nothing is stored until they are mended.
TEST_F(PreferenceDialogsTest, OkRefusesMarginsThatLeaveNoRoomToPrint) {
  const Profile before = currentProfile();
  whileOpen([before] {
    app->preferencesTabs->value(app->printOptionsPage);
    type(app->messageInput[0], "GA");
    app->leftMarginInput->value("6");
    app->rightMarginInput->value("6");
    press(app->personalPreferencesWindow, "OK");
    EXPECT_TRUE(app->personalPreferencesWindow->shown());
    EXPECT_STREQ(app->leftMarginInput->value(), "6");
    EXPECT_STREQ(app->messageInput[0]->value(), "GA");
    EXPECT_EQ(currentProfile(), before);
    app->leftMarginInput->value("2");
    app->rightMarginInput->value("2");
    press(app->personalPreferencesWindow, "OK");
  });
  app->showPersonalPreferences();
  EXPECT_FALSE(app->personalPreferencesWindow->shown());
  EXPECT_EQ(prompt->alerts(), std::vector<std::string>{translate(Text::MarginsLeaveNoRoom)});
  EXPECT_DOUBLE_EQ(currentProfile().leftMargin, 2.0);
  EXPECT_EQ(currentProfile().messages[0], "GA");
}

TEST_F(PreferenceDialogsTest, CancelGivesBackPreviewMessagesLabelsAndContacts) {
  currentProfile().messages[1] = "GA";
  PhonebookEntry kept{"Kept", "555", "notes"};
  currentProfile().phonebook.append(kept);
  const Profile before = currentProfile();
  prompt->answerInput(std::string("Zoe"));
  whileOpen([] {
    pick(app->sentFontMenu, What::Family, 2);
    pick(app->sentFontMenu, What::Size, 34);
    pick(app->receivedFontMenu, What::Capitals, 0);
    EXPECT_EQ(app->sentPreview->labelfont(), FL_TIMES);
    EXPECT_EQ(app->sentPreview->labelsize(), 34);
    EXPECT_STREQ(app->receivedPreview->label(), translate("received text"));
    press(app->personalPreferencesWindow, "Default B&&W");
    EXPECT_EQ(app->previewBackground->color(), 7u);

    type(app->messageInput[1], " SK");
    EXPECT_EQ(app->programmedMessageButtonLabel(1), "[F4] GA SK");
    EXPECT_STREQ(app->programmedMessageButton[1]->label(), "[F4] GA SK");

    press(app->personalPreferencesWindow, "&Add...");
    type(app->contactTelephone, "123");
    EXPECT_EQ(app->contactList->size(), 2);
    EXPECT_EQ(app->contactEditor().workingCopy().entry(1).number, "123");
    press(app->personalPreferencesWindow, "Cancel");
  });
  app->showPersonalPreferences();

  EXPECT_FALSE(app->personalPreferencesWindow->shown());
  EXPECT_EQ(currentProfile(), before);
  EXPECT_EQ(app->sentPreview->labelfont(), FL_HELVETICA);
  EXPECT_EQ(app->sentPreview->labelsize(), 18);
  EXPECT_STREQ(app->receivedPreview->label(), translate("RECEIVED TEXT"));
  EXPECT_TRUE(app->receivedFontMenu->capitals());
  EXPECT_EQ(app->previewBackground->color(), 246u);
  EXPECT_EQ(app->receivedPreview->labelcolor(), 138u);
  EXPECT_STREQ(app->messageInput[1]->value(), "GA");
  EXPECT_STREQ(app->programmedMessageButton[1]->label(), "[F4] GA");
  EXPECT_STREQ(app->programmedMessageButton[0]->label(), "[F3] ");
  ASSERT_EQ(app->contactList->size(), 1);
  EXPECT_STREQ(app->contactList->text(1), "Kept");
  EXPECT_EQ(app->contactEditor().workingCopy(), before.phonebook);
}

TEST_F(PreferenceDialogsTest, OkStoresFontsMessagesContactsAndTheBaudButton) {
  prompt->answerInput(std::string("Ann"));
  whileOpen([] {
    pick(app->sentFontMenu, What::Style, 3);
    pick(app->sentFontMenu, What::Capitals, 0);
    pick(app->bottomFontMenu, What::Size, 12);
    pick(app->printReceivedFontMenu, What::Capitals, 0);
    pick(app->printReceivedFontMenu, What::Family, 1);
    pick(app->printReceivedFontMenu, What::Size, 20);
    app->baudRateChoice->value(1);
    type(app->messageInput[0], "HELLO");
    press(app->personalPreferencesWindow, "&Add...");
    type(app->contactTelephone, "0123");
    type(app->contactNotes, "sister");
    press(app->personalPreferencesWindow, "OK");
  });
  app->showPersonalPreferences();
  const Profile& p = currentProfile();
  EXPECT_EQ(p.sentTextFace, 3);
  EXPECT_EQ(p.sentTextCapitals, 1);
  EXPECT_EQ(p.currentTextSize, 12);
  EXPECT_EQ(p.printReceivedTextCapitals, 0);
  EXPECT_EQ(p.printReceivedTextFace, 5) << "Courier, keeping the bold style";
  EXPECT_EQ(p.printReceivedTextSize, 20);
  EXPECT_EQ(p.defaultBaudRate, 2);
  EXPECT_STREQ(app->baudButton->label(), "50 &bauds");
  EXPECT_EQ(p.messages[0], "HELLO");
  ASSERT_EQ(p.phonebook.size(), 1);
  EXPECT_EQ(p.phonebook.entry(0).name, "Ann");
  EXPECT_EQ(p.phonebook.entry(0).number, "0123");
  EXPECT_EQ(p.phonebook.entry(0).notes, "sister");
  EXPECT_STREQ(app->printReceivedFontMenu->label(), translate("Received text font"));
}

// OK in each preference window writes the store there and then: a fresh
// connection reads the values back with no quit in between, so a crash
// afterwards keeps them.
TEST_F(PreferenceDialogsTest, OkWritesTheStoreAtOnce) {
  whileOpen([] {
    type(app->messageInput[4], "GA OR SK");
    app->baudRateChoice->value(1);
    press(app->personalPreferencesWindow, "OK");
  });
  app->showPersonalPreferences();
  closeSettingsStore();
  Profile stored;
  stored.id = -1;
  readProfile(stored, profileKey(0));
  EXPECT_EQ(stored.id, 0);
  EXPECT_EQ(stored.messages[4], "GA OR SK");
  EXPECT_EQ(stored.defaultBaudRate, 2);

  const bool muted = getSettingBool("MuteWaveOnQuit", false);
  whileOpen([muted] {
    app->muteOnQuitBox->value(muted ? 0 : 1);
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  closeSettingsStore();
  EXPECT_EQ(getSettingBool("MuteWaveOnQuit", muted), !muted);
  // OK wrote every global setting; the splash ones go back to unset for the
  // tests that read their defaults.
  for (const char* name : {"MuteWaveOnQuit", "ShowSlpashScreen", "SplashScreenDuration"})
    deleteSettingTree(name);
}

TEST_F(PreferenceDialogsTest, EnterPressesOkWhateverIsUnderTheMouse) {
  // The toolkit offers an unused Enter to the group under the mouse first,
  // and a page takes it to move the focus; the dialog's OK must get it.
  whileOpen([] {
    type(app->messageInput[2], "SK");
    Fl::belowmouse(app->messagesPage);
    test::pressKey(*app->messageInput[2], FL_Enter, "\r");
    Fl::handle(FL_KEYBOARD, app->personalPreferencesWindow);
    if (app->personalPreferencesWindow->shown()) {
      ADD_FAILURE() << "Enter did not press OK";
      press(app->personalPreferencesWindow, "Cancel");
    }
  });
  app->preferencesTabs->value(app->messagesPage);
  app->showPersonalPreferences();
  Fl::belowmouse(nullptr);
  EXPECT_EQ(currentProfile().messages[2], "SK");
}

TEST_F(PreferenceDialogsTest, DefaultColorThenOk) {
  whileOpen([] {
    press(app->personalPreferencesWindow, "Default B&&W");
    EXPECT_EQ(app->bottomTextPreview->labelcolor(), 7u);
    press(app->personalPreferencesWindow, "Default Color");
    press(app->personalPreferencesWindow, "OK");
  });
  currentProfile().receivedTextColor = 1;
  currentProfile().backgroundColor = 7;
  currentProfile().bottomBackgroundColor = 4;
  app->showPersonalPreferences();
  EXPECT_EQ(currentProfile().receivedTextColor, 138);
  EXPECT_EQ(currentProfile().backgroundColor, 246);
  EXPECT_EQ(currentProfile().sentTextColor, 0);
  EXPECT_EQ(currentProfile().currentTextColor, 3);
  EXPECT_EQ(currentProfile().bottomBackgroundColor, 0);
}

TEST_F(PreferenceDialogsTest, ContactSelectionRules) {
  for (const char* name : {"A", "B", "C"})
    currentProfile().phonebook.append({name, std::string(name) + "1", ""});
  prompt->answerInput(std::nullopt).answerInput(std::string("")).answerInput(std::string("Bee"));
  whileOpen([] {
    // Opening selects the first contact.
    EXPECT_EQ(app->contactList->value(), 1);
    EXPECT_STREQ(app->contactTelephone->value(), "A1");
    EXPECT_TRUE(app->removeContactButton->active());
    // A cancelled and an empty name add nothing.
    press(app->personalPreferencesWindow, "&Add...");
    press(app->personalPreferencesWindow, "&Add...");
    EXPECT_EQ(app->contactList->size(), 3);
    app->contactList->value(2);
    app->contactList->do_callback();
    press(app->personalPreferencesWindow, "&Rename...");
    EXPECT_STREQ(app->contactList->text(2), "Bee");
    // Removing the last line selects the new last line.
    app->contactList->value(3);
    app->contactList->do_callback();
    press(app->personalPreferencesWindow, "Re&move");
    EXPECT_EQ(app->contactList->value(), 2);
    EXPECT_STREQ(app->contactTelephone->value(), "B1");
    press(app->personalPreferencesWindow, "Re&move");
    press(app->personalPreferencesWindow, "Re&move");
    // The only contact removed: empty, inactive fields and buttons.
    EXPECT_EQ(app->contactList->size(), 0);
    EXPECT_STREQ(app->contactTelephone->value(), "");
    EXPECT_STREQ(app->contactNotes->value(), "");
    EXPECT_FALSE(app->contactTelephone->active());
    EXPECT_FALSE(app->contactNotes->active());
    EXPECT_FALSE(app->renameContactButton->active());
    EXPECT_FALSE(app->removeContactButton->active());
    press(app->personalPreferencesWindow, "Re&move");  // nothing selected: nothing happens
    press(app->personalPreferencesWindow, "OK");
  });
  app->showPersonalPreferences();
  EXPECT_TRUE(currentProfile().phonebook.empty());
  ASSERT_EQ(prompt->calls.size(), 3u);
  EXPECT_EQ(prompt->calls[2].extra[0], "B") << "the rename question offers the current name";
}

TEST_F(PreferenceDialogsTest, PageButtonsWrapAndThePhonebookCommandOpensItsPage) {
  whileOpen([] {
    press(app->personalPreferencesWindow, "@<");
    EXPECT_EQ(app->preferencesTabs->value(), app->phonebookPage);
    press(app->personalPreferencesWindow, "@>");
    EXPECT_EQ(app->preferencesTabs->value(), app->fontsColorsPage);
    press(app->personalPreferencesWindow, "@>");
    EXPECT_EQ(app->preferencesTabs->value(), app->communicationPage);
    press(app->personalPreferencesWindow, "Cancel");
  });
  app->showPersonalPreferences();
  whileOpen([] {
    EXPECT_EQ(app->preferencesTabs->value(), app->phonebookPage);
    EXPECT_FALSE(app->contactList->active()) << "no contacts";
    app->personalPreferencesWindow->do_callback();  // the close box cancels
  });
  app->showPhonebook();
  EXPECT_FALSE(app->personalPreferencesWindow->shown());
}

TEST_F(PreferenceDialogsTest, GlobalPreferencesAskToRestartOnlyOnARealLanguageChange) {
  int restarts = 0;
  app->setRestarter([&restarts] { ++restarts; });
  const int running = currentLanguage();
  const int other = 1 - running;

  // The same language: everything stored, no question.
  whileOpen([] {
    EXPECT_EQ(app->languageChoice->value(), currentLanguage());
    EXPECT_FALSE(app->disableSplashBox->value());
    EXPECT_DOUBLE_EQ(app->splashDurationOutput->value(), 1.1);
    EXPECT_DOUBLE_EQ(app->splashDurationSlider->value(), 3.0);
    EXPECT_EQ(app->inputDeviceChoice->value(), 0);
    app->confirmFileQuitBox->value(1);
    app->splashDurationSlider->value(0.5);
    app->splashDurationSlider->do_callback();
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  EXPECT_TRUE(prompt->calls.empty());
  EXPECT_TRUE(getSettingBool("ConfirmFileQuit", false));
  EXPECT_DOUBLE_EQ(getSettingDouble("SplashScreenDuration", 0), 0.5);
  EXPECT_EQ(getSettingString("Language", ""), languageName(running));
  EXPECT_EQ(getSettingString("WaveInputDevice", ""), "Default");

  // The other language, answered No: stored, shown next time, no restart.
  prompt->answerChoice(0);
  whileOpen([other] {
    app->languageChoice->value(other);
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  ASSERT_EQ(prompt->calls.size(), 1u);
  EXPECT_EQ(prompt->calls[0].text, translate(Text::RestartQuestion));
  EXPECT_EQ(prompt->calls[0].extra[1], translate(Text::Yes));
  EXPECT_EQ(getSettingString("Language", ""), languageName(other));
  EXPECT_EQ(restarts, 0);
  EXPECT_EQ(currentLanguage(), running);

  // Cancel stores nothing; then Yes restarts.
  whileOpen([other] {
    EXPECT_EQ(app->languageChoice->value(), other);
    app->confirmFileQuitBox->value(0);
    press(app->globalPreferencesWindow, "Cancel");
  });
  app->showGlobalPreferences();
  EXPECT_TRUE(getSettingBool("ConfirmFileQuit", false));
  prompt->answerChoice(1);
  whileOpen([] { press(app->globalPreferencesWindow, "OK"); });
  app->showGlobalPreferences();
  EXPECT_EQ(restarts, 1);

  // Back to the running language: no question.
  *prompt = ScriptedPrompt();
  whileOpen([running] {
    app->languageChoice->value(running);
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  EXPECT_TRUE(prompt->calls.empty());
  app->setRestarter(nullptr);
  setSettingBool("ConfirmFileQuit", false);
}

TEST_F(PreferenceDialogsTest, ActivityLogSwitchTakesEffectAtOnce) {
  char scratch[] = "/tmp/quelto-state-XXXXXX";
  ASSERT_NE(mkdtemp(scratch), nullptr);
  setenv("XDG_STATE_HOME", scratch, 1);
  const std::string folder = std::string(scratch) + "/quelto/logs/";
  deleteSettingTree("LogFilePrefix");
  stopActivityLog();

  whileOpen([] {
    EXPECT_FALSE(app->activityLogBox->value());
    app->activityLogBox->value(1);
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  EXPECT_EQ(getSettingString("LogFilePrefix", ""), folder);
  EXPECT_TRUE(activityLogEnabled());
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  logEvent(LogCode::Sent, 'A');
  const std::string logFile = activityLogPath();
  EXPECT_EQ(logFile.rfind(folder, 0), 0u) << logFile;
  EXPECT_TRUE(std::filesystem::is_regular_file(logFile));

  whileOpen([] {
    EXPECT_TRUE(app->activityLogBox->value());
    app->activityLogBox->value(0);
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  EXPECT_EQ(getSettingString("LogFilePrefix", "unset"), "");
  EXPECT_FALSE(activityLogEnabled());
  EXPECT_EQ(activityLogPath(), "");
  logEvent(LogCode::Sent, 'B');
  EXPECT_EQ(activityLogPath(), "");

  unsetenv("XDG_STATE_HOME");
  std::filesystem::remove_all(scratch);
  for (const char* name : {"ShowSlpashScreen", "SplashScreenDuration"}) deleteSettingTree(name);
}

// Every Alt+letter of the window reaches one control, in both languages.
TEST_F(PreferenceDialogsTest, GlobalPreferencesMnemonicsDoNotClash) {
  std::vector<std::string> shown;
  std::function<void(Fl_Widget*)> collect = [&](Fl_Widget* w) {
    if (w->label() && std::strchr(w->label(), '&')) shown.push_back(w->label());
    if (Fl_Group* g = w->as_group())
      for (int i = 0; i < g->children(); ++i) collect(g->child(i));
  };
  collect(app->globalPreferencesWindow);
  ASSERT_GE(shown.size(), 8u);
  const auto letter = [](const std::string& label) {
    const size_t at = label.find('&');
    const unsigned char c = static_cast<unsigned char>(label[at + 1]);
    if (c < 0x80) return std::string(1, static_cast<char>(std::tolower(c)));
    return label.substr(at + 1, 2);
  };
  for (const bool french : {false, true}) {
    std::map<std::string, std::string> owner;
    for (const std::string& label : shown) {
      const TranslationRow* row = nullptr;
      for (const TranslationRow& r : translationRows())
        if (label == r.english || label == r.french) row = &r;
      ASSERT_NE(row, nullptr) << label;
      const std::string text = french ? row->french : row->english;
      const auto [it, fresh] = owner.emplace(letter(text), text);
      EXPECT_TRUE(fresh) << text << " and " << it->second;
    }
  }
}

TEST_F(PreferenceDialogsTest, DeviceChoicesListTheDevicesAndMakeThemCurrent) {
  // Names as the sound system gives them, with characters the menu would
  // otherwise read as submenus and shortcuts.
  DeviceLists lists({"hw:0,0 Line/In", "USB & Co"}, {"Speakers"});
  app->setDeviceLists(&lists);
  setSettingString("WaveInputDevice", "USB & Co");
  setSettingString("WaveOutputDevice", "A card that was unplugged");
  whileOpen([] {
    ASSERT_EQ(app->inputDeviceChoice->size() - 1, 3);
    EXPECT_STREQ(app->inputDeviceChoice->text(1), "hw:0,0 Line/In");
    EXPECT_EQ(app->inputDeviceChoice->value(), 2);
    // A vanished device stays chosen, shown as not found after the list.
    ASSERT_EQ(app->outputDeviceChoice->size() - 1, 3);
    EXPECT_EQ(app->outputDeviceChoice->value(), 2);
    const std::string notFound =
        deviceChoiceLabel("A card that was unplugged", {}, translate(Text::SoundDeviceNotFound));
    EXPECT_NE(notFound.find("A card that was unplugged"), std::string::npos);
    EXPECT_EQ(app->outputDeviceChoice->text(2), notFound);
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  EXPECT_EQ(getSettingString("WaveInputDevice", ""), "USB & Co");
  EXPECT_EQ(getSettingString("WaveOutputDevice", ""), "A card that was unplugged")
      << "OK keeps a missing device that the user did not change";
  EXPECT_EQ(streamOptions().outputDevice.get(), "A card that was unplugged");

  // Once it is back it is an ordinary entry.
  DeviceLists back({"hw:0,0 Line/In", "USB & Co"}, {"Speakers", "A card that was unplugged"});
  app->setDeviceLists(&back);
  whileOpen([] {
    ASSERT_EQ(app->outputDeviceChoice->size() - 1, 3);
    EXPECT_EQ(app->outputDeviceChoice->value(), 2);
    EXPECT_STREQ(app->outputDeviceChoice->text(2), "A card that was unplugged");
    press(app->globalPreferencesWindow, "Cancel");
  });
  app->showGlobalPreferences();

  // Choosing another device replaces it.
  app->setDeviceLists(&lists);
  whileOpen([] {
    app->inputDeviceChoice->value(1);
    app->outputDeviceChoice->value(1);
    press(app->globalPreferencesWindow, "OK");
  });
  app->showGlobalPreferences();
  EXPECT_EQ(getSettingString("WaveInputDevice", ""), "hw:0,0 Line/In");
  EXPECT_EQ(getSettingString("WaveOutputDevice", ""), "Speakers");
  EXPECT_EQ(streamOptions().inputDevice.get(), "hw:0,0 Line/In");
  EXPECT_EQ(streamOptions().outputDevice.get(), "Speakers");
  app->setDeviceLists(nullptr);
  streamOptions().inputDevice.set("");
  streamOptions().outputDevice.set("");
}

TEST_F(PreferenceDialogsTest, SplashFollowsItsDuration) {
  setSettingDouble("SplashScreenDuration", 0.0);
  app->showSplash();
  EXPECT_FALSE(app->splashWindow->shown());
  setSettingDouble("SplashScreenDuration", 0.05);
  bool seen = false;
  userActions = [&seen] { seen = app->splashWindow->shown(); };
  Fl::add_timeout(0.01, [](void*) { userActions(); });
  app->showSplash();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(app->splashWindow->shown()) << "hidden by its timer";
  setSettingBool("ShowSlpashScreen", false);
  app->showSplash();
  EXPECT_FALSE(app->splashWindow->shown());
  setSettingBool("ShowSlpashScreen", true);
}

TEST_F(PreferenceDialogsTest, EditProfileChecksInOrder) {
  // The default profile: translated name, name and passwords inactive.
  whileOpen([] {
    EXPECT_STREQ(app->editProfileName->value(), translate("Default"));
    EXPECT_FALSE(app->editProfileName->active());
    EXPECT_FALSE(app->editProfileOldPassword->active());
    EXPECT_FALSE(app->editProfileNewPassword->active());
    app->editProfileFirstName->value("Jean");
    press(app->editProfileWindow, "OK");
  });
  app->showEditProfile();
  EXPECT_EQ(currentProfile().name, translate("Default"));
  EXPECT_EQ(currentProfile().firstName, "Jean");

  currentProfile().id = 1700000000;
  currentProfile().name = "Bob";
  currentProfile().password = "old";
  struct Step {
    const char *name, *oldPassword, *newPassword, *confirmation, *alert;
  };
  static const Step steps[] = {
      {"", "", "", "", "You must supply a name!"},
      {"Rob", "bad", "", "", "Wrong password!"},
      {"Rob", "old", "new", "neW", "Passwords don't match !"},
      {"Rob", "old", "new", "new", nullptr},
  };
  whileOpen([] {
    EXPECT_TRUE(app->editProfileName->active());
    EXPECT_TRUE(app->editProfileOldPassword->active());
    for (const Step& s : steps) {
      app->editProfileName->value(s.name);
      app->editProfileOldPassword->value(s.oldPassword);
      app->editProfileNewPassword->value(s.newPassword);
      app->editProfileNewPasswordConfirm->value(s.confirmation);
      press(app->editProfileWindow, "OK");
      EXPECT_EQ(app->editProfileWindow->shown(), s.alert != nullptr) << s.name << s.confirmation;
    }
  });
  app->showEditProfile();
  EXPECT_EQ(prompt->alerts(), (std::vector<std::string>{translate("You must supply a name!"),
                                                        translate("Wrong password!"),
                                                        translate("Passwords don't match !")}));
  EXPECT_EQ(currentProfile().name, "Rob");
  EXPECT_EQ(currentProfile().password, "new");
}

TEST_F(PreferenceDialogsTest, CreateProfileChecksInOrder) {
  whileOpen([] {
    const char* fields[][3] = {{"", "", ""}, {"Eve", "pw1", "pw2"}, {"Eve", "pw", "pw"}};
    for (auto& f : fields) {
      app->createProfileName->value(f[0]);
      app->createProfilePassword->value(f[1]);
      app->createProfilePasswordConfirm->value(f[2]);
      press(app->createProfileWindow, "OK");
    }
  });
  app->showCreateProfile();
  EXPECT_EQ(prompt->alerts(), (std::vector<std::string>{translate("You must supply a name!"),
                                                        translate("Passwords don't match !")}));
  ASSERT_EQ(profileList().size(), 2u);
  EXPECT_EQ(profileList().back().name, "Eve");
  EXPECT_EQ(getSettingInt("NProfiles", 0), 2);
}

TEST_F(PreferenceDialogsTest, DeleteRefusalsAndPasswords) {
  Profile current;
  current.id = 1700000000;
  current.name = "Me";
  Profile guarded;
  guarded.id = 1700000001;
  guarded.name = "Guarded";
  guarded.password = "pw";
  profileList() = {Profile(), current, guarded};
  currentProfile() = current;
  prompt->answerPassword(std::string("no")).answerPassword(std::string("pw"));
  whileOpen([] {
    ASSERT_EQ(app->deleteProfileList->size(), 3);
    EXPECT_STREQ(app->deleteProfileList->text(1), "Default");
    for (int line : {1, 2, 3, 3}) {
      app->deleteProfileList->value(line);
      app->deleteProfileList->do_callback();
    }
  });
  app->showDeleteProfile();
  EXPECT_EQ(prompt->alerts(),
            (std::vector<std::string>{translate("You cannot delete the default profile!"),
                                      translate("You cannot delete the current profile!")}));
  EXPECT_EQ(profileList().size(), 2u);
  EXPECT_EQ(getSettingString("Profiles", ""), "0,1700000000");
  EXPECT_FALSE(app->deleteProfileWindow->shown());

  // With the default profile current no password is asked.
  profileList().push_back(guarded);
  currentProfile() = Profile();
  *prompt = ScriptedPrompt();
  whileOpen([] {
    app->deleteProfileList->value(3);
    app->deleteProfileList->do_callback();
  });
  app->showDeleteProfile();
  EXPECT_TRUE(prompt->calls.empty());
  EXPECT_EQ(profileList().size(), 2u);
}

}  // namespace
}  // namespace quelto
