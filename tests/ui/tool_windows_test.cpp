// The tool windows with the real application object: programmed-message
// buttons and their shortcuts, the dialling window and askNumberToDial, the
// vocal announcement, the diagnostic, the about and help windows, and the
// RTF export with its File Info step and chooser.
#include "ui/quelto_user_interface_impl.h"

#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "app_fixture.h"
#include "audio/announcements.h"
#include "audio/device_list.h"
#include "conversation/scripted_prompt.h"
#include "modem/modem_control.h"
#include "settings/profile.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "synthetic_events.h"
#include "text/text_encoding.h"

namespace quelto {
namespace {

using test::settle;

// Runs `action` from inside the event loop of the modal window that the
// code under test is about to run.
void whileModal(std::function<void()> action) {
  static std::function<void()> pending;
  pending = std::move(action);
  Fl::add_timeout(0.05, [](void*) { pending(); });
}

class ToolWindowsTest : public ::testing::Test {
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
    auto& view = *app->conversationView;
    view.clearing = true;
    view.clearConversation();
    view.clearing = false;
    *prompt = ScriptedPrompt();
    currentProfile() = Profile();
    ModemControl::Lock lock(modem());
    lock.clearSendQueue();
    lock.requestDial("");
    lock.finishAnnouncement();
  }

  static ModemControl& modem() { return app->modem(); }
  static std::string dialString() { return ModemControl::Lock(modem()).dialRequest(); }
  static std::string shown() {
    std::string s;
    for (auto& l : app->conversationView->conversation.lines) s += l->text.substr(1);
    return s;
  }

