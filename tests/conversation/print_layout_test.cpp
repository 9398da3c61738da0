#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "conversation/conversation.h"
#include "conversation/print_layout.h"
#include "scratch_env.h"
#include "settings/translation.h"

namespace quelto {
namespace {

// Records what the layout draws. Every byte is `charWidth` wide; a font's
// line height is its requested height.
class RecordingDevice : public PageDevice {
 public:
  struct Op {
    enum Kind { Text, Line } kind;
    int page;
    int font;
    int x, y, x1, y1;
    std::string text;
  };

  PageGeometry geo;
  int charWidth = 10;
  std::vector<PrintFontRequest> fonts;
  std::vector<Op> ops;
  int pagesStarted = 0, pagesEnded = 0;

  PageGeometry geometry() override { return geo; }
  int createFont(const PrintFontRequest& r) override {
    fonts.push_back(r);
    return static_cast<int>(fonts.size()) - 1;
  }
  PrintFontMetrics fontMetrics(int font) override {
    PrintFontMetrics m;
    m.descent = fonts[font].height / 5;
    m.ascent = fonts[font].height - m.descent;
    m.widths.fill(charWidth);
    return m;
  }
  void drawText(int font, int x, int y, const std::string& bytes) override {
    ops.push_back({Op::Text, pagesStarted, font, x, y, 0, 0, bytes});
  }
  void drawLine(int x0, int y0, int x1, int y1) override {
    ops.push_back({Op::Line, pagesStarted, -1, x0, y0, x1, y1, {}});
  }
  void startPage() override { ++pagesStarted; }
  void endPage() override { ++pagesEnded; }

  std::vector<Op> texts() const {
    std::vector<Op> out;
    for (const Op& op : ops)
      if (op.kind == Op::Text) out.push_back(op);
    return out;
  }
  // The texts of the conversation itself, after the heading block.
  std::vector<Op> bodyTexts() const {
    std::vector<Op> t = texts();
    return std::vector<Op>(t.begin() + 5, t.end());
  }
};

class PrintLayout : public testing::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    setLanguage(kLanguageEnglish);
    // A small 72 dpi page: margins of 10 points all round give a printable
    // band of x 10..290, y 10..390; 28 characters per row.
    dev.geo = {0, 0, 300, 400, 72, 72};
    profile.units = 3;  // points
    profile.topMargin = profile.leftMargin = profile.rightMargin = profile.bottomMargin = 10;
    profile.printSentTextFace = 8;  // Times, 10 points: rows of 10
    profile.printSentTextSize = 10;
    profile.printReceivedTextFace = 5;  // Courier bold, 20 points
    profile.printReceivedTextSize = 20;
    conversation.caller = "Bob";
  }

  void setLines(const std::vector<std::string>& texts) {
    conversation.lines.clear();
    for (const std::string& t : texts) {
      auto line = std::make_unique<ConversationLine>();
      line->text = t;
      conversation.lines.push_back(std::move(line));
    }
  }
  static std::string sent(const std::string& s) { return std::string(1, '\0') + s; }
  static std::string received(const std::string& s) { return "\x01" + s; }

  RecordingDevice dev;
  Profile profile;
  Conversation conversation;
};

TEST_F(PrintLayout, MarginsOnA300DpiPrinterWithOffsets) {
  struct Case {
    int units;
    double margin;
  };
  // One inch in each unit.
  for (const Case& tc : {Case{0, 1.0}, Case{1, 2.54}, Case{2, 25.4}, Case{3, 72.0}}) {
    SCOPED_TRACE(tc.units);
    RecordingDevice d;
    d.geo = {50, 50, 2550, 3300, 300, 300};
    Profile p;
    p.units = tc.units;
    p.topMargin = p.leftMargin = p.rightMargin = p.bottomMargin = tc.margin;
    Conversation c;
    for (int i = 0; i < 80; ++i) {
      c.addSent('a');
      c.addSent('\n');
    }
    ASSERT_TRUE(printConversation(&d, c, p));

    const auto texts = d.texts();
    EXPECT_EQ(texts[0].text, "Page 1");
    EXPECT_EQ(texts[0].x, 250);  // left = 300 - 50
    EXPECT_EQ(texts[0].y, 250);  // top = 300 - 50
    const auto& rule = d.ops[1];
    ASSERT_EQ(rule.kind, RecordingDevice::Op::Line);
    EXPECT_EQ(rule.x, 250);
    EXPECT_EQ(rule.x1, 2550 - 350);  // right = PW - 300 - 50
    // bottom = PH - 300: the last row of page 1 fits above it, the next not.
    const int h = 14 * 300 / 72;  // sent print font rows
    int lastY = 0;
    for (const auto& t : texts)
      if (t.page == 1) lastY = t.y;
    EXPECT_LE(lastY + h, 3300 - 300);
    EXPECT_GT(lastY + 2 * h, 3300 - 300);
  }
}

