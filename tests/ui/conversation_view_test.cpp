// What can go wrong in the conversation view: words moving from the band
// into the history, Enter, the clearing step, the resize reflow and the
// mouse selection. Real widgets under Xvfb, synthetic events.
#include <gtest/gtest.h>

#include "ui/conversation_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
// After gtest: it pulls in Xlib, whose macros clash with gtest names.
#include <FL/fl_draw.H>

#include <memory>
#include <string>

#include "conversation/scripted_prompt.h"
#include "modem/modem_control.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "synthetic_events.h"

namespace quelto {
namespace {

using test::settle;
using test::typeText;

class ConversationViewTest : public ::testing::Test {
 protected:
  void build(int width, int height) {
    window = std::make_unique<Fl_Double_Window>(width + 20, height + 20, "view test");
    view = new ConversationView(10, 10, width, height);
    window->end();
    window->resizable(view);
    view->setModem(&modem);
    view->setPrompt(&prompt);
    window->show();
    window->wait_for_expose();
    settle();
  }
  void TearDown() override {
    window.reset();
    settle();
  }

  std::string history(int fromEnd) const {
    const auto& lines = view->conversation.lines;
    return lines[lines.size() - 1 - fromEnd]->text.substr(1);
  }
  std::string current() const { return view->conversation.currentLine().text.substr(1); }
  std::string queued() {
    std::string s;
    for (const QueuedChar& q : ModemControl::Lock(modem).sendQueue())
      s += static_cast<char>(q.character);
    return s;
  }
  // Width of the band available before the current line overflows.
  int overflowWidth() const {
    fl_font(view->display().sentFace, view->display().currentSize);
    return view->w() - 6 - fl_height() - 1;
  }

  ModemControl modem;
  ScriptedPrompt prompt;
  std::unique_ptr<Fl_Double_Window> window;
  ConversationView* view = nullptr;
};

TEST_F(ConversationViewTest, ALongWordStaysInTheBandUntilItOverflowsThenMovesIntoTheHistory) {
  build(200, 150);
  std::string typed;
  bool moved = false;
  for (int i = 0; i < 60 && !moved; ++i) {
    const char c = static_cast<char>('A' + i % 26);
    typeText(*view, std::string(1, c));
    typed += c;
    if (view->conversation.lineCount() == 1) {
      EXPECT_EQ(current(), typed);
      fl_font(view->display().sentFace, view->display().currentSize);
      EXPECT_LT(fl_width(typed.c_str()), overflowWidth());
    } else {
      moved = true;
    }
  }
  ASSERT_TRUE(moved) << "the word never left the band";
  EXPECT_EQ(history(1), typed) << "the whole word went up, unsplit";
  EXPECT_EQ(current(), "") << "the band is empty";
  EXPECT_EQ(queued(), typed) << "every character was sent once";
  typeText(*view, "Z");
  EXPECT_EQ(current(), "Z");
}

TEST_F(ConversationViewTest, TwoWordsSplitAtTheSpace) {
  build(200, 150);
  typeText(*view, "HELLO ");
  std::string second;
  for (int i = 0; i < 40 && view->conversation.lineCount() == 1; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    second += c;
    typeText(*view, std::string(1, c));
  }
  ASSERT_EQ(view->conversation.lineCount(), 2);
  EXPECT_EQ(history(1), "HELLO ");
  EXPECT_EQ(current(), second);
}

TEST_F(ConversationViewTest, EnterSendsCarriageReturnAndLeavesAnEmptyBand) {
  build(300, 150);
  typeText(*view, "HI\r");
  EXPECT_EQ(queued(), "HI\r");
  ASSERT_EQ(view->conversation.lineCount(), 2);
  EXPECT_EQ(history(1), "HI\n");
  EXPECT_EQ(current(), "");
  typeText(*view, "GA");
  EXPECT_EQ(current(), "GA");
}

TEST_F(ConversationViewTest, TheClearingQuestionDoesWhatEachButtonSays) {
  build(300, 150);
  setSettingBool("ConfirmEditCut", true);
  typeText(*view, "KEEP\rME");
  const int lines = view->conversation.lineCount();
  auto keptEverything = [&] {
    EXPECT_EQ(view->conversation.lineCount(), lines);
    EXPECT_EQ(current(), "ME");
    EXPECT_EQ(queued(), "KEEP\rME");
  };

  prompt.answerChoice(0);  // "Cancel", also what Escape answers
  EXPECT_FALSE(view->clearConversation());
  keptEverything();
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].extra,
            (std::vector<std::string>{translate(Text::Cancel), translate(Text::Yes),
                                      translate(Text::No)}));

