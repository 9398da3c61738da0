// The application object with its real windows: key handling, programmed
// messages, Stop Sending, paste and copy, the status refresh rules and the
// file commands through a scripted prompt.
#include "ui/quelto_user_interface_impl.h"

#include <FL/Fl.H>
#include <FL/Fl_Scrollbar.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "app_fixture.h"
#include "conversation/scripted_prompt.h"
#include "modem/baudot.h"
#include "modem/modem_control.h"
#include "settings/profile.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "synthetic_events.h"
#include "ui/conversation_scrollbars.h"

namespace quelto {
namespace {

using test::focusWindow;
using test::pressKey;
using test::pressShortcut;
using test::sendKey;
using test::settle;
using test::typeText;

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prompt = new ScriptedPrompt;
    app = test::startApp(*prompt, true).release();
  }
  static void TearDownTestSuite() {
    delete app;
    delete prompt;
    app = nullptr;
  }
  void SetUp() override {
    view().clearing = true;
    view().clearConversation();
    view().clearing = false;
    view().conversation.modified = 0;
    view().conversation.fileName.clear();
    *prompt = ScriptedPrompt();
    modem().clearSendQueue();
    currentProfile() = Profile();
  }

  static ConversationView& view() { return *app->conversationView; }
  static ModemControl& modem() { return app->modem(); }
  static std::string queued() {
    std::string s;
    for (const QueuedChar& q : ModemControl::Lock(modem()).sendQueue())
      s += static_cast<char>(q.character);
    return s;
  }
  static std::string shown() {
    std::string s;
    for (auto& l : view().conversation.lines) s += l->text.substr(1);
    return s;
  }

  static ScriptedPrompt* prompt;
  static QueltoUserInterfaceImpl* app;
};

ScriptedPrompt* MainWindowTest::prompt = nullptr;
QueltoUserInterfaceImpl* MainWindowTest::app = nullptr;

// Hiding a bar gives its 16 pixels back to the conversation area and to the
// other bar; showing both again restores the start-up geometry, whatever
// the order.
TEST_F(MainWindowTest, ScrollBarsHideAndShowOneAxisAtATime) {
  using Axis = ConversationScrollbars::Axis;
  ConversationScrollbars& bars = app->scrollbars();
  Fl_Group* area = app->conversationGroup;
  ASSERT_NE(bars.bar(Axis::Horizontal), nullptr);
  ASSERT_NE(bars.bar(Axis::Vertical), nullptr);
  const int w = area->w(), h = area->h();
  const int hLength = bars.bar(Axis::Horizontal)->w(), vLength = bars.bar(Axis::Vertical)->h();

  bars.show(Axis::Horizontal, false);
  bars.show(Axis::Horizontal, false);  // already hidden: nothing moves
  EXPECT_EQ(bars.bar(Axis::Horizontal), nullptr);
  EXPECT_EQ(app->conversationView->horizontalScrollbar(), nullptr);
  EXPECT_EQ(area->h(), h + 16);
  EXPECT_EQ(bars.bar(Axis::Vertical)->h(), vLength + 16);

  bars.show(Axis::Vertical, false);
  EXPECT_EQ(app->conversationView->verticalScrollbar(), nullptr);
  EXPECT_EQ(area->w(), w + 16);

  bars.show(Axis::Vertical, true);
  bars.show(Axis::Horizontal, true);
  bars.show(Axis::Horizontal, true);  // already shown: nothing moves
  EXPECT_EQ(area->w(), w);
  EXPECT_EQ(area->h(), h);
  EXPECT_EQ(bars.bar(Axis::Horizontal)->w(), hLength);
  EXPECT_EQ(bars.bar(Axis::Vertical)->h(), vLength);
  EXPECT_EQ(app->conversationView->horizontalScrollbar(), bars.bar(Axis::Horizontal));
  EXPECT_EQ(app->conversationView->verticalScrollbar(), bars.bar(Axis::Vertical));
}

