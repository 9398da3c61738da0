#include "ui/conversation_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "conversation/prompt.h"
#include "modem/baudot.h"
#include "modem/modem_control.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "text/text_encoding.h"

namespace quelto {

namespace {

constexpr Fl_Color kSelectionColor = 4;  // blue in the toolkit's colour map
constexpr int kExpandBuffer = 4096;

// The characters of a line (its text without the direction byte) as UTF-8.
std::string lineUtf8(const ConversationLine& line) {
  return cp1252ToUtf8(line.text.substr(1));
}

// Byte offset in `utf8` of the character that follows `count` characters.
size_t utf8Offset(const std::string& utf8, int count) {
  size_t i = 0;
  while (count > 0 && i < utf8.size()) {
    ++i;
    while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
    --count;
  }
  return i;
}

// Number of characters in the first `bytes` bytes of `utf8`.
int utf8Count(const std::string& utf8, size_t bytes) {
  int n = 0;
  for (size_t i = 0; i < bytes && i < utf8.size(); ++i)
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

ConversationView::ConversationView(int x, int y, int w, int h, const char* label)
    : Fl_Widget(x, y, w, h, label), contentWidth_(w), contentHeight_(h) {
  box(FL_THIN_UP_BOX);
  color(196);
}

ConversationView::~ConversationView() = default;

void ConversationView::setScrollbars(Fl_Scrollbar* horizontal, Fl_Scrollbar* vertical) {
  hScroll_ = horizontal;
  vScroll_ = vertical;
  relayout();
  redrawAll();
}

void ConversationView::setDisplay(const ConversationDisplay& display) {
  display_ = display;
  relayout();
  redrawAll();
}

void ConversationView::redrawCurrentLine() {
  damage(FL_DAMAGE_USER1);
}

void ConversationView::redrawAll() {
  redraw();
}

void ConversationView::relayout() {
  for (auto& line : conversation.lines) line->markUnmeasured();
}

void ConversationView::resetScroll() {
  if (hScroll_) {
    hScroll_->value(0);
    hScroll_->redraw();
  }
  if (vScroll_) {
    vScroll_->value(0);
    vScroll_->redraw();
  }
}

void ConversationView::resize(int x, int y, int w, int h) {
  relayout();
  reflowPending_ = true;
  Fl_Widget::resize(x, y, w, h);
}

void ConversationView::setLineFont(const ConversationLine& line) const {
  if (line.isReceived())
    fl_font(display_.receivedFace, display_.receivedSize);
  else
    fl_font(display_.sentFace, display_.sentSize);
}

// Wraps the line with the toolkit's own rules for wrapped labels
// (fl_expand_text is what fl_measure and fl_draw use), so the rows measured
// here are exactly the rows drawn, and keeps where each row starts. Rows are
// made left to right, each from its own start, so when the line only grew
// at its end (typing, receiving, joining) every row but the last is still
// right and wrapping starts again at the last one.
void ConversationView::measureLine(ConversationLine& line, int wrap) {
  RowCache& cache = rows_[&line];
  const size_t count = line.text.size() - 1;
  const bool grewAtEnd = !cache.rowStarts.empty() && cache.wrap == wrap &&
                         cache.face == fl_font() && cache.size == fl_size() &&
                         cache.source.size() <= count &&
                         line.text.compare(1, cache.source.size(), cache.source) == 0;
  double widestBefore = 0;
  size_t from = 0;
  if (grewAtEnd) {
    cache.utf8 += cp1252ToUtf8(line.text.substr(1 + cache.source.size()));
    from = static_cast<size_t>(cache.rowStarts.back());
    cache.rowStarts.pop_back();
    widestBefore = cache.widestBeforeLast;
  } else {
    cache.utf8 = lineUtf8(line);
    cache.rowStarts.clear();
  }
  cache.source.assign(line.text, 1, std::string::npos);
  cache.face = fl_font();
  cache.size = fl_size();
  cache.wrap = wrap;
  char buf[kExpandBuffer];
  const char* start = cache.utf8.c_str();
  const char* p = start + from;
  double last = 0;
  for (;;) {
    int n = 0;
    double width = 0;
    cache.rowStarts.push_back(static_cast<int>(p - start));
    const char* e = fl_expand_text(p, buf, kExpandBuffer, wrap, n, width, 1, 0);
    if (!*e || e == p) {
      last = std::ceil(width);
      break;
    }
    widestBefore = std::max(widestBefore, std::ceil(width));
    p = e;
  }
  cache.widestBeforeLast = widestBefore;
  line.width = static_cast<int>(std::max(widestBefore, last));
  line.height = static_cast<int>(cache.rowStarts.size()) * fl_height();
}

void ConversationView::forgetPositions() {
  for (auto& line : conversation.lines) {
    line->top = -1;
    line->left = -1;
  }
}

void ConversationView::layout() {
  auto& lines = conversation.lines;
  const int n = conversation.lineCount();
  lastRowSet_ = false;
  for (int i = n - 2; i >= 0; --i) {
    ConversationLine& line = *lines[i];
    if (line.height != -1) break;
    setLineFont(line);
    measureLine(line, wrapWidth(fl_height()));
    if (!lastRowSet_) {
      // Offset, in characters from index 1, of the first character of the
      // last non-empty row.
      const RowCache& cache = rows_[&line];
      int offset = 0;
      for (int r = static_cast<int>(cache.rowStarts.size()) - 1; r >= 0; --r) {
        size_t s = static_cast<size_t>(cache.rowStarts[r]);
        if (s < cache.utf8.size()) {
          offset = utf8Count(cache.utf8, s);
          break;
        }
      }
      lastRowOffset_ = offset;
      lastRowSet_ = true;
    }
  }
  contentWidth_ = w() - 6;
  contentHeight_ = 0;
  for (int i = 0; i < n - 1; ++i) {
    const ConversationLine& line = *lines[i];
    if (line.width > contentWidth_) contentWidth_ = static_cast<int>(line.width * 1.02);
    if (line.height > 0) contentHeight_ += line.height;
  }
  const int sc = display_.currentSize;
  if (contentHeight_ < h() - 12 - sc) contentHeight_ = h() - 12 - sc;
  const int step = (display_.receivedSize + display_.sentSize) / 8;
  if (vScroll_) {
    vScroll_->bounds(contentHeight_ - h() + sc + 12, 0);
    vScroll_->step(1);
    vScroll_->linesize(std::max(1, step));
    vScroll_->slider_size(double(h() - 12 - sc) / contentHeight_);
  }
  if (hScroll_) {
    hScroll_->bounds(0, contentWidth_ - w() + 6);
    hScroll_->step(1);
    hScroll_->linesize(std::max(1, step));
    hScroll_->slider_size(double(w() - 6) / contentWidth_);
  }
}

// A resize may leave the end of the line above the band on a row of its
// own; the current line and that line are joined first so that the second
// half can bring the last visual row back down into the band.
void ConversationView::reflowFirstHalf() {
  if (!reflowPending_ || conversation.lineCount() < 2) return;
  auto& lines = conversation.lines;
  ConversationLine& above = *lines[lines.size() - 2];
  ConversationLine& current = *lines.back();
  if (above.direction() == current.direction()) {
    above.text.append(current.text, 1, std::string::npos);
    above.markUnmeasured();
    lines.pop_back();
    conversation.startNewLine();
  } else {
    reflowPending_ = false;
  }
}

bool ConversationView::reflowSecondHalf() {
  if (!reflowPending_ || conversation.lineCount() < 2) return false;
  reflowPending_ = false;
  auto& lines = conversation.lines;
  ConversationLine& above = *lines[lines.size() - 2];
  int k = lastRowSet_ ? lastRowOffset_ + 1 : 0;  // index into text
  if (k > 1) {
    if (k < above.length() && above.text[k] == static_cast<char>(kLineFeed)) ++k;
    ConversationLine& current = *lines.back();
    if (k < above.length()) {
      current.text.append(above.text, k, std::string::npos);
      above.text.resize(k);
    }
  } else {
    lines.pop_back();
    conversation.startNewLine();
  }
  relayout();
  layout();
  return true;
}

bool ConversationView::drawBand() {
  ConversationLine& current = conversation.currentLine();
  fl_font(current.isReceived() ? display_.receivedFace : display_.sentFace, display_.currentSize);
  const int fh = fl_height();
  const int d = fl_descent();
  fl_color(display_.bottomBackground);
  fl_rect(x(), y(), w(), h());
  fl_rect(x() + 1, y() + 1, w() - 2, h() - 1);
  fl_rectf(x(), y() + h() - 6 - fh, w(), fh + 6);
  fl_push_clip(x(), y() + h() - 6 - fh, w(), fh + 6);
  const std::string utf8 = lineUtf8(current);
  const double tw = fl_width(utf8.c_str(), static_cast<int>(utf8.size()));
  double x0 = x() + 3 + fh / 4.0;
  if (tw >= w() - 6) x0 = (x() + 3) - (tw - (w() - 6));
  const bool overflow = tw >= w() - 6 - fh - 1;
  fl_color(display_.currentColor);
  const int baseline = y() + h() - 3 - d;
  fl_draw(utf8.c_str(), static_cast<int>(utf8.size()), static_cast<float>(x0),
          static_cast<float>(baseline));
  current.top = baseline;
  current.left = static_cast<int>(x0);
  const int caret = static_cast<int>(x0 + tw);
  fl_line(caret + 1, y() + h() - 3 - fh, caret + 1, y() + h() - 3);
  fl_line(caret + 2, y() + h() - 3 - fh, caret + 2, y() + h() - 3);
  fl_pop_clip();
  return overflow;
}

void ConversationView::drawHistory() {
  forgetPositions();
  ConversationLine& current = conversation.currentLine();
  fl_font(current.isReceived() ? display_.receivedFace : display_.sentFace, display_.currentSize);
  const int fh = fl_height();
  int bottom = y() + h() - 9 - fh;
  int left = x() + fh / 4 + 3;
  fl_push_clip(x() + 3, y() + 3, w() - 6, h() - 10 - fh);
  fl_color(display_.background);
  fl_rectf(x() + 3, y() + 3, w() - 5, h() - 9 - fh);
  if (vScroll_ && vScroll_->value() > 0) bottom += static_cast<int>(vScroll_->value());
  if (hScroll_ && hScroll_->value() > 0) left -= static_cast<int>(hScroll_->value());
  char buf[kExpandBuffer];
  const int clipTop = y() + 3;
  const int clipBottom = y() + h() - 7 - fh;
  for (int i = conversation.lineCount() - 2; i >= 0; --i) {
    ConversationLine& line = *conversation.lines[i];
    setLineFont(line);
    const int rowHeight = fl_height();
    if (line.height == -1) measureLine(line, wrapWidth(rowHeight));
    bottom -= line.height;
    const RowCache& cache = rows_[&line];
    auto range = conversation.selectedRange(i);
    if (range.first >= 0) {
      // Spans use the unwrapped characters, from the one before `first`
      // to `last`.
      const size_t a = utf8Offset(cache.utf8, std::max(0, range.first - 1));
      const size_t b = utf8Offset(cache.utf8, std::max(0, range.second));
      const int x1 = left + static_cast<int>(fl_width(cache.utf8.c_str(), static_cast<int>(a)));
      const int x2 = left + static_cast<int>(fl_width(cache.utf8.c_str(), static_cast<int>(b)));
      fl_color(kSelectionColor);
      fl_rectf(x1, bottom, std::max(0, x2 - x1), line.height);
    }
    fl_color(line.isReceived() ? display_.receivedColor : display_.sentColor);
    // Draw only the rows inside the clip; the rows come from the cache, so
    // a long line costs nothing above or below the visible area.
    const int rows = static_cast<int>(cache.rowStarts.size());
    const int ascent = rowHeight - fl_descent();
    for (int r = 0; r < rows; ++r) {
      const int rowTop = bottom + r * rowHeight;
      if (rowTop + rowHeight < clipTop) continue;
      if (rowTop > clipBottom) break;
      int n = 0;
      double width = 0;
      fl_expand_text(cache.utf8.c_str() + cache.rowStarts[r], buf, kExpandBuffer,
                     wrapWidth(rowHeight), n, width, 1, 0);
      fl_draw(buf, n, left, rowTop + ascent);
    }
    line.top = bottom;
    line.left = left;
    if (bottom < y() + 3) break;
  }
  fl_pop_clip();
}

void ConversationView::wrapCurrentLine() {
  conversation.startNewLine();
  conversation.splitCurrentLine();
  conversation.joinAfterSplit();
  relayout();
}

void ConversationView::draw() {
  const bool currentOnly = (damage() & ~FL_DAMAGE_USER1) == 0;
  for (int pass = 0; pass < 2; ++pass) {
    const bool full = pass > 0 || !currentOnly;
    reflowFirstHalf();
    layout();
    if (reflowSecondHalf() && !full) continue;
    if (full) {
      fl_color(display_.bottomBackground);
      fl_rectf(x(), y(), w(), h());
    }
    const bool overflow = drawBand();
    if (!full) {
      if (!overflow) return;
      wrapCurrentLine();
      continue;
    }
    drawHistory();
    if (!overflow || pass > 0) return;
    wrapCurrentLine();
  }
}

bool ConversationView::hitTest(int px, int py, int& lineIndex, int& ch) {
  for (int i = 0; i < conversation.lineCount(); ++i) {
    ConversationLine& line = *conversation.lines[i];
    if (line.top < 0 || py < line.top || py > line.top + line.height) continue;
    setLineFont(line);
    const std::string utf8 = lineUtf8(line);
    for (int k = 1; k <= line.length() - 1; ++k) {
      const size_t bytes = utf8Offset(utf8, k - 1);
      if (line.left + fl_width(utf8.c_str(), static_cast<int>(bytes)) > px) {
        lineIndex = i;
        ch = k - 1;
        return true;
      }
    }
  }
  return false;
}

int ConversationView::handle(int event) {
  switch (event) {
    case FL_PUSH: {
      int line = 0, ch = 0;
      if (hitTest(Fl::event_x(), Fl::event_y(), line, ch)) {
        if (Fl::event_state(FL_SHIFT)) {
          conversation.setSelectionEnd(line, ch);
        } else {
          conversation.setSelectionAnchor(line, ch);
          conversation.setSelectionEnd(line, ch);
          dragging_ = true;
        }
        if (window()) window()->redraw();
      }
      Fl::focus(this);
      return 1;
    }
    case FL_RELEASE:
      if (dragging_) {
        int line = 0, ch = 0;
        if (hitTest(Fl::event_x(), Fl::event_y(), line, ch)) {
          conversation.setSelectionEnd(line, ch);
          if (window()) window()->redraw();
        }
      }
      dragging_ = false;
      return 1;
    case FL_ENTER:
    case FL_FOCUS:
    case FL_UNFOCUS:
      return 1;
    case FL_KEYBOARD:
      return handleKey();
    case FL_PASTE:
      handlePaste();
      return 0;
    default:
      return 0;
  }
}

// --- Typing and sending ---------------------------------------------------------

bool ConversationView::sendCharacter(ModemControl::Lock& lock, unsigned char ch, bool& structure) {
  if (isSendable(ch)) {
    lock.queueTyped(ch);
    structure |= conversation.addSent(ch == kCarriageReturn ? kLineFeed : ch);
    return true;
  }
  if (ch == '@') {
    sendAtSign(lock, structure);
    return true;
  }
  return false;
}

// "@" has no Baudot code: it is spelled out, "(at)" in English and "(a)" in
// French, both on the line and on screen.
void ConversationView::sendAtSign(ModemControl::Lock& lock, bool& structure) {
  std::string spelled = currentLanguage() == kLanguageEnglish ? "(at)" : "(a)";
  for (char c : spelled) {
    const auto ch = static_cast<unsigned char>(c);
    lock.queueTyped(ch);
    structure |= conversation.addSent(ch);
  }
}

void ConversationView::afterSent(bool structure) {
  if (structure) {
    conversation.joinAfterSplit();
    relayout();
    redrawAll();
    resetScroll();
  } else {
    redrawCurrentLine();
  }
}

int ConversationView::handleKey() {
  const int key = Fl::event_key();
  const int state = Fl::event_state();
  if (state & FL_ALT) {
    if (key == 'i') {
      if (modem_) modem_->forceLetters();
      return 1;
    }
    return 0;
  }
  if (state & FL_CTRL) {
    if (key == FL_Insert) {
      if (copy_) copy_();
      return 1;
    }
    if (key == 'l' || key == 'L') {
      relayout();
      redrawAll();
      if (window()) window()->redraw();
      return 1;
    }
    if (key == 'h' || key == 'H') return 1;
  } else if (state & FL_SHIFT && key == FL_Insert) {
    if (paste_) paste_();
    return 1;
  } else if (state & FL_SHIFT && key == FL_Delete) {
    if (copy_) copy_();
    clearConversation();
    return 1;
  } else if (key == FL_BackSpace || key == FL_Delete) {
    if (modem_) {
      modem_->queueTyped(std::string(1, static_cast<char>(kBackspace)));
      // A removed line makes the line above the current one again; when it
      // is wider than the band, the next draw wraps it like typed text.
      if (conversation.backspace(false)) {
        relayout();
        redrawAll();
        resetScroll();
      } else {
        redrawCurrentLine();
      }
    }
    return 1;
  } else if (key == FL_Left || key == FL_Right) {
    if (hScroll_) hScroll_->handle(FL_KEYBOARD);
    return 1;
  } else if (key == FL_Up || key == FL_Down || key == FL_Page_Up || key == FL_Page_Down) {
    if (vScroll_) vScroll_->handle(FL_KEYBOARD);
    return 1;
  } else if (key == FL_Escape) {
    return 1;
  }

  // The character rule.
  bool used = false;
  if (modem_) {
    const std::string bytes =
        utf8ToCp1252(std::string(Fl::event_text(), static_cast<size_t>(Fl::event_length())));
    bool structure = false;
    {
      ModemControl::Lock lock(*modem_);
      for (unsigned char ch : bytes) used |= sendCharacter(lock, ch, structure);
    }
    afterSent(structure);
  }
  if (used) return 1;
  for (int i = 0; i < 10; ++i) {
    if (Fl::get_key(FL_F + 3 + i)) {
      if (functionKey_) functionKey_(i);
      return 1;
    }
  }
  return 0;
}

void ConversationView::handlePaste() {
  if (modem_) {
    const std::string bytes =
        utf8ToCp1252(std::string(Fl::event_text(), static_cast<size_t>(Fl::event_length())));
    bool structure = false;
    {
      ModemControl::Lock lock(*modem_);
      for (unsigned char ch : bytes) {
        if (ch == kCarriageReturn) continue;
        sendCharacter(lock, ch, structure);
      }
    }
    relayout();
    redrawAll();
    resetScroll();
  }
}

bool ConversationView::clearConversation() {
  if (!clearing && prompt_ && conversation.modified && getSettingBool("ConfirmEditCut", false)) {
    if (prompt_->choice(translate(Text::NotSavedSaveChanges), translate(Text::No),
                        translate(Text::Yes), "") == 1)
      return false;
  }
  conversation.clear();
  rows_.clear();
  resetScroll();
  if (window()) window()->redraw();
  redrawAll();
  if (modem_) modem_->clearSendQueue();
  return true;
}

std::string ConversationView::clipboardText(const Conversation& conversation) {
  std::string out;
  int previous = -1;
  for (int i = 0; i < conversation.lineCount(); ++i) {
    const ConversationLine& line = *conversation.lines[i];
    if (i > 0 && line.direction() != previous && !out.empty() &&
        out.back() != static_cast<char>(kLineFeed))
      out += "\r\n";
    previous = line.direction();
    std::string chars = line.text.substr(1);
    if (!chars.empty() && chars.back() == static_cast<char>(kLineFeed)) {
      chars.pop_back();
      chars += "\r\n";
    }
    out += chars;
  }
  return out;
}

// --- The modem's queues ------------------------------------------------------------

bool ConversationView::pumpReceived() {
  if (!modem_) return false;
  const std::vector<QueuedChar> received = modem_->takeReceived();
  if (received.empty()) return false;
  bool structure = false;
  for (const QueuedChar& q : received) {
    if (q.character == kBackspace)
      structure |= conversation.backspace(true);
    else
      structure |= conversation.addReceived(q.character);
  }
  if (structure) {
    relayout();
    redrawAll();
    resetScroll();
  } else {
    redrawCurrentLine();
  }
  return true;
}

void ConversationView::eraseWithdrawn(const std::string& withdrawn) {
  if (withdrawn.empty()) return;
  conversation.withdrawSent(withdrawn);
  relayout();
  redrawAll();
}

}  // namespace quelto