  int saves = 0;
  bool saveWorks = false;
  view->setSaveAction([&] {
    ++saves;
    if (saveWorks) view->conversation.modified = 0;
    return saveWorks;
  });
  prompt.answerChoice(1);  // "Yes", but the save fails or is cancelled
  EXPECT_FALSE(view->clearConversation());
  EXPECT_EQ(saves, 1);
  keptEverything();

  saveWorks = true;
  prompt.answerChoice(1);  // "Yes": saved, then cleared
  EXPECT_TRUE(view->clearConversation());
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(view->conversation.lineCount(), 1);
  EXPECT_EQ(current(), "");
  EXPECT_EQ(queued(), "");

  typeText(*view, "AGAIN");
  prompt.answerChoice(2);  // "No": cleared without saving
  EXPECT_TRUE(view->clearConversation());
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(current(), "");

  view->clearing = true;  // File New asks nothing
  typeText(*view, "AGAIN");
  const size_t asked = prompt.calls.size();
  EXPECT_TRUE(view->clearConversation());
  EXPECT_EQ(prompt.calls.size(), asked);
  setSettingBool("ConfirmEditCut", false);
}

TEST_F(ConversationViewTest, ResizingNarrowerAndBackBringsTheLastRowBackToTheBand) {
  build(320, 200);
  // Enough words of one direction for several wraps.
  typeText(*view, "ONE TWO THREE FOUR FIVE SIX SEVEN EIGHT NINE TEN ELEVEN TWELVE ");
  ASSERT_GE(view->conversation.lineCount(), 2);
  auto all = [&] {
    std::string s;
    for (auto& l : view->conversation.lines) s += l->text.substr(1);
    return s;
  };
  const std::string before = all();
  for (int width : {200, 340}) {
    window->size(width, window->h());
    settle();
    EXPECT_EQ(all(), before) << "no character lost or doubled at width " << width;
    const std::string band = current();
    ASSERT_FALSE(band.empty()) << "the last row came back down at width " << width;
    ASSERT_GE(view->conversation.lineCount(), 2);
    const std::string above = history(1);
    ASSERT_FALSE(above.empty());
    EXPECT_EQ(above.back(), ' ') << "the band starts at a row start";
    fl_font(view->display().sentFace, view->display().currentSize);
    EXPECT_LT(fl_width(band.c_str()), overflowWidth());
  }
}

TEST_F(ConversationViewTest, MouseSelectsFromPressToRelease) {
  build(320, 200);
  for (char c : std::string("HELLO THERE\n")) view->conversation.addReceived(c);
  view->relayout();
  view->redrawAll();
  settle();
  ASSERT_EQ(view->layout().lineCount(), 1) << "the history line was laid out";
  const int left = view->textLeft();
  fl_font(view->display().receivedFace, view->display().receivedSize);
  const int x3 = left + static_cast<int>(fl_width("HEL")) - 1;  // inside the 3rd char
  const int x7 = left + static_cast<int>(fl_width("HELLO T")) - 1;
  const int y = view->historyTop() + 4;

  test::mouse(*view, FL_PUSH, x3, y);
  test::mouse(*view, FL_RELEASE, x7, y);
  EXPECT_EQ(view->conversation.anchorLine, 0);
  EXPECT_EQ(view->conversation.anchorChar, 3);
  EXPECT_EQ(view->conversation.endChar, 7);
  EXPECT_EQ(view->conversation.selectedRange(0), std::make_pair(3, 7));

  // Shift+press moves the end only; a press right of the text finds nothing.
  test::mouse(*view, FL_PUSH, left + 1, y, FL_SHIFT);
  EXPECT_EQ(view->conversation.anchorChar, 3);
  EXPECT_EQ(view->conversation.endChar, 1);
  test::mouse(*view, FL_RELEASE, left + 1, y);
  test::mouse(*view, FL_PUSH, view->x() + view->w() - 5, y);
  EXPECT_EQ(view->conversation.anchorChar, 3);
  settle();
}