TEST_F(MainWindowTest, TheAtSignIsSpelledOutInEachLanguage) {
  struct Case {
    int language;
    const char* sent;
  } cases[] = {{kLanguageEnglish, "(at)"}, {kLanguageFrench, "(a)"}};
  for (const Case& c : cases) {
    SetUp();
    setLanguage(c.language);
    pressKey(view(), '2', "@");
    EXPECT_EQ(queued(), c.sent);
    EXPECT_EQ(shown(), c.sent);
  }
  setLanguage(kLanguageEnglish);
}

TEST_F(MainWindowTest, KeysThatSendAndKeysThatDoNot) {
  pressKey(view(), 'h', "\x08", FL_CTRL);  // Ctrl+H is no backspace
  EXPECT_EQ(queued(), "");
  pressKey(view(), FL_BackSpace, "\x08");  // nothing to erase, 8 still sent
  EXPECT_EQ(queued(), std::string("\x08"));
  EXPECT_EQ(shown(), "");
  typeText(view(), "AB\r");
  EXPECT_EQ(queued(), std::string("\x08"
                                  "AB\r"));
  EXPECT_EQ(shown(), "AB\n");
  pressKey(view(), FL_Delete, "");
  EXPECT_EQ(shown(), "AB") << "Delete erased the line feed";
  EXPECT_EQ(pressKey(view(), FL_Escape, "\x1b"), 1) << "Escape is swallowed";
  EXPECT_EQ(pressKey(view(), 'b', "", FL_ALT), 0) << "Alt+B goes on to the menu bar";
  EXPECT_EQ(pressKey(view(), 'n', "\x0e", FL_CTRL), 0) << "Ctrl+N goes on to the menu bar";
  EXPECT_EQ(pressKey(view(), 'e', "\xc3\xa9"), 1) << "an accented letter is sendable";
  EXPECT_EQ(queued().back(), '\xe9');
}

TEST_F(MainWindowTest, FunctionKeysSendTheirProgrammedMessage) {
  currentProfile().messages[2] = "GA SK";
  // The view asks the keyboard whether F5 is held, so hold it for real.
  test::holdKey(FL_F + 5, true);
  EXPECT_EQ(pressKey(view(), FL_F + 5, ""), 1);
  test::holdKey(FL_F + 5, false);
  settle();
  EXPECT_EQ(queued(), "GA SK");
  EXPECT_EQ(shown(), "GA SK");

  currentProfile().messages[2].clear();
  app->sendProgrammedMessage(2);
  app->sendProgrammedMessage(10);
  EXPECT_EQ(queued(), "GA SK") << "an empty or unknown message sends nothing";
}

TEST_F(MainWindowTest, StopSendingErasesOnlyOurTextTheModemHasNotTaken) {
  typeText(view(), "HI ");
  ASSERT_EQ(ModemControl::Lock(modem()).takeBatch(2), "HI");
  {
    ModemControl::Lock lock(modem());
    lock.deliverReceived('O');
    lock.deliverReceived('K');
  }
  app->refreshStatus();
  typeText(view(), "GO");
  ASSERT_EQ(shown(), "HI OKGO");
  app->stopSending();
  EXPECT_EQ(queued(), "HI") << "the batch on its way stays";
  EXPECT_EQ(shown(), "HIOK") << "our untaken ' GO' goes, the far end's OK stays";
  app->stopSending();
  EXPECT_EQ(shown(), "HIOK") << "nothing queued, nothing erased";

  // A typed backspace that erased a withdrawn character cancels it.
  typeText(view(), "AB");
  pressKey(view(), FL_BackSpace, "\x08");
  ASSERT_EQ(shown(), "HIOKA");
  app->stopSending();
  EXPECT_EQ(shown(), "HIOK");
  EXPECT_EQ(queued(), "HI");
}

TEST_F(MainWindowTest, PasteDropsCarriageReturns) {
  test::pasteText(view(), "A\r\nB");
  EXPECT_EQ(queued(), "A\nB");
  EXPECT_EQ(shown(), "A\nB");
}

