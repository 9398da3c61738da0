#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversation/conversation.h"
#include "scratch_env.h"

namespace quelto {
namespace {

using ConversationModel = testing::ScratchTest;

// The conversation as (direction, characters) per line, for compact checks.
std::vector<std::pair<int, std::string>> shape(const Conversation& c) {
  std::vector<std::pair<int, std::string>> out;
  for (const auto& line : c.lines) out.push_back({line->direction(), line->text.substr(1)});
  return out;
}

// Feeds a script: 'R' received and 'S' sent characters, '<' a sent and '[' a
// received backspace. Returns the bool results.
std::vector<bool> feed(Conversation& c, const std::vector<std::pair<char, std::string>>& steps) {
  std::vector<bool> results;
  for (const auto& [who, text] : steps) {
    for (const char ch : text) {
      const auto b = static_cast<unsigned char>(ch);
      switch (who) {
        case 'R':
          results.push_back(c.addReceived(b));
          break;
        case 'S':
          results.push_back(c.addSent(b));
          break;
        case '<':
          results.push_back(c.backspace(false));
          break;
        default:
          results.push_back(c.backspace(true));
          break;
      }
    }
  }
  return results;
}

TEST_F(ConversationModel, NewConversationHasOneEmptySentLineAndDefaults) {
  Conversation c;
  EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{0, ""}}));
  EXPECT_EQ(c.incoming, 1);
  EXPECT_EQ(c.modified, 0);
  EXPECT_EQ(c.layoutChanged, 0u);
  EXPECT_EQ(c.anchorLine, -1);
  EXPECT_EQ(c.endChar, -1);
}

TEST_F(ConversationModel, DirectionChangesAndTheReceivedMerge) {
  using Shape = std::vector<std::pair<int, std::string>>;
  struct Case {
    const char* name;
    bool receivedCapitals, sentCapitals;
    std::vector<std::pair<char, std::string>> steps;
    Shape expected;
  };
  const Case cases[] = {
      {"received then typed: no line feed stored at the change",
       true,
       false,
       {{'R', "hello"}, {'S', "hi"}},
       {{1, "HELLO"}, {0, "hi"}}},
      {"Enter right after received text is dropped",
       true,
       false,
       {{'R', "ok"}, {'S', "\n"}},
       {{1, "OK"}, {0, ""}}},
      {"the next typed character goes into that empty sent line",
       true,
       false,
       {{'R', "ok"}, {'S', "\nx"}},
       {{1, "OK"}, {0, "x"}}},
      {"received capitals off lowers, sent capitals off keeps",
       false,
       false,
       {{'R', "A"}, {'S', "A"}},
       {{1, "a"}, {0, "A"}}},
      {"received capitals on raises, sent capitals on raises",
       true,
       true,
       {{'R', "a"}, {'S', "b"}},
       {{1, "A"}, {0, "B"}}},
      {"only ASCII letters are folded",
       true,
       true,
       {{'R', "\xe9z1"}, {'S', "\xe9q"}},
       {{1, "\xe9Z1"}, {0, "\xe9Q"}}},
      {"received lines ended by line feeds merge into one object",
       false,
       false,
       {{'R', "AB\nXY\n"}},
       {{1, "ab\nxy\n"}, {1, ""}}},
      {"sent lines ended by line feeds stay separate",
       false,
       false,
       {{'S', "ab\nxy\n"}},
       {{0, "ab\n"}, {0, "xy\n"}, {0, ""}}},
      {"two sent lines are joined when a received character opens a line",
       false,
       false,
       {{'S', "ab\ncd"}, {'R', "x"}},
       {{0, "ab\ncd"}, {1, "x"}}},
      {"an empty line takes the direction of its first character",
       true,
       false,
       {{'R', "b"}},
       {{1, "B"}}},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    currentProfile().receivedTextCapitals = tc.receivedCapitals;
    currentProfile().sentTextCapitals = tc.sentCapitals;
    Conversation c;
    feed(c, tc.steps);
    EXPECT_EQ(shape(c), tc.expected);
    EXPECT_EQ(c.modified, 1);
  }
}

TEST_F(ConversationModel, ResultsAskForAFullRedrawOnlyWhenLinesChange) {
  Conversation c;
  EXPECT_EQ(feed(c, {{'S', "ab"}}), (std::vector<bool>{false, false}));
  EXPECT_TRUE(c.addReceived('x'));  // direction change opens a line
  EXPECT_TRUE(c.addReceived('\n'));
  EXPECT_FALSE(c.addReceived('w'));
  EXPECT_TRUE(c.addSent('\n'));  // dropped, but opens the sent line
  c.startNewLine();
  EXPECT_EQ(c.layoutChanged, 1u);
  EXPECT_TRUE(c.addReceived('y'));  // reports the pending layout change once
  EXPECT_EQ(c.layoutChanged, 0u);
  EXPECT_FALSE(c.addReceived('z'));
}

