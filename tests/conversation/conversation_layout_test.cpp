// The conversation layout over a fixed-advance measure: wrapping, tops,
// the cache, hit tests and selection rectangles, without a display.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversation/conversation.h"
#include "conversation/conversation_layout.h"

namespace quelto {
namespace {

// Every shown character is `advance` pixels wide; counts its calls.
struct FixedMeasure : TextMeasure {
  explicit FixedMeasure(double advance) : advance(advance) {}
  double width(std::string_view cp1252) override {
    ++calls;
    return advance * static_cast<double>(cp1252.size());
  }
  double advance;
  int calls = 0;
};

using Lines = std::vector<std::pair<unsigned char, std::string>>;

// Replaces the conversation's lines; the last one is the current line.
void setLines(Conversation& c, const Lines& lines) {
  c.lines.clear();
  for (const auto& [direction, chars] : lines) {
    auto line = std::make_unique<ConversationLine>(direction);
    line->text += chars;
    c.lines.push_back(std::move(line));
  }
}

std::vector<std::string> rowTexts(const ConversationLayout& layout, int line) {
  std::vector<std::string> out;
  for (int r = 0; r < static_cast<int>(layout.rows(line).size()); ++r)
    out.push_back(layout.rowText(line, r));
  return out;
}

class ConversationLayoutTest : public ::testing::Test {
 protected:
  // Sent rows 20 px high, received 30; both wrap at 100 px, ten characters.
  void SetUp() override { layout.setFonts({&sent, 20, 100}, {&received, 30, 100}); }