TEST_F(MainWindowTest, CopyGivesTheWholeConversationWithWindowsLineEnds) {
  currentProfile().receivedTextCapitals = 1;
  {
    ModemControl::Lock lock(modem());
    for (char c : std::string("HELLO")) lock.deliverReceived(static_cast<unsigned char>(c));
  }
  app->refreshStatus();
  typeText(view(), "HI");
  EXPECT_EQ(ConversationView::clipboardText(view().conversation), "HELLO\r\nHI");
  // Through the real clipboard and back.
  app->editCopy();
  struct Receiver : Fl_Widget {
    Receiver() : Fl_Widget(0, 0, 1, 1) {}
    void draw() override {}
    int handle(int e) override {
      if (e == FL_PASTE) text.assign(Fl::event_text(), Fl::event_length());
      return 1;
    }
    std::string text;
  } receiver;
  Fl::paste(receiver, 1);
  for (int i = 0; i < 50 && receiver.text.empty(); ++i) Fl::wait(0.02);
  EXPECT_EQ(receiver.text, "HELLO\r\nHI");
}

TEST_F(MainWindowTest, StatusRefreshFollowsTheStateAndHoldsTheSoundcardMessage) {
  const char* ident = QueltoUserInterfaceImpl::identificationLine();
  auto status = [] { return std::string(app->statusText->label()); };
  struct Step {
    ModemState state;
    std::string text;
    Fl_Color meter;
  } steps[] = {
      {ModemState::Unavailable, translate(Text::CouldNotOpenSoundcard), 0},
      {ModemState::Sending, translate(Text::CouldNotOpenSoundcard), FL_GREEN},
      {ModemState::SignalPresent, translate(Text::CouldNotOpenSoundcard), FL_RED},
      {ModemState::Dialling, translate(Text::CouldNotOpenSoundcard), FL_YELLOW},
      {ModemState::Listening, ident, 0},
      {ModemState::Fault, translate(Text::SoundcardProblem), 0},
      {ModemState::Announcing, translate(Text::SoundcardProblem), FL_GREEN},
      {ModemState::Listening, ident, 0},
  };
  for (const Step& s : steps) {
    modem().state = static_cast<std::uint8_t>(s.state);
    app->refreshStatus();
    EXPECT_EQ(status(), s.text) << static_cast<int>(s.state);
    EXPECT_EQ(app->vuMeter->color(), s.meter) << static_cast<int>(s.state);
  }

  // While a signal lasts (state and shift unchanged) the meter follows the
  // input level at every refresh; received characters still arrive.
  modem().state = static_cast<std::uint8_t>(ModemState::SignalPresent);
  app->refreshStatus();
  app->vuMeter->mode(LevelMeter::BarMode);
  for (const std::uint8_t level : {90, 30, 200}) {
    modem().inputLevel = level;
    app->refreshStatus();
    EXPECT_EQ(app->vuMeter->value(), level);
  }
  ModemControl::Lock(modem()).deliverReceived('x');
  app->refreshStatus();
  EXPECT_EQ(shown(), "X");
}

TEST_F(MainWindowTest, BaudButtonTogglesAndLetterButtonOnlyActsInFigures) {
  const std::string first = app->baudButton->label();
  app->toggleBaud();
  EXPECT_NE(app->baudButton->label(), first);
  app->toggleBaud();
  EXPECT_EQ(app->baudButton->label(), first);

  modem().shift = LTRS;
  const auto requested = [] { return ModemControl::Lock(modem()).requestedShift(); };
  app->switchToFigures();
  EXPECT_EQ(requested(), FIGS);
  app->letterButton();
  EXPECT_EQ(requested(), FIGS) << "letters already: nothing asked";
  modem().shift = FIGS;
  app->letterButton();
  EXPECT_EQ(requested(), LTRS);
}

