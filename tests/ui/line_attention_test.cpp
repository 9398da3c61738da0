// The window side of line events: the status text and log heading of each
// change, the urgency hint on the main window's X11 hints while the program
// is not focused, and the band flash. Real widgets under Xvfb.
#include <gtest/gtest.h>

#include "ui/line_attention.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
// After gtest: Xlib's macros clash with gtest names.
#include <FL/x.H>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "conversation/activity_log.h"
#include "settings/translation.h"
#include "settings/translation_table.h"
#include "synthetic_events.h"

namespace quelto {
namespace {

class LineAttentionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelto-attention-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    window = std::make_unique<Fl_Double_Window>(400, 200, "attention test");
    view = new ConversationView(10, 10, 380, 180);
    window->end();
    window->show();
    window->wait_for_expose();
    test::settle();
    attention = std::make_unique<LineAttention>(*window, *view);
  }
  void TearDown() override {
    attention.reset();
    window.reset();
    test::settle();
    stopActivityLog();
    std::filesystem::remove_all(dir);
  }

  bool urgencyHintSet() const {
    XWMHints* hints = XGetWMHints(fl_display, fl_xid(window.get()));
    const bool set = hints && (hints->flags & XUrgencyHint) != 0;
    if (hints) XFree(hints);
    return set;
  }
  static void waitSeconds(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) Fl::wait(0.02);
  }

  std::filesystem::path dir;
  std::unique_ptr<Fl_Double_Window> window;
  ConversationView* view = nullptr;
  std::unique_ptr<LineAttention> attention;
};

TEST_F(LineAttentionTest, TextInTheBackgroundSetsTheUrgencyHintUntilTheFocusComes) {
  Fl::focus(nullptr);  // another program has the keyboard
  attention->update(LineEvent::Quiet, true);
  EXPECT_TRUE(attention->urgent());
  EXPECT_TRUE(urgencyHintSet());
  attention->update(LineEvent::Quiet, false);
  EXPECT_TRUE(urgencyHintSet()) << "kept while the program is still in the background";

  Fl::focus(view);
  attention->update(LineEvent::Quiet, false);
  EXPECT_FALSE(attention->urgent());
  EXPECT_FALSE(urgencyHintSet());

  attention->update(LineEvent::Quiet, true);
  EXPECT_FALSE(urgencyHintSet()) << "text read in the focused window asks for nothing";
}

TEST_F(LineAttentionTest, FirstTextAfterQuietInvertsTheBandForHalfASecond) {
  const ConversationDisplay before = view->display();
  ASSERT_NE(before.bottomBackground, before.currentColor);
  Fl::focus(view);
  attention->update(LineEvent::Quiet, true);
  ASSERT_TRUE(attention->flashing());
  EXPECT_EQ(view->display().bottomBackground, before.currentColor);
  EXPECT_EQ(view->display().currentColor, before.bottomBackground);
  waitSeconds(0.3);
  EXPECT_TRUE(attention->flashing());
  waitSeconds(0.4);
  EXPECT_FALSE(attention->flashing());
  EXPECT_EQ(view->display().bottomBackground, before.bottomBackground);
  EXPECT_EQ(view->display().currentColor, before.currentColor);

  attention->update(LineEvent::Quiet, true);
  EXPECT_FALSE(attention->flashing()) << "the line was not quiet for 10 s";
}

TEST_F(LineAttentionTest, EachChangeIsNamedAndLoggedAndAnAnswerCallsForAttention) {
  startActivityLog((dir / "log-").string());
  Fl::focus(nullptr);
  EXPECT_TRUE(attention->update(LineEvent::Ringing, false));
  EXPECT_STREQ(attention->statusText(), translate(Text::Ringing));
  EXPECT_STREQ(englishText(Text::Ringing), "Ringing...");
  EXPECT_STREQ(findTranslationRow("Ringing...")->french, "Sonnerie...");
  EXPECT_FALSE(attention->urgent());
  EXPECT_FALSE(attention->update(LineEvent::Ringing, false));
  EXPECT_TRUE(attention->update(LineEvent::Voice, false));
  EXPECT_STREQ(attention->statusText(), translate(Text::VoiceOnTheLine));
  EXPECT_STREQ(findTranslationRow("Voice on the line")->french, "Voix sur la ligne");
  EXPECT_TRUE(attention->urgent()) << "someone answered";
  EXPECT_TRUE(attention->flashing());
  EXPECT_TRUE(attention->update(LineEvent::Quiet, false));
  EXPECT_EQ(attention->statusText(), nullptr);
  attention->update(LineEvent::DialTone, false);
  EXPECT_STREQ(attention->statusText(), translate(Text::DialTone));
  EXPECT_STREQ(findTranslationRow("Dial tone")->french, "Tonalité");
  attention->update(LineEvent::Busy, false);
  EXPECT_STREQ(attention->statusText(), translate(Text::Busy));
  EXPECT_STREQ(findTranslationRow("Busy")->french, "Occupé");
  attention->update(LineEvent::Reorder, false);
  EXPECT_STREQ(attention->statusText(), translate(Text::Reorder));
  EXPECT_STREQ(findTranslationRow("Reorder")->french, "Encombrement");
  std::ifstream in(activityLogPath());
  std::stringstream text;
  text << in.rdbuf();
  std::string headings;
  for (std::string line; std::getline(text, line);)
    if (!line.empty() && line[0] == '\\') headings += line.substr(0, line.find(' ')) + " ";
  EXPECT_EQ(headings, "\\RINGING \\VOICE \\LINE_QUIET \\DIAL_TONE \\BUSY \\REORDER ");
}

}  // namespace
}  // namespace quelto