TEST_F(ConversationViewTest, ReceivedTextIsPumpedFromTheModemQueue) {
  build(320, 200);
  {
    // Delivered one by one as the modem would, except that the backspace
    // goes in as an entry of its own (the modem takes back only what is
    // still queued; here the UI must erase a character it shows).
    ModemControl::Lock lock(modem);
    for (char c : std::string("GA\nAB")) lock.deliverReceived(static_cast<unsigned char>(c));
  }
  ASSERT_TRUE(view->pumpReceived());
  ModemControl::Lock(modem).deliverReceived(kBackspace);
  EXPECT_TRUE(view->pumpReceived());
  EXPECT_FALSE(view->pumpReceived()) << "the queue was emptied";
  settle();
  ASSERT_EQ(view->conversation.lineCount(), 2);
  EXPECT_EQ(history(1), "GA\n");
  EXPECT_EQ(current(), "A") << "received backspace erased B";
}

TEST_F(ConversationViewTest, BackspacingIntoTheHistoryKeepsTheTextInOrder) {
  build(200, 150);
  std::string typed;
  for (int i = 0; view->conversation.lineCount() < 3 && i < 200; ++i) {
    const char c = i % 6 == 5 ? ' ' : static_cast<char>('A' + i % 26);
    typed += c;
    typeText(*view, std::string(1, c));
  }
  ASSERT_GE(view->conversation.lineCount(), 2);
  auto all = [&] {
    std::string s;
    for (auto& l : view->conversation.lines) s += l->text.substr(1);
    return s;
  };
  // Erase the band and a few characters of the line above it.
  const size_t erase = current().size() + 4;
  for (size_t i = 0; i < erase; ++i) {
    test::pressKey(*view, FL_BackSpace, "\x08");
    settle();
  }
  EXPECT_EQ(all(), typed.substr(0, typed.size() - erase));
  fl_font(view->display().sentFace, view->display().currentSize);
  EXPECT_LT(fl_width(current().c_str()), overflowWidth()) << "the band holds what fits";
  typeText(*view, "Z");
  EXPECT_EQ(all(), typed.substr(0, typed.size() - erase) + "Z");
}

TEST_F(ConversationViewTest, ALineWrappedBitByBitMeasuresAsIfWrappedAtOnce) {
  build(240, 300);
  // A wide first row, then rows of one narrower word each: the widest row
  // is not the last one.
  typeText(*view, "WWWWWWWWWWWW ");
  for (int i = 0; i < 12; ++i) typeText(*view, "MMMMMMMM ");
  ASSERT_GE(view->conversation.lineCount(), 2);
  ConversationView* fresh = new ConversationView(10, 10, 240, 300);
  window->add(fresh);
  fresh->conversation.lines[0]->text = view->conversation.lines[0]->text;
  fresh->conversation.startNewLine();
  fresh->redrawAll();
  settle();
  const ConversationLayout& grown = view->layout();
  const ConversationLayout& once = fresh->layout();
  ASSERT_GE(once.lineCount(), 1);
  ASSERT_GT(once.lineHeight(0), 0);
  EXPECT_EQ(grown.lineHeight(0), once.lineHeight(0));
  EXPECT_EQ(grown.width(), once.width());
  ASSERT_EQ(grown.rows(0).size(), once.rows(0).size());
  for (std::size_t r = 0; r < once.rows(0).size(); ++r) {
    EXPECT_EQ(grown.rows(0)[r].first, once.rows(0)[r].first) << r;
    EXPECT_EQ(grown.rows(0)[r].end, once.rows(0)[r].end) << r;
  }
}