TEST_F(MainWindowTest, SaveAsThenOpenRestoresTheConversationAndTheTitle) {
  char dir[] = "/tmp/quelto-ui-files-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/call.tdd";
  typeText(view(), "HELLO GA\r");

  // File Info answers with its OK button while it runs.
  Fl::add_timeout(0.05, [](void*) { app->applyFileInfo(); });
  prompt->answerFile(path);
  app->fileSave();  // no name yet: Save As
  EXPECT_EQ(prompt->unanswered(), 0);
  EXPECT_EQ(app->title(), app->baseTitle() + "  -  [call.tdd]");
  EXPECT_EQ(view().conversation.modified, 0);
  const std::string saved = shown();

  app->fileNew();
  EXPECT_EQ(shown(), "");
  EXPECT_EQ(app->title(), app->baseTitle() + "  -  [Conversation1]");

  prompt->answerFile(path);
  app->fileOpen();
  EXPECT_EQ(shown(), saved);
  EXPECT_EQ(app->title(), app->baseTitle() + "  -  [call.tdd]");
  ASSERT_GE(prompt->calls.size(), 2u);
  EXPECT_EQ(prompt->calls.back().extra[2], std::string(dir) + "/call")
      << "offered without extension";

  EXPECT_EQ(view().conversation.modified, 0) << "just opened: nothing to save";

  // A cancelled chooser leaves the file, its name and the title alone.
  Fl::add_timeout(0.05, [](void*) { app->applyFileInfo(); });
  app->fileSaveAs();
  EXPECT_EQ(app->title(), app->baseTitle() + "  -  [call.tdd]");
  EXPECT_EQ(view().conversation.fileName, path);

  // Open asks like New when there is something to lose; Cancel keeps it.
  setSettingBool("ConfirmFileNew", true);
  typeText(view(), "MORE");
  const size_t asked = prompt->calls.size();
  prompt->answerChoice(0);
  app->fileOpen();
  ASSERT_EQ(prompt->calls.size(), asked + 1) << "asked, and no file chooser after Cancel";
  EXPECT_EQ(prompt->calls.back().text, translate(Text::NotSavedSaveChanges));
  EXPECT_NE(shown(), saved);
  setSettingBool("ConfirmFileNew", false);
  std::remove(path.c_str());
  std::remove(dir);
}

TEST_F(MainWindowTest, ASaveThatCannotBeWrittenSaysSoAndKeepsTheTextUnsaved) {
  // /proc takes no new files, even for root.
  typeText(view(), "HELLO GA\r");
  const std::string title = app->title();
  Fl::add_timeout(0.05, [](void*) { app->applyFileInfo(); });
  prompt->answerFile(std::string("/proc/call.tdd"));
  app->fileSaveAs();
  EXPECT_EQ(prompt->alerts(),
            std::vector<std::string>{translate("The file could not be written!")});
  EXPECT_EQ(view().conversation.modified, 1);
  EXPECT_EQ(app->title(), title) << "the title names the file the text is in";
  EXPECT_EQ(view().conversation.fileName, "");
}

TEST_F(MainWindowTest, FileInfoCancelChangesNothingAndAChangeIsUnsaved) {
  view().conversation.caller = "ALICE";
  Fl::add_timeout(0.05, [](void*) {
    app->callerInput->value("BOB");
    app->hideDialog(app->fileInfoWindow);
  });
  EXPECT_FALSE(app->showFileInfo());
  EXPECT_EQ(view().conversation.caller, "ALICE");
  EXPECT_EQ(view().conversation.modified, 0);

  Fl::add_timeout(0.05, [](void*) {
    app->callerInput->value("Zoë");
    app->putCurrentDate(false);
    app->outgoingCallBox->setonly();
    app->applyFileInfo();
  });
  EXPECT_TRUE(app->showFileInfo());
  EXPECT_EQ(view().conversation.caller, "Zo\xeb") << "stored as Windows-1252";
  EXPECT_FALSE(view().conversation.date.empty());
  EXPECT_EQ(view().conversation.incoming, 0);
  EXPECT_EQ(view().conversation.modified, 1);
}