  FixedMeasure sent{10};
  FixedMeasure received{10};
  ConversationLayout layout;
  Conversation c;
};

TEST_F(ConversationLayoutTest, RowsBreakBetweenWordsAndNeverInsideOne) {
  struct Case {
    const char* text;
    std::vector<std::string> rows;
  } cases[] = {
      {"THE QUICK BROWN FOX", {"THE QUICK ", "BROWN FOX"}},
      {"ABCDEFGHIJ K", {"ABCDEFGHIJ ", "K"}},                  // a word that just fits stays
      {"AB ABCDEFGHIJKL CD", {"AB ", "ABCDEFGHIJKL ", "CD"}},  // too wide: alone
      {"OVER THE LAZY DOG AND KEEPS", {"OVER THE ", "LAZY DOG ", "AND KEEPS"}},
      {"AB\n\nCD", {"AB", "", "CD"}},
      {"AB\n", {"AB"}},
      {"", {""}},
      {"A\rB", {"A^MB"}},  // a control character shows as two glyphs
      {"A\rBCDEFGHI JK", {"A^MBCDEFGHI ", "JK"}},
  };
  for (const Case& tc : cases) {
    setLines(c, {{kSentDirection, tc.text}, {kSentDirection, ""}});
    layout.update(c);
    ASSERT_EQ(layout.lineCount(), 1);
    EXPECT_EQ(rowTexts(layout, 0), tc.rows) << tc.text;
    for (const auto& row : layout.rows(0)) EXPECT_LE(row.width, 120) << tc.text;
  }
}

TEST_F(ConversationLayoutTest, TopsFollowEachDirectionsRowHeight) {
  setLines(c, {{kReceivedDirection, "HELLO OLD FRIEND"},  // 2 rows of 30
               {kSentDirection, "HI"},                    // 1 row of 20
               {kReceivedDirection, "A\nB\nC"},           // 3 rows of 30
               {kSentDirection, "TYPING"}});
  layout.update(c);
  ASSERT_EQ(layout.lineCount(), 3) << "the current line is not in the history";
  EXPECT_EQ(layout.lineTop(0), 0);
  EXPECT_EQ(layout.lineTop(1), 60);
  EXPECT_EQ(layout.lineTop(2), 80);
  EXPECT_EQ(layout.height(), 170);
  EXPECT_EQ(layout.width(), 90) << "HELLO OLD";
  EXPECT_EQ(layout.firstLineBelow(59), 0);
  EXPECT_EQ(layout.firstLineBelow(60), 1);
  EXPECT_EQ(layout.firstLineBelow(170), 3);
  EXPECT_EQ(layout.lastRowStart(0), 11) << "FRIEND";
}

TEST_F(ConversationLayoutTest, OnlyChangedLinesAreWrappedAgainAndTheResultIsAsFresh) {
  setLines(c, {{kSentDirection, "ONE TWO THREE FOUR FIVE"},
               {kReceivedDirection, "SIX SEVEN"},
               {kSentDirection, "EIGHT NINE TEN"},
               {kSentDirection, "CURRENT"}});
  layout.update(c);
  EXPECT_EQ(layout.wrappedInLastUpdate(), 3);

  const auto sameAsFresh = [&] {
    FixedMeasure s{10}, r{10};
    ConversationLayout fresh;
    fresh.setFonts({&s, 20, 100}, {&r, 30, 100});
    fresh.update(c);
    ASSERT_EQ(fresh.lineCount(), layout.lineCount());
    for (int i = 0; i < fresh.lineCount(); ++i) {
      EXPECT_EQ(rowTexts(layout, i), rowTexts(fresh, i)) << i;
      EXPECT_EQ(layout.lineTop(i), fresh.lineTop(i)) << i;
    }
    EXPECT_EQ(layout.height(), fresh.height());
  };

  // Typing in the band measures nothing in the history.
  sent.calls = received.calls = 0;
  c.currentLine().text += "X";
  layout.update(c);
  EXPECT_EQ(layout.wrappedInLastUpdate(), 0);
  EXPECT_EQ(sent.calls + received.calls, 0);

  // A line that grew at its end is wrapped again from its last row only:
  // "TEN ELEVEN TWELVE" costs one measure per word and one for the word
  // that moves to the next row; its first row ("EIGHT NINE ") is not
  // measured again.
  c.lines[2]->text += " ELEVEN TWELVE";
  layout.update(c);
  EXPECT_EQ(layout.wrappedInLastUpdate(), 1);
  EXPECT_EQ(received.calls, 0);
  EXPECT_LE(sent.calls, 4);
  sameAsFresh();

  // A change above moves the tops below it.
  c.lines[0]->text.resize(4);  // "ONE"
  layout.update(c);
  EXPECT_EQ(layout.wrappedInLastUpdate(), 1);
  sameAsFresh();

  // A line that goes, and one of the other direction in its place.
  c.lines.erase(c.lines.begin() + 1);
  c.lines[1]->text[0] = static_cast<char>(kReceivedDirection);
  layout.update(c);
  sameAsFresh();

  // New fonts or widths wrap everything again.
  layout.setFonts({&sent, 20, 90}, {&received, 30, 90});
  layout.update(c);
  EXPECT_EQ(layout.wrappedInLastUpdate(), layout.lineCount());
  EXPECT_EQ(rowTexts(layout, 1),
            (std::vector<std::string>{"EIGHT ", "NINE TEN ", "ELEVEN ", "TWELVE"}));
}

TEST_F(ConversationLayoutTest, HitTestFindsTheCharacterUnderThePointOnEveryRow) {
  // Line 0 (sent, rows 20 high): "THE QUICK " / "BROWN FOX" at y 0..40.
  // Line 1 (received, rows 30 high): "JUMPS OVER " / "THE DOG" at y 40..100.
  setLines(c, {{kSentDirection, "THE QUICK BROWN FOX"},
               {kReceivedDirection, "JUMPS OVER THE DOG"},
               {kSentDirection, ""}});
  layout.update(c);
  struct Case {
    double x, y;
    std::optional<std::pair<int, int>> hit;  // (line, text index)
  } cases[] = {
      {5, 5, std::make_pair(0, 1)},     // T
      {95, 19, std::make_pair(0, 10)},  // the breaking space
      {5, 25, std::make_pair(0, 11)},   // B: the second row, not the first
      {85, 39, std::make_pair(0, 19)},  // X, the last character
      {-3, 25, std::make_pair(0, 10)},  // left of row 2: before its B
      {-3, 5, std::make_pair(0, 0)},    // left of the line
      {95, 25, std::nullopt},           // right of "BROWN FOX"
      {5, 45, std::make_pair(1, 1)},    // J
      {15, 75, std::make_pair(1, 13)},  // H of THE on row 2
      {65, 99, std::make_pair(1, 18)},  // G
      {5, 100, std::nullopt},           // below the history
      {5, -1, std::nullopt},            // above it
  };
  for (const Case& tc : cases) {
    const auto hit = layout.hitTest(tc.x, tc.y);
    ASSERT_EQ(hit.has_value(), tc.hit.has_value()) << tc.x << "," << tc.y;
    if (hit) {
      EXPECT_EQ(hit->line, tc.hit->first) << tc.x << "," << tc.y;
      EXPECT_EQ(hit->character, tc.hit->second) << tc.x << "," << tc.y;
    }
  }
}

TEST_F(ConversationLayoutTest, SelectionRectanglesFollowTheRows) {
  setLines(c, {{kSentDirection, "THE QUICK BROWN FOX"}, {kSentDirection, ""}});
  layout.update(c);
  using Rect = ConversationLayout::Rect;
  const auto rects = layout.selectionRects(0, 5, 13);  // QUICK BRO
  ASSERT_EQ(rects.size(), 2u);
  const Rect want[] = {{40, 0, 60, 20}, {0, 20, 30, 20}};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(rects[i].x, want[i].x) << i;
    EXPECT_EQ(rects[i].y, want[i].y) << i;
    EXPECT_EQ(rects[i].w, want[i].w) << i;
    EXPECT_EQ(rects[i].h, want[i].h) << i;
  }
  // Past the end of the line (a selection that runs on) and before its
  // start (a click left of the text) are clamped to the line.
  const auto whole = layout.selectionRects(0, 0, 20);
  ASSERT_EQ(whole.size(), 2u);
  EXPECT_EQ(whole[0].x, 0);
  EXPECT_EQ(whole[1].w, 90);
  EXPECT_TRUE(layout.selectionRects(0, 12, 11).empty());
}

}  // namespace
}  // namespace quelto