TEST_F(ConversationViewTest, AWrapNeverSplitsAWordAfterStartUpOrAResize) {
  build(300, 200);
  // The main window's stored geometry arrives before any text is typed.
  window->size(340, window->h());
  settle();
  const std::string sentence = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG AND KEEPS RUNNING ";
  std::string expected;
  const auto check = [&](const std::string& when) {
    std::string all;
    const auto& lines = view->conversation.lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string chars = lines[i]->text.substr(1);
      all += chars;
      if (i + 1 < lines.size() && !chars.empty()) {
        EXPECT_EQ(chars.back(), ' ') << when << ": line " << i << " ends in a word: " << chars
                                     << " / " << lines[i + 1]->text.substr(1);
      }
    }
    EXPECT_EQ(all, expected) << when;
    fl_font(view->display().sentFace, view->display().currentSize);
    EXPECT_LT(fl_width(current().c_str()), overflowWidth()) << when;
  };
  typeText(*view, sentence);
  expected += sentence;
  check("the first wrap after start-up");
  for (int width : {220, 380, 260}) {
    window->size(width, window->h());
    settle();
    check("right after a resize to " + std::to_string(width));
    typeText(*view, sentence);
    expected += sentence;
    check("typing after a resize to " + std::to_string(width));
  }
}

TEST_F(ConversationViewTest, APressSelectsTheCharacterUnderThePointerOnEveryRow) {
  struct Case {
    const char* name;
    int height;
  } cases[] = {{"every row shown", 400}, {"the line's top scrolled out above", 110}};
  std::string text;
  for (int i = 0; i < 4; ++i) text += "JUMPS OVER THE LAZY DOG AND RUNS FAR AWAY ";
  text += "\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    build(240, c.height);
    for (char ch : text) view->conversation.addReceived(static_cast<unsigned char>(ch));
    typeText(*view, "GA");
    view->redrawAll();
    settle();
    const ConversationLayout& layout = view->layout();
    ASSERT_EQ(layout.lineCount(), 1);
    const int rows = static_cast<int>(layout.rows(0).size());
    ASSERT_GE(rows, 4);
    const int top = view->historyTop();
    if (c.height < 200) {
      ASSERT_LT(top, 0) << "the line starts above the window";
    }
    const int rowHeight = layout.rowHeight(0);
    const std::string& line = view->conversation.lines[0]->text;

    // (row, x) -> character: the first, a middle and the last letter of
    // every row whose middle shows.
    int tested = 0;
    for (int r = 0; r < rows; ++r) {
      const int y = top + r * rowHeight + rowHeight / 2;
      if (y < view->y() + 4 || y > view->y() + view->h() - 40) continue;
      const std::string row = layout.rowText(0, r);
      const std::size_t last = row.find_last_not_of(' ');
      for (std::size_t pos : {std::size_t{0}, last / 2, last}) {
        if (row[pos] == ' ') ++pos;
        const int left = view->textLeft();  // sets the band's font
        fl_font(view->display().receivedFace, view->display().receivedSize);
        const int x = left + static_cast<int>(fl_width(row.c_str(), static_cast<int>(pos))) + 2;
        test::mouse(*view, FL_PUSH, x, y);
        test::mouse(*view, FL_RELEASE, x, y);
        const int want = layout.rows(0)[r].first + static_cast<int>(pos);
        EXPECT_EQ(view->conversation.anchorLine, 0) << "row " << r << " pos " << pos;
        EXPECT_EQ(view->conversation.anchorChar, want) << "row " << r << " pos " << pos;
        EXPECT_EQ(line[static_cast<std::size_t>(want)], row[pos]);
        ++tested;
      }
    }
    EXPECT_GE(tested, 6) << "at least two rows were pressed";

    // A drag from one row to a later one selects from the one character to
    // the other.
    int firstShown = 0;
    while (top + firstShown * rowHeight < view->y() + 4) ++firstShown;
    const int y1 = top + firstShown * rowHeight + rowHeight / 2;
    const int y2 = y1 + rowHeight;
    const int x = view->textLeft() + 2;
    test::mouse(*view, FL_PUSH, x, y1);
    test::mouse(*view, FL_RELEASE, x, y2);
    EXPECT_EQ(
        view->conversation.selectedRange(0),
        std::make_pair(layout.rows(0)[firstShown].first, layout.rows(0)[firstShown + 1].first));
    settle();
    TearDown();
  }
}

}  // namespace
}  // namespace quelto