TEST_F(MainWindowTest, TheSaveQuestionLoopsUntilSavedOrAnswered) {
  typeText(view(), "X");
  prompt->answerChoice(0);
  EXPECT_FALSE(app->askToSaveChanges()) << "Cancel, also what Escape answers";
  EXPECT_EQ(prompt->calls.back().extra,
            (std::vector<std::string>{translate(Text::Cancel), translate(Text::Yes),
                                      translate(Text::No)}));
  prompt->answerChoice(2);
  EXPECT_TRUE(app->askToSaveChanges()) << "No";
  // Yes, then the File Info window cancelled: still modified, asked again.
  Fl::add_timeout(0.05, [](void*) { app->hideDialog(app->fileInfoWindow); });
  prompt->answerChoice(1).answerChoice(2);
  EXPECT_TRUE(app->askToSaveChanges());
  EXPECT_EQ(prompt->calls.size(), 4u);
  view().conversation.modified = 0;
  EXPECT_TRUE(app->askToSaveChanges()) << "nothing to save: no question";
}

TEST_F(MainWindowTest, ProfileChooserNamesPasswordsAndCreation) {
  Profile nameless;
  Profile bob;
  bob.id = 1700000000;
  bob.name = "Bob";
  bob.password = "secret";
  Profile other;
  other.id = 1700000001;
  profileList() = {nameless, bob, other};
  app->fillProfileChooser();
  ASSERT_EQ(app->profileChooserList->size(), 3);
  EXPECT_STREQ(app->profileChooserList->text(1), "Default");
  EXPECT_STREQ(app->profileChooserList->text(2), "Bob");
  EXPECT_STREQ(app->profileChooserList->text(3), "NoName1");

  app->profileChooserWindow->show();
  prompt->answerPassword(std::string("wrong"));
  app->chooseProfile(2, true);
  EXPECT_TRUE(app->profileChooserWindow->shown()) << "a wrong password keeps the chooser";
  EXPECT_EQ(currentProfile().id, 0);
  prompt->answerPassword(std::string("secret"));
  app->chooseProfile(2, true);
  EXPECT_FALSE(app->profileChooserWindow->shown());
  EXPECT_EQ(currentProfile().name, "Bob");

  // "Create a new profile...": an empty name is refused and the window
  // stays; a good one is created, chosen without a password, and the
  // chooser closes.
  app->profileChooserWindow->show();
  Fl::add_timeout(0.05, [](void*) {
    app->applyCreateProfile();
    app->createProfileName->value("Carol");
    app->createProfilePassword->value("pw");
    app->createProfilePasswordConfirm->value("pw");
    app->applyCreateProfile();
  });
  app->createProfileFromChooser();
  EXPECT_EQ(prompt->alerts(), std::vector<std::string>{translate("You must supply a name!")});
  EXPECT_FALSE(app->createProfileWindow->shown());
  EXPECT_FALSE(app->profileChooserWindow->shown());
  EXPECT_EQ(profileList().size(), 4u);
  EXPECT_EQ(currentProfile().name, "Carol");
  EXPECT_EQ(prompt->unanswered(), 0) << "no password asked for the new profile";
}

TEST_F(MainWindowTest, SaveStateStoresGeometryMeterModeAndProfiles) {
  app->mainWindow->resize(100, 50, 515, 400);
  settle();
  app->vuMeter->mode(LevelMeter::LampMode);
  currentProfile().name = "Saved";
  app->saveState();
  app->vuMeter->mode(LevelMeter::BarMode);
  EXPECT_EQ(getSettingInt("UIVersion", 0), 34);
  EXPECT_EQ(getSettingString("MainWindow", ""), "515x400+100+50");
  EXPECT_FALSE(getSettingString("FileInfoWindow", "").empty());
  EXPECT_EQ(getSettingInt("VuMeterLed", -1), 1);
  EXPECT_EQ(getSettingString("profiles\\0\\name", ""), "Saved");
}