  static ScriptedPrompt* prompt;
  static QueltoUserInterfaceImpl* app;
};

ScriptedPrompt* ToolWindowsTest::prompt = nullptr;
QueltoUserInterfaceImpl* ToolWindowsTest::app = nullptr;

TEST_F(ToolWindowsTest, MessageButtonsSendTheirMessageOnFunctionKeys) {
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(app->programmedMessageButton[i]->shortcut(), FL_F + 3 + i) << i;
  currentProfile().messages[1] = "GA";
  currentProfile().messages[9] = "SK";
  app->showProgrammedMessages();
  settle();
  ASSERT_TRUE(app->programmedMessagesWindow->shown());
  // The keys arrive in the messages window with the mouse elsewhere; the
  // X server's own pointer and focus events would otherwise decide, late,
  // which window sees the shortcut first.
  Fl::belowmouse(nullptr);
  Fl::first_window(app->programmedMessagesWindow);
  for (int key : {FL_F + 4, FL_F + 12, FL_F + 5}) {  // F5: message 2 is empty
    Fl::e_keysym = key;
    Fl::e_state = 0;
    Fl::e_text = const_cast<char*>("");
    Fl::e_length = 0;
    Fl::handle(FL_SHORTCUT, app->programmedMessagesWindow);
  }
  std::string queued;
  for (const QueuedChar& q : ModemControl::Lock(modem()).sendQueue())
    queued += static_cast<char>(q.character);
  EXPECT_EQ(queued, "GASK");
  EXPECT_EQ(shown(), "GASK");
  app->programmedMessagesWindow->hide();
}

TEST_F(ToolWindowsTest, EditMessagesOpensPersonalPreferencesOnTheMessagesPage) {
  app->preferencesTabs->value(app->fontsColorsPage);
  bool sawMessagesPage = false;
  whileModal([&sawMessagesPage] {
    sawMessagesPage = app->personalPreferencesWindow->shown() &&
                      app->preferencesTabs->value() == app->messagesPage;
    app->cancelPersonalPreferences();
  });
  app->editProgrammedMessages();
  EXPECT_TRUE(sawMessagesPage);
  EXPECT_FALSE(app->personalPreferencesWindow->shown());
}

TEST_F(ToolWindowsTest, DiallingListShowsNumberAndNameAndDialsTheChosenContact) {
  currentProfile().phonebook.append({"Alice", "5551234", ""});
  currentProfile().phonebook.append({"Bob", "", "no number"});
  currentProfile().phonebook.append({"Carol", "0#9*1", ""});
  whileModal([] {
    ASSERT_EQ(app->diallingList->size(), 3);
    EXPECT_STREQ(app->diallingList->text(1), "5551234 : Alice");
    EXPECT_STREQ(app->diallingList->text(2), " : Bob");
    app->diallingList->value(3);
    app->diallingList->do_callback();
  });
  app->showDialling();
  EXPECT_FALSE(app->diallingWindow->shown());
  EXPECT_EQ(dialString(), "0#9*1");

  // A contact without a number closes the window and dials nothing.
  modem().requestDial("");
  whileModal([] {
    app->diallingList->value(2);
    app->diallingList->do_callback();
  });
  app->showDialling();
  EXPECT_FALSE(app->diallingWindow->shown());
  EXPECT_EQ(dialString(), "");
}

TEST_F(ToolWindowsTest, ManualDialDialsTypedTextOnlyAndTheListStartsEmptyEachTime) {
  whileModal([] {
    EXPECT_EQ(app->diallingList->size(), 0);
    app->dialManual();  // empty field
  });
  app->showDialling();
  EXPECT_EQ(dialString(), "");
  whileModal([] {
    EXPECT_STREQ(app->manualDialInput->value(), "");
    app->manualDialInput->value("3615");
    app->manualDialInput->do_callback();
  });
  app->showDialling();
  EXPECT_FALSE(app->diallingWindow->shown());
  EXPECT_EQ(dialString(), "3615");
}

TEST_F(ToolWindowsTest, AskNumberToDialOffersTheLastNumberAndIgnoresEmptyAnswers) {
  prompt->answerInput("0123").answerInput(std::string()).answerInput(std::nullopt);
  app->askNumberToDial();
  EXPECT_EQ(dialString(), "0123");
  modem().requestDial("");
  app->askNumberToDial();
  app->askNumberToDial();
  EXPECT_EQ(dialString(), "");
  ASSERT_EQ(prompt->calls.size(), 3u);
  EXPECT_EQ(prompt->calls[0].text, translate(Text::NumberToDial));
  EXPECT_EQ(prompt->calls[0].extra.at(0), "");
  EXPECT_EQ(prompt->calls[1].extra.at(0), "0123");
  EXPECT_EQ(prompt->calls[2].extra.at(0), "0123");
  EXPECT_EQ(app->lastDialledNumber(), "0123");
}

TEST_F(ToolWindowsTest, VocalAnnounceHandsTheSelectedRecordingOnceAndNothingWithoutSelection) {
  const auto& all = announcements();
  ASSERT_EQ(app->vocalAnnounceList->size(), static_cast<int>(all.size()));
  app->vocalAnnounceList->value(2);
  app->playVocalAnnounce();
  EXPECT_EQ(ModemControl::Lock(modem()).announcementSamples(), all[1].samples);
  EXPECT_EQ(ModemControl::Lock(modem()).announcementLength(), all[1].sampleCount);
  // Still pending: a second request changes nothing.
  app->vocalAnnounceList->value(1);
  app->playVocalAnnounce();
  EXPECT_EQ(ModemControl::Lock(modem()).announcementSamples(), all[1].samples);

  ModemControl::Lock(modem()).finishAnnouncement();
  app->vocalAnnounceList->deselect();
  app->playVocalAnnounce();
  EXPECT_EQ(ModemControl::Lock(modem()).announcementSamples(), nullptr);
}

TEST_F(ToolWindowsTest, DiagnosticWritesTheReportInTheInterfaceLanguageAsReceivedText) {
  const struct {
    int language;
    const char* inputNamed;
    const char* digital;
    const char* outputNotSet;
    const char* outputCount;
  } cases[] = {
      {kLanguageEnglish, "the input device is: usb digital interface\n\n",
       "seems to be a digital one", "the output device is not set in the preferences\n\n",
       "output devices on this computer"},
      {kLanguageFrench,
       "le p\xe9riph\xe9rique d'entr\xe9"
       "e est : usb digital interface\n\n",
       "semble \xeatre de type num\xe9rique",
       "le p\xe9riph\xe9rique de sortie n'est pas d\xe9"
       "fini dans les pr\xe9"
       "f\xe9rences\n\n",
       "p\xe9riph\xe9riques de sortie install\xe9s"},
  };
  DeviceLists lists({"USB DIGITAL Interface", "Built-in"}, {"Built-in"});
  setSettingString("WaveInputDevice", "USB DIGITAL Interface");
  setSettingString("WaveOutputDevice", "Default");
  currentProfile().receivedTextCapitals = 1;
  const int running = currentLanguage();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    setLanguage(c.language);
    app->conversationView->conversation.clear();
    app->setDeviceLists(&lists);
    app->diagnostic();
    app->setDeviceLists(nullptr);
    const auto& lines = app->conversationView->conversation.lines;
    ASSERT_FALSE(lines.empty());
    for (auto& l : lines) EXPECT_EQ(l->text[0], 1) << "not received: " << l->text;
    // Received text is case-folded by the profile, so compare without case
    // (the report is in Windows-1252, whose accented capitals sit 0x20 below).
    // Shown in capitals, accented letters included.
    EXPECT_EQ(shown(), cp1252ToUpper(shown()));
    std::string text = shown();
    for (char& ch : text) {
      const auto byte = static_cast<unsigned char>(ch);
      if (byte >= 0xc0 && byte <= 0xde && byte != 0xd7)
        ch = static_cast<char>(byte + 0x20);
      else
        ch = static_cast<char>(std::tolower(byte));
    }
    EXPECT_NE(text.find(c.inputNamed), std::string::npos) << text;
    EXPECT_NE(text.find(c.digital), std::string::npos) << text;
    // One output device besides "Default": no count.
    EXPECT_NE(text.find(c.outputNotSet), std::string::npos) << text;
    EXPECT_EQ(text.find(c.outputCount), std::string::npos) << text;
  }
  setLanguage(running);
  deleteSettingTree("WaveInputDevice");
  deleteSettingTree("WaveOutputDevice");
}