TEST_F(PrintLayout, FontsHeadingBlockAndRules) {
  dev.geo.dpiX = 144;  // font heights follow the horizontal resolution
  conversation.incoming = 0;
  conversation.date = "mardi";
  conversation.notes = "rdv";
  profile.firstName = "Ren\xc3\xa9";
  profile.lastName = "Roy";
  ASSERT_TRUE(printConversation(&dev, conversation, profile));
  ASSERT_EQ(dev.fonts.size(), 3u);
  EXPECT_EQ(dev.fonts[0].faceName, "Times New Roman");
  EXPECT_EQ(dev.fonts[0].height, 36);
  EXPECT_TRUE(dev.fonts[0].bold);
  EXPECT_EQ(dev.fonts[1].faceName, "Times New Roman");  // sent: Times
  EXPECT_EQ(dev.fonts[1].height, 20);
  EXPECT_FALSE(dev.fonts[1].bold);
  EXPECT_EQ(dev.fonts[2].faceName, "Courier New");  // received: Courier bold
  EXPECT_TRUE(dev.fonts[2].bold);
  EXPECT_FALSE(dev.fonts[2].italic);

  const auto t = dev.texts();
  ASSERT_GE(t.size(), 5u);
  EXPECT_EQ(t[1].text, "Placed Call: Bob");
  EXPECT_EQ(t[2].text, "Date: mardi");
  EXPECT_EQ(t[3].text, "Notes: rdv");
  EXPECT_EQ(t[4].text, "Printed by: Ren\xe9 Roy");  // Windows-1252 on paper
  // Heading rows are 36 high; a heading rule adds half a row, a section rule
  // a whole one.
  EXPECT_EQ(t[1].y, 10 + 36 + 18);
  EXPECT_EQ(t[4].y, t[1].y + 3 * 36);
  EXPECT_EQ(dev.pagesStarted, 1);
  EXPECT_EQ(dev.pagesEnded, 1);
  // Three rules: heading, after the block, at the end.
  int lines = 0;
  for (const auto& op : dev.ops) lines += op.kind == RecordingDevice::Op::Line;
  EXPECT_EQ(lines, 3);
}

TEST_F(PrintLayout, RowsOfTheConversation) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    // (text, row) of each draw, rows of 10 counted from the first body row.
    std::vector<std::pair<std::string, int>> expected;
  };
  const Case cases[] = {
      {"an empty line prints as one blank row",
       {sent("a"), sent(""), sent("b")},
       {{"a", 0}, {"b", 2}}},
      {"a final line feed leaves no extra row", {sent("a\n"), sent("b")}, {{"a", 0}, {"b", 1}}},
      {"line feeds inside a line start rows; carriage returns vanish",
       {sent("a\r\nb\n\nc")},
       {{"a", 0}, {"b", 1}, {"c", 3}}},
      {"words wrap at the last space before the margin",
       {sent("aaaa bbbb cccc dddd eeee ffff gggg")},
       {{"aaaa bbbb cccc dddd eeee", 0}, {"ffff gggg", 1}}},
      {"an over-long word is cut at the margin, the rest on the next row",
       {sent("hello " + std::string(40, 'x') + " end")},
       {{"hello", 0}, {std::string(28, 'x'), 1}, {std::string(12, 'x') + " end", 2}}},
      {"a tab is four spaces", {sent("a\tb")}, {{"a    b", 0}}},
      {"sent text as typed, received text lowered without print capitals",
       {sent("Hi"), received("OK")},
       {{"Hi", 0}, {"ok", 1}}},
  };
  profile.printReceivedTextCapitals = 0;
  profile.printReceivedTextSize = 10;
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    RecordingDevice d;
    d.geo = dev.geo;
    setLines(tc.lines);
    ASSERT_TRUE(printConversation(&d, conversation, profile));
    const auto body = d.bodyTexts();
    ASSERT_EQ(body.size(), tc.expected.size());
    const int y0 = body[0].y - 10 * tc.expected[0].second;
    for (size_t i = 0; i < body.size(); ++i) {
      EXPECT_EQ(body[i].text, tc.expected[i].first);
      EXPECT_EQ(body[i].y, y0 + 10 * tc.expected[i].second) << body[i].text;
      EXPECT_EQ(body[i].x, 10);
    }
  }
}

TEST_F(PrintLayout, CapitalsAndScreenFaces) {
  setLines({sent("Hi there"), received("Ok")});
  profile.printSentTextCapitals = 1;
  profile.printReceivedTextCapitals = 1;
  ASSERT_TRUE(printConversation(&dev, conversation, profile));
  auto body = dev.bodyTexts();
  ASSERT_EQ(body.size(), 2u);
  EXPECT_EQ(body[0].text, "HI THERE");
  EXPECT_EQ(body[1].text, "OK");

  RecordingDevice screen;
  screen.geo = dev.geo;
  profile.useScreenFaces = 1;
  profile.sentTextFace = 2;  // Helvetica italic
  profile.sentTextCapitals = 0;
  ASSERT_TRUE(printConversation(&screen, conversation, profile));
  EXPECT_EQ(screen.fonts[1].faceName, "Arial");
  EXPECT_TRUE(screen.fonts[1].italic);
  EXPECT_EQ(screen.fonts[1].height, 18);
  EXPECT_EQ(screen.bodyTexts()[0].text, "Hi there");
}