TEST_F(MainWindowTest, ShiftDeleteCutsAndShiftInsertPastesItBack) {
  typeText(view(), "AB");
  EXPECT_EQ(pressKey(view(), FL_Delete, "", FL_SHIFT), 1);
  EXPECT_EQ(shown(), "") << "cut cleared the conversation";
  EXPECT_EQ(queued(), "") << "and the send queue";
  EXPECT_EQ(pressKey(view(), FL_Insert, "", FL_SHIFT), 1);
  for (int i = 0; i < 50 && shown().empty(); ++i) Fl::wait(0.02);
  EXPECT_EQ(shown(), "AB");
  EXPECT_EQ(queued(), "AB");
  modem().forceFigures();
  EXPECT_EQ(pressKey(view(), 'i', "", FL_ALT), 1) << "Alt+I asks for letters";
  EXPECT_EQ(ModemControl::Lock(modem()).requestedShift(), LTRS);
}

TEST_F(MainWindowTest, TextSizeKeysResizeAllThreeTextsAndKeepTheSizesInTheProfile) {
  struct Case {
    int key;
    const char* text;
    int state;
    int step;
  } cases[] = {
      {'=', "=", FL_CTRL, 1},
      {'=', "+", FL_CTRL | FL_SHIFT, 1},  // Ctrl+Plus on a keyboard with '+' over '='
      {'+', "+", FL_CTRL, 1},             // a keyboard with a '+' key of its own
      {FL_KP + '+', "+", FL_CTRL, 1},
      {'-', "-", FL_CTRL, -1},
      {FL_KP + '-', "-", FL_CTRL, -1},
  };
  for (const Case& c : cases) {
    SetUp();
    SCOPED_TRACE(c.key);
    const Profile before = currentProfile();
    EXPECT_EQ(pressKey(view(), c.key, c.text, c.state), 1);
    EXPECT_EQ(currentProfile().sentTextSize, before.sentTextSize + 2 * c.step);
    EXPECT_EQ(currentProfile().receivedTextSize, before.receivedTextSize + 2 * c.step);
    EXPECT_EQ(currentProfile().currentTextSize, before.currentTextSize + 2 * c.step);
    EXPECT_EQ(view().display().sentSize, currentProfile().sentTextSize);
    EXPECT_EQ(view().display().receivedSize, currentProfile().receivedTextSize);
    EXPECT_EQ(view().display().currentSize, currentProfile().currentTextSize);
    EXPECT_EQ(queued(), "") << "the key sends nothing";
  }

  // With the focus elsewhere the Options menu's shortcuts do the same; the
  // sizes are in the settings store at once.
  SetUp();
  EXPECT_EQ(pressShortcut(*app->menuBar, '+', "+", FL_CTRL), 1);
  EXPECT_EQ(pressShortcut(*app->menuBar, '+', "+", FL_CTRL), 1);
  EXPECT_EQ(pressShortcut(*app->menuBar, '-', "-", FL_CTRL), 1);
  EXPECT_EQ(currentProfile().receivedTextSize, Profile().receivedTextSize + 2);
  EXPECT_EQ(getSettingInt("profiles\\0\\sentTextSize", 0), Profile().sentTextSize + 2);
  EXPECT_EQ(getSettingInt("profiles\\0\\receivedTextSize", 0), Profile().receivedTextSize + 2);
  EXPECT_EQ(getSettingInt("profiles\\0\\currentTextSize", 0), Profile().currentTextSize + 2);
}