TEST_F(ToolWindowsTest, AboutShowsTheProgramTextsAndHelpHoldsTheManualOfTheLanguage) {
  EXPECT_EQ(std::string(app->aboutNameAndVersion->label()).rfind("Quelto ", 0), 0u);
  EXPECT_EQ(app->aboutNameAndVersion->labelfont(), FL_TIMES_BOLD);
  EXPECT_EQ(app->aboutNameAndVersion->labelsize(), 24);
  EXPECT_NE(std::string(app->aboutAddress->value()), "");
  EXPECT_TRUE(app->aboutAddress->readonly());
  whileModal([] {
    EXPECT_TRUE(app->aboutWindow->shown());
    app->aboutWindow->hide();
  });
  app->showAbout();

  // The store is fresh, so the language is French: the manual is Fr.fmt.
  ASSERT_GT(app->helpBrowser->size(), 50);
  std::ifstream fr(std::string(QUELTO_SOURCE_DIR) + "/res/Fr.fmt");
  std::string first;
  std::getline(fr, first);
  EXPECT_EQ(std::string(app->helpBrowser->text(1)), first);
  app->showManual();
  settle();
  EXPECT_TRUE(app->helpWindow->shown());
  app->helpWindow->hide();
}

TEST_F(ToolWindowsTest, RtfExportStopsAtFileInfoCancelAndWritesTheChosenFileAfterOk) {
  auto& c = app->conversationView->conversation;
  c.addReceived('H');
  c.addReceived('I');
  whileModal([] { app->hideDialog(app->fileInfoWindow); });
  app->exportRtf();
  EXPECT_TRUE(prompt->calls.empty());

  const std::string path = std::string(std::getenv("XDG_CONFIG_HOME")) + "/export.rtf";
  std::remove(path.c_str());
  prompt->answerFile(path);
  whileModal([] {
    app->callerInput->value("Bob");
    app->applyFileInfo();
  });
  app->exportRtf();
  ASSERT_EQ(prompt->calls.size(), 1u);
  const auto& call = prompt->calls[0];
  EXPECT_EQ(call.kind, ScriptedPrompt::Kind::ChooseFile);
  EXPECT_TRUE(call.save);
  EXPECT_EQ(call.text, translate(Text::SaveToRtf));
  EXPECT_EQ(call.extra.at(0), "rtf");
  EXPECT_EQ(call.extra.at(1), translate(Text::RtfFiles));
  std::ifstream in(path);
  std::stringstream rtf;
  rtf << in.rdbuf();
  EXPECT_EQ(rtf.str().rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.str().find(": Bob\\par"), std::string::npos);
  EXPECT_NE(rtf.str().find("HI\\par"), std::string::npos);
  EXPECT_TRUE(prompt->alerts().empty());

  // A place where no file can be written is reported, not passed over.
  prompt->answerFile(std::string("/proc/export.rtf"));
  whileModal([] { app->applyFileInfo(); });
  app->exportRtf();
  EXPECT_EQ(prompt->alerts(), std::vector<std::string>{translate(Text::FileNotWritten)});
}

}  // namespace
}  // namespace quelto
