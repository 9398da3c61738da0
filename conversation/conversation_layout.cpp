#include "conversation/conversation_layout.h"

#include <algorithm>

namespace quelto {

namespace {

constexpr char kLineFeed = '\n';

}  // namespace

std::string ConversationLayout::shownText(std::string_view cp1252) {
  std::string shown;
  shown.reserve(cp1252.size());
  for (char c : cp1252) {
    const auto ch = static_cast<unsigned char>(c);
    if (c == kLineFeed) continue;
    if (ch < 32 || ch == 127) {
      shown.push_back('^');
      shown.push_back(static_cast<char>(ch ^ 0x40));
    } else {
      shown.push_back(c);
    }
  }
  return shown;
}

void ConversationLayout::setFonts(const LineFont& sent, const LineFont& received) {
  if (sent != sent_ || received != received_) forget();
  sent_ = sent;
  received_ = received;
}

void ConversationLayout::forget() {
  for (Line& line : lines_) line.rows.clear();
}

double ConversationLayout::widthOf(const Line& line, int first, int end) const {
  if (end <= first) return 0;
  const std::string shown = shownText(std::string_view(line.text).substr(
      static_cast<std::size_t>(first - 1), static_cast<std::size_t>(end - first)));
  if (shown.empty()) return 0;
  return fontOf(line).measure->width(shown);
}

void ConversationLayout::wrapFrom(Line& line, int from) {
  const std::string& t = line.text;
  const int n = static_cast<int>(t.size());
  const double wrap = fontOf(line).wrapWidth;
  int pos = from - 1;  // 0-based from here on
  do {
    const int start = pos;
    int i = start;
    int end = n;
    bool wordOnRow = false;
    // The row's width up to the end of its last word, grown a word (with
    // the spaces before it) at a time.
    double rowWidth = 0;
    int measuredTo = start;
    for (;;) {
      const int wordStart = i;
      while (i < n && t[i] != ' ' && t[i] != kLineFeed) ++i;
      if (i > wordStart) {
        const double width = rowWidth + widthOf(line, measuredTo + 1, i + 1);
        // Break before a word that would cross the wrap width, unless it
        // is the row's first: a word never splits.
        if (wordOnRow && width > wrap) {
          end = wordStart;
          break;
        }
        wordOnRow = true;
        rowWidth = width;
        measuredTo = i;
      }
      if (i >= n) {
        end = n;
        break;
      }
      if (t[i] == kLineFeed) {
        end = i + 1;
        break;
      }
      ++i;  // the space
    }
    line.rows.push_back({start + 1, end + 1, rowWidth});
    pos = end;
  } while (pos < n);
  line.width = 0;
  for (const Row& row : line.rows) line.width = std::max(line.width, row.width);
}

void ConversationLayout::update(const Conversation& conversation) {
  const std::size_t n = static_cast<std::size_t>(std::max(0, conversation.lineCount() - 1));
  std::size_t firstChanged = std::min(lines_.size(), n);
  wrappedInLastUpdate_ = 0;
  if (lines_.size() > n) lines_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const ConversationLine& source = *conversation.lines[i];
    const std::string_view chars = std::string_view(source.text).substr(1);
    const bool received = source.isReceived();
    if (i == lines_.size()) lines_.emplace_back();
    Line& line = lines_[i];
    if (!line.rows.empty() && line.received == received && line.text == chars) continue;
    firstChanged = std::min(firstChanged, i);
    ++wrappedInLastUpdate_;
    const bool grewAtEnd = !line.rows.empty() && line.received == received &&
                           chars.size() > line.text.size() &&
                           chars.compare(0, line.text.size(), line.text) == 0;
    int from = 1;
    if (grewAtEnd) {
      // Every row but the last is still right: the new characters only
      // touch the last word.
      from = line.rows.back().first;
      line.rows.pop_back();
    } else {
      line.rows.clear();
    }
    line.text.assign(chars);
    line.received = received;
    wrapFrom(line, from);
  }
  for (std::size_t i = firstChanged; i < lines_.size(); ++i)
    lines_[i].top = i == 0 ? 0 : lines_[i - 1].top + lineHeight(static_cast<int>(i - 1));
}

int ConversationLayout::rowHeight(int line) const {
  return fontOf(lines_[line]).rowHeight;
}

double ConversationLayout::lineHeight(int line) const {
  return static_cast<double>(lines_[line].rows.size()) * rowHeight(line);
}

double ConversationLayout::height() const {
  if (lines_.empty()) return 0;
  return lines_.back().top + lineHeight(lineCount() - 1);
}

double ConversationLayout::width() const {
  double widest = 0;
  for (const Line& line : lines_) widest = std::max(widest, line.width);
  return widest;
}

int ConversationLayout::firstLineBelow(double y) const {
  int lo = 0, hi = lineCount();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (lines_[mid].top + lineHeight(mid) > y)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

int ConversationLayout::lastRowStart(int line) const {
  const auto& rows = lines_[line].rows;
  return rows.empty() ? 1 : rows.back().first;
}

std::optional<ConversationLayout::Hit> ConversationLayout::hitTest(double x, double y) const {
  if (y < 0) return std::nullopt;
  const int i = firstLineBelow(y);
  if (i >= lineCount()) return std::nullopt;
  const Line& line = lines_[i];
  const int r = std::min(static_cast<int>((y - line.top) / rowHeight(i)),
                         static_cast<int>(line.rows.size()) - 1);
  const Row& row = line.rows[r];
  if (x < 0) return Hit{i, row.first - 1};
  for (int k = row.first; k < row.end; ++k) {
    if (line.text[k - 1] == kLineFeed) break;
    if (x < widthOf(line, row.first, k + 1)) return Hit{i, k};
  }
  return std::nullopt;
}

std::vector<ConversationLayout::Rect> ConversationLayout::selectionRects(int line, int first,
                                                                         int last) const {
  std::vector<Rect> rects;
  const Line& l = lines_[line];
  first = std::max(first, 1);
  last = std::min(last, static_cast<int>(l.text.size()));
  const int h = rowHeight(line);
  for (std::size_t r = 0; r < l.rows.size(); ++r) {
    const Row& row = l.rows[r];
    const int a = std::max(first, row.first);
    const int b = std::min(last, row.end - 1);
    if (a > b) continue;
    const double x1 = widthOf(l, row.first, a);
    const double x2 = widthOf(l, row.first, b + 1);
    rects.push_back({x1, l.top + static_cast<double>(r) * h, x2 - x1, static_cast<double>(h)});
  }
  return rects;
}

std::string ConversationLayout::rowText(int line, int row) const {
  const Line& l = lines_[line];
  const Row& r = l.rows[row];
  return shownText(std::string_view(l.text).substr(static_cast<std::size_t>(r.first - 1),
                                                   static_cast<std::size_t>(r.end - r.first)));
}

}  // namespace quelto