TEST_F(MainWindowTest, TheProfileChooserWorksFromTheKeyboard) {
  Profile first;
  first.name = "Ann";
  Profile bob;
  bob.id = 1700000000;
  bob.name = "Bob";
  Profile carol;
  carol.id = 1700000001;
  carol.name = "Carol";
  carol.password = "pw";
  profileList() = {first, bob, carol};
  app->fillProfileChooser();
  Fl_Window& chooser = *app->profileChooserWindow;
  chooser.show();
  focusWindow(chooser);
  EXPECT_EQ(Fl::focus(), app->profileChooserList) << "the list takes the keys";
  EXPECT_EQ(app->profileChooserList->value(), 1) << "the first line is ready for Enter";

  // Arrows move the highlight and choose nothing; Enter chooses.
  sendKey(chooser, FL_Down, "");
  sendKey(chooser, FL_Down, "");
  sendKey(chooser, FL_Up, "");
  EXPECT_TRUE(chooser.shown());
  EXPECT_EQ(app->profileChooserList->value(), 2);
  EXPECT_EQ(prompt->calls.size(), 0u) << "no password asked while moving";
  EXPECT_EQ(sendKey(chooser, FL_Enter, "\r"), 1);
  EXPECT_FALSE(chooser.shown());
  EXPECT_EQ(currentProfile().name, "Bob");

  // A password still guards a profile chosen by keyboard; keypad Enter too.
  chooser.show();
  focusWindow(chooser);
  sendKey(chooser, FL_Down, "");
  sendKey(chooser, FL_Down, "");
  prompt->answerPassword(std::string("wrong"));
  sendKey(chooser, FL_KP_Enter, "\r");
  EXPECT_TRUE(chooser.shown());
  prompt->answerPassword(std::string("pw"));
  sendKey(chooser, FL_Enter, "\r");
  EXPECT_FALSE(chooser.shown());
  EXPECT_EQ(currentProfile().name, "Carol");
  EXPECT_EQ(prompt->unanswered(), 0);

  // Escape is the Quit button: the process ends at once with 0.
  chooser.show();
  focusWindow(chooser);
  EXPECT_EXIT(sendKey(chooser, FL_Escape, "\x1b"), ::testing::ExitedWithCode(0), "");
  chooser.hide();
}

TEST_F(MainWindowTest, EnterPressesOkInCreateAndEditProfile) {
  profileList() = {Profile()};
  Fl::add_timeout(0.05, [](void*) {
    focusWindow(*app->createProfileWindow);
    EXPECT_EQ(Fl::focus(), app->createProfileName);
    app->createProfileName->value("Dave");
    sendKey(*app->createProfileWindow, FL_Enter, "\r");
    // A window Enter did not close would keep the test waiting.
    if (app->createProfileWindow->shown()) app->hideDialog(app->createProfileWindow);
  });
  app->showCreateProfile();
  ASSERT_EQ(profileList().size(), 2u);
  EXPECT_EQ(profileList().back().name, "Dave");

  currentProfile() = profileList().back();
  Fl::add_timeout(0.05, [](void*) {
    focusWindow(*app->editProfileWindow);
    app->editProfileFirstName->value("David");
    sendKey(*app->editProfileWindow, FL_Enter, "\r");
    if (app->editProfileWindow->shown()) app->hideDialog(app->editProfileWindow);
  });
  app->showEditProfile();
  EXPECT_EQ(currentProfile().firstName, "David");
}

TEST_F(MainWindowTest, FileInfoOpensWithTheFocusInTheCallerField) {
  view().conversation.caller.clear();
  Fl::add_timeout(0.05, [](void*) {
    focusWindow(*app->fileInfoWindow);
    EXPECT_EQ(Fl::focus(), app->callerInput);
    // Typing goes into the field; the call direction stays as it was.
    const int incoming = app->incomingCallBox->value();
    typeText(*Fl::focus(), "io");
    EXPECT_STREQ(app->callerInput->value(), "io");
    EXPECT_EQ(app->incomingCallBox->value(), incoming);
    sendKey(*app->fileInfoWindow, FL_Enter, "\r");
    if (app->fileInfoWindow->shown()) app->hideDialog(app->fileInfoWindow);
  });
  EXPECT_TRUE(app->showFileInfo()) << "Enter presses OK";
  EXPECT_EQ(view().conversation.caller, "io");
}

}  // namespace
}  // namespace quelto