TEST_F(ConversationModel, Backspace) {
  {
    SCOPED_TRACE("on the only, empty line: nothing changes, but modified is set");
    Conversation c;
    EXPECT_FALSE(c.backspace(false));
    EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{0, ""}}));
    EXPECT_EQ(c.modified, 1);
  }
  {
    SCOPED_TRACE("right after a line feed: removes the empty line and the line feed");
    Conversation c;
    feed(c, {{'S', "ab\n"}});
    ASSERT_EQ(c.lineCount(), 2);
    EXPECT_TRUE(c.backspace(false));
    EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{0, "ab"}}));
  }
  {
    SCOPED_TRACE("a received backspace erases sent text, whoever wrote it");
    Conversation c;
    feed(c, {{'R', "x"}, {'S', "ab"}});
    EXPECT_FALSE(c.backspace(true));
    EXPECT_FALSE(c.backspace(true));
    EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{1, "X"}, {0, ""}}));
    EXPECT_TRUE(c.backspace(true));  // the empty sent line goes, then the X
    EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{1, ""}}));
  }
}

TEST_F(ConversationModel, StartNewLineAppendLineAndClear) {
  Conversation c;
  feed(c, {{'R', "ab"}});
  c.modified = 0;
  c.startNewLine();
  EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{1, "AB"}, {1, ""}}));
  EXPECT_EQ(c.modified, 1);

  c.caller = "Bob";
  c.setSelectionAnchor(0, 1);
  c.clear();
  EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{0, ""}}));
  EXPECT_EQ(c.layoutChanged, 0u);
  EXPECT_EQ(c.caller, "Bob");  // metadata is left alone
  EXPECT_EQ(c.anchorLine, -1);

  c.modified = 0;
  c.appendLine(std::make_unique<ConversationLine>(kReceivedDirection));
  EXPECT_EQ(c.lineCount(), 2);
  EXPECT_EQ(c.modified, 1);
}

TEST_F(ConversationModel, SplitCurrentLineAndJoinAfterSplit) {
  {
    SCOPED_TRACE("split moves the text after the last space down, P keeps the space");
    Conversation c;
    feed(c, {{'S', "hello big world"}});
    c.startNewLine();
    c.splitCurrentLine();
    EXPECT_EQ(shape(c),
              (std::vector<std::pair<int, std::string>>{{0, "hello big "}, {0, "world"}}));
  }
  {
    SCOPED_TRACE("no space: nothing moves");
    Conversation c;
    feed(c, {{'S', "unbroken"}});
    c.startNewLine();
    c.splitCurrentLine();
    EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{0, "unbroken"}, {0, ""}}));
  }
  {
    SCOPED_TRACE("join puts a split line back onto the line above of its direction");
    Conversation c;
    feed(c, {{'S', "one two"}});
    c.startNewLine();
    c.splitCurrentLine();  // (one ) (two)
    c.startNewLine();      // (one ) (two) ()
    EXPECT_TRUE(c.joinAfterSplit());
    EXPECT_EQ(shape(c), (std::vector<std::pair<int, std::string>>{{0, "one two"}, {0, ""}}));
  }
  {
    SCOPED_TRACE("no join across a line feed, a direction change or onto an empty line");
    Conversation lf;
    feed(lf, {{'S', "ab\ncd"}});
    lf.startNewLine();
    EXPECT_FALSE(lf.joinAfterSplit());
    EXPECT_EQ(lf.lineCount(), 3);

    Conversation dir;
    feed(dir, {{'R', "ab"}, {'S', "cd"}});
    dir.startNewLine();
    EXPECT_FALSE(dir.joinAfterSplit());
    EXPECT_EQ(dir.lineCount(), 3);

    Conversation two;
    two.startNewLine();
    EXPECT_FALSE(two.joinAfterSplit());
  }
}

