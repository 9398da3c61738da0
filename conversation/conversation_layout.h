// ConversationLayout: where the history lines of a conversation go, in
// rows, without a toolkit.
//
// The history is every line but the current one, stacked top to bottom;
// each line is wrapped into rows at its direction's wrap width. Positions
// are in layout coordinates: x from the left edge of the text, y from the
// top of the history. The widget that draws the history, hit-tests a click
// and paints the selection uses the rows kept here, so all three agree.
//
// Wrapping: a row breaks after a space, before the first word that would
// cross the wrap width; a word that fits on a row is never split, and a word
// wider than a whole row stays whole on a row of its own. A line feed ends
// its row. Control characters show as ^X (two glyphs), as the toolkit draws
// them.
//
// Cache: the layout keeps each line's characters with its rows and re-wraps
// only the lines whose characters changed (a line that only grew at its end
// is re-wrapped from the start of its last row); line tops are summed again
// from the first line that changed. Changing a font or the wrap width, or
// forget(), re-wraps everything at the next update.
//
// Threads: the user-interface thread only, like the conversation.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversation/conversation.h"

namespace quelto {

// How wide a text is, in pixels, in the font of one direction. The text is
// Windows-1252, already as shown (see ConversationLayout::shownText).
struct TextMeasure {
  virtual ~TextMeasure() = default;
  virtual double width(std::string_view cp1252) = 0;
};

// The font of one direction as the layout sees it. The measure must live as
// long as the layout uses it.
struct LineFont {
  TextMeasure* measure = nullptr;
  int rowHeight = 0;
  int wrapWidth = 0;  // pixels available to a row

  bool operator==(const LineFont& o) const {
    return measure == o.measure && rowHeight == o.rowHeight && wrapWidth == o.wrapWidth;
  }
  bool operator!=(const LineFont& o) const { return !(*this == o); }
};

class ConversationLayout {
 public:
  // One row of a line: the characters [first, end) as indices into the
  // line's text (1 = first character), its breaking space or line feed
  // included.
  struct Row {
    int first = 1;
    int end = 1;
    double width = 0;  // of the shown characters, trailing spaces left out
  };
  struct Rect {
    double x = 0, y = 0, w = 0, h = 0;
  };
  // A character of a line: 1 = the first; first - 1 of a row when the
  // point is left of that row's text.
  struct Hit {
    int line = -1;
    int character = 0;
  };

  // Fonts of sent and received lines. A change from the previous call
  // re-wraps every line at the next update.
  void setFonts(const LineFont& sent, const LineFont& received);
  // Every line is wrapped again at the next update (the fonts' faces or
  // sizes changed behind the same measures).
  void forget();
  // Brings the rows and tops up to date with the conversation's history.
  void update(const Conversation& conversation);

  // --- As of the latest update ---
  int lineCount() const { return static_cast<int>(lines_.size()); }
  const std::vector<Row>& rows(int line) const { return lines_[line].rows; }
  int rowHeight(int line) const;
  double lineTop(int line) const { return lines_[line].top; }
  double lineHeight(int line) const;
  double height() const;  // of the whole history
  double width() const;   // of the widest row
  // The first line whose bottom is below y (lineCount() when none).
  int firstLineBelow(double y) const;
  // Text index of the first character of a line's last row.
  int lastRowStart(int line) const;
  // How many lines the latest update wrapped.
  int wrappedInLastUpdate() const { return wrappedInLastUpdate_; }

  // The character under a point; nothing above or below the history or
  // right of the text of the row under it.
  std::optional<Hit> hitTest(double x, double y) const;
  // The rectangles covering characters first..last (inclusive text
  // indices, clamped to the line) of a line, one per row they touch.
  std::vector<Rect> selectionRects(int line, int first, int last) const;
  // The shown characters of a row (Windows-1252), line feed left out.
  std::string rowText(int line, int row) const;

  // Characters as drawn: control characters (line feed aside) become ^X.
  static std::string shownText(std::string_view cp1252);

 private:
  struct Line {
    std::string text;  // the characters (direction byte left out)
    bool received = false;
    std::vector<Row> rows;
    double width = 0;
    double top = 0;
  };

  const LineFont& fontOf(const Line& line) const { return line.received ? received_ : sent_; }
  // Width of the shown characters [first, end) of a line.
  double widthOf(const Line& line, int first, int end) const;
  // Wraps a line's text from text index `from`, which starts a row.
  void wrapFrom(Line& line, int from);

  LineFont sent_;
  LineFont received_;
  std::vector<Line> lines_;
  int wrappedInLastUpdate_ = 0;
};

}  // namespace quelto