TEST_F(PrintLayout, PageBreaksStartWithAPageHeading) {
  std::string many;
  for (int i = 0; i < 60; ++i) many += "row " + std::to_string(i) + "\n";
  setLines({sent(many)});
  ASSERT_TRUE(printConversation(&dev, conversation, profile));
  EXPECT_EQ(dev.pagesStarted, 2);
  EXPECT_EQ(dev.pagesEnded, 2);

  // Page 2 opens with its heading at the top margin, then a heading rule,
  // then the text half a heading row further down.
  size_t at = 0;
  while (dev.ops[at].page != 2) ++at;
  EXPECT_EQ(dev.ops[at].text, "Page 2");
  EXPECT_EQ(dev.ops[at].x, 10);
  EXPECT_EQ(dev.ops[at].y, 10);
  EXPECT_EQ(dev.ops[at].font, 0);
  EXPECT_EQ(dev.ops[at + 1].kind, RecordingDevice::Op::Line);
  EXPECT_EQ(dev.ops[at + 1].y, 10 + 18);
  EXPECT_EQ(dev.ops[at + 2].y, 10 + 18 + 9);

  // Every row of text stays above the bottom margin and none is lost.
  int rows = 0;
  for (const auto& op : dev.texts()) {
    EXPECT_LE(op.y + (op.font == 0 ? 18 : 10), 390) << op.text;
    rows += op.text.rfind("row ", 0) == 0;
  }
  EXPECT_EQ(rows, 60);
}

TEST_F(PrintLayout, AWrappedRunCarriedOntoANewPageStillWrapsAtTheMargin) {
  // A long paragraph whose wrap coincides with page breaks: every row must
  // stay within the margins on every page.
  std::string words;
  for (int i = 0; i < 400; ++i) words += "word" + std::to_string(i % 10) + " ";
  setLines({sent(words)});
  ASSERT_TRUE(printConversation(&dev, conversation, profile));
  EXPECT_GE(dev.pagesStarted, 3);
  for (const auto& op : dev.texts())
    EXPECT_LE(op.x + 10 * static_cast<int>(op.text.size()), 290) << op.text;
}

TEST_F(PrintLayout, NoDeviceNoPrint) {
  EXPECT_FALSE(printConversation(nullptr, conversation, profile));
}

// The rule Personal Preferences applies at OK: at least one inch across and
// down on A4 (8.27 in wide) and Letter (11 in high).
TEST(PrintMargins, RefusedWhenTheyLeaveLessThanAnInchOnA4OrLetter) {
  struct Case {
    int units;
    double top, left, right, bottom;
    bool accepted;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {0, 1, 1, 1, 1, true},            // a new profile's margins
      {0, 1, 6, 6, 1, false},           // no width at all
      {0, 1, 3.63, 3.63, 1, true},      // 1.01 in across A4
      {0, 1, 3.64, 3.64, 1, false},     // 0.99 in
      {0, 5, 1, 1, 5, true},            // exactly an inch down Letter
      {0, 5, 1, 1, 5.01, false},        // just under
      {1, 2.54, 9.2, 9.2, 2.54, true},  // centimetres: 1.03 in across
      {1, 2.54, 9.4, 9.4, 2.54, false},
      {3, 72, 300, 300, 72, false},  // points
      {0, -20, 1, 1, 9.9, true},     // a negative top margin counts as none
      {0, 1, 1, -3, 1, true},        // a negative right one reaches past the edge
      {0, 1, nan, 1, 1, false},      // a margin that is not a number
  };
  for (const Case& c : cases) {
    Profile p;
    p.units = c.units;
    p.topMargin = c.top;
    p.leftMargin = c.left;
    p.rightMargin = c.right;
    p.bottomMargin = c.bottom;
    EXPECT_EQ(marginsLeavePrintableArea(p), c.accepted)
        << c.units << ": " << c.top << " " << c.left << " " << c.right << " " << c.bottom;
  }
}

// A page that keeps less than an inch between the margins (a profile
// stored before the rule, or paper smaller than A4 and Letter) prints
// nothing: before, a page was started for nearly every character.
TEST_F(PrintLayout, APageWithoutRoomBetweenTheMarginsPrintsNothing) {
  setLines({sent("one line of text")});
  const PageGeometry a4{0, 0, 595, 842, 72, 72};
  struct Case {
    double top, left, right, bottom;
    bool printed;
  };
  const Case cases[] = {
      {72, 216, 216, 72, true},   // 163 points across: more than an inch
      {72, 270, 270, 72, false},  // 55 points across
      {380, 72, 72, 400, false},  // 62 points down
      {6 * 72, 6 * 72, 6 * 72, 6 * 72, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left);
    RecordingDevice d;
    d.geo = a4;
    profile.topMargin = c.top;
    profile.leftMargin = c.left;
    profile.rightMargin = c.right;
    profile.bottomMargin = c.bottom;
    EXPECT_EQ(printConversation(&d, conversation, profile), c.printed);
    EXPECT_EQ(d.pagesStarted, c.printed ? 1 : 0);
    EXPECT_EQ(d.ops.empty(), !c.printed);
  }
}

}  // namespace
}  // namespace quelto