TEST_F(ConversationModel, SelectionSettingNormalisingAndClearing) {
  Conversation c;
  feed(c, {{'S', "abc\ndefg\nhi"}});  // lines: "abc\n" (5), "defg\n" (6), "hi" (3)
  ASSERT_EQ(c.lineCount(), 3);

  c.setSelectionEnd(2, 2);  // no anchor yet: both ends at (2, 2)
  EXPECT_EQ(c.anchorLine, 2);
  EXPECT_EQ(c.anchorChar, 2);
  c.setSelectionAnchor(0, 3);
  EXPECT_EQ(c.endLine, 2);

  // Already in order.
  EXPECT_EQ(c.selectedRange(0), std::make_pair(3, 5));
  EXPECT_EQ(c.selectedRange(1), std::make_pair(1, 6));
  EXPECT_EQ(c.selectedRange(2), std::make_pair(1, 2));

  // Dragged backwards: normalised on the first query.
  c.setSelectionAnchor(2, 2);
  c.setSelectionEnd(1, 4);
  EXPECT_EQ(c.selectedRange(0), std::make_pair(-1, -1));
  EXPECT_EQ(c.selectedRange(1), std::make_pair(4, 6));
  EXPECT_EQ(c.anchorLine, 1);
  EXPECT_EQ(c.endLine, 2);

  // Within one line, backwards.
  c.setSelectionAnchor(1, 5);
  c.setSelectionEnd(1, 2);
  EXPECT_EQ(c.selectedRange(1), std::make_pair(2, 5));

  // An index past the last line clears everything.
  c.setSelectionEnd(3, 1);
  EXPECT_EQ(c.anchorLine, -1);
  EXPECT_EQ(c.anchorChar, -1);
  EXPECT_EQ(c.endLine, -1);
  EXPECT_EQ(c.endChar, -1);
  EXPECT_EQ(c.selectedRange(1), std::make_pair(-1, -1));
  c.setSelectionAnchor(-1, 0);
  EXPECT_EQ(c.anchorLine, -1);
}

TEST_F(ConversationModel, WithdrawnTextLeavesOnlyOurOwnCharacters) {
  using Shape = std::vector<std::pair<int, std::string>>;
  struct Case {
    const char* name;
    std::vector<std::pair<char, std::string>> steps;
    std::string withdrawn;
    Shape expected;
  } cases[] = {
      {"the end of our line", {{'S', "hello"}}, "lo", {{0, "hel"}}},
      {"across the other party's line",
       {{'S', "hi "}, {'R', "ok"}, {'S', "go"}},
       " go",
       {{0, "hi"}, {1, "OK"}}},
      {"our text typed before theirs arrived", {{'S', "ab"}, {'R', "xy"}}, "ab", {{1, "XY"}}},
      {"a queued backspace cancels the character before it",
       {{'S', "abc"}, {'<', "x"}},
       "bc\b",
       {{0, "a"}}},
      {"a backspace with nothing before it erased older text",
       {{'S', "ab"}, {'<', "x"}},
       "\b",
       {{0, "a"}}},
      {"a line feed of ours", {{'S', "ab\ncd"}}, "\ncd", {{0, "ab"}}},
  };
  for (const Case& tc : cases) {
    Conversation c;
    feed(c, tc.steps);
    c.modified = 0;
    c.withdrawSent(tc.withdrawn);
    EXPECT_EQ(shape(c), tc.expected) << tc.name;
  }
}

TEST_F(ConversationModel, RefittingTheBandMovesTheLastRowDownWhole) {
  using Shape = std::vector<std::pair<int, std::string>>;
  {
    SCOPED_TRACE("a one-row line comes down whole");
    Conversation c;
    feed(c, {{'S', "over the lazy "}});
    c.startNewLine();
    feed(c, {{'S', "do"}});
    EXPECT_TRUE(c.joinCurrentLineUp());
    EXPECT_EQ(shape(c), (Shape{{0, "over the lazy do"}, {0, ""}}));
    c.moveTailIntoCurrentLine(1);
    EXPECT_EQ(shape(c), (Shape{{0, "over the lazy do"}}));
  }
  {
    SCOPED_TRACE("the last row of a longer line");
    Conversation c;
    feed(c, {{'S', "one two three"}});
    c.startNewLine();
    EXPECT_TRUE(c.joinCurrentLineUp());
    c.moveTailIntoCurrentLine(9);  // "three"
    EXPECT_EQ(shape(c), (Shape{{0, "one two "}, {0, "three"}}));
  }
  {
    SCOPED_TRACE("no join onto a finished line or across directions");
    Conversation lf;
    feed(lf, {{'S', "ab\n"}});
    EXPECT_FALSE(lf.joinCurrentLineUp());
    Conversation other;
    feed(other, {{'R', "ab"}, {'S', "c"}});
    EXPECT_FALSE(other.joinCurrentLineUp());
    EXPECT_EQ(shape(other), (Shape{{1, "AB"}, {0, "c"}}));
  }
}

}  // namespace
}  // namespace quelto
