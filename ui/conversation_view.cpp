#include "ui/conversation_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <optional>

#include "conversation/prompt.h"
#include "modem/baudot.h"
#include "modem/modem_control.h"
#include "settings/global_settings.h"
#include "settings/translation.h"
#include "text/text_encoding.h"

namespace quelto {

namespace {

std::string toUtf8(std::string_view cp1252) {
  return cp1252ToUtf8(std::string(cp1252));
}

}  // namespace

void ToolkitTextMeasure::select() const {
  fl_font(face_, size_);
}

double ToolkitTextMeasure::width(std::string_view cp1252) {
  select();
  const std::string utf8 = toUtf8(cp1252);
  return fl_width(utf8.c_str(), static_cast<int>(utf8.size()));
}

int ToolkitTextMeasure::rowHeight() const {
  select();
  return fl_height();
}

ConversationView::ConversationView(int x, int y, int w, int h, const char* label)
    : Fl_Widget(x, y, w, h, label), contentWidth_(w), contentHeight_(h) {
  box(FL_THIN_UP_BOX);
  color(display_default::kBackgroundColour);
  setDisplay(display_);
}

ConversationView::~ConversationView() = default;

void ConversationView::setScrollbars(Fl_Scrollbar* horizontal, Fl_Scrollbar* vertical) {
  hScroll_ = horizontal;
  vScroll_ = vertical;
  redrawAll();
}

void ConversationView::setDisplay(const ConversationDisplay& display) {
  display_ = display;
  sentMeasure_.setFont(display_.sentFace, display_.sentSize);
  receivedMeasure_.setFont(display_.receivedFace, display_.receivedSize);
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
  layout_.forget();
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
  refitPending_ = true;
  Fl_Widget::resize(x, y, w, h);
}

int ConversationView::bandFontHeight() const {
  fl_font(conversation.currentLine().isReceived() ? display_.receivedFace : display_.sentFace,
          display_.currentSize);
  return fl_height();
}

// The history's bottom sits on the band; scrolling up moves it down.
int ConversationView::historyTop() const {
  int bottom = y() + h() - 9 - bandFontHeight();
  if (vScroll_ && vScroll_->value() > 0) bottom += static_cast<int>(vScroll_->value());
  return bottom - static_cast<int>(layout_.height());
}

int ConversationView::textLeft() const {
  int left = x() + bandFontHeight() / 4 + 3;
  if (hScroll_ && hScroll_->value() > 0) left -= static_cast<int>(hScroll_->value());
  return left;
}

void ConversationView::updateLayout() {
  const int sentHeight = sentMeasure_.rowHeight();
  const int receivedHeight = receivedMeasure_.rowHeight();
  layout_.setFonts({&sentMeasure_, sentHeight, wrapWidth(sentHeight)},
                   {&receivedMeasure_, receivedHeight, wrapWidth(receivedHeight)});
  layout_.update(conversation);

  contentWidth_ = w() - 6;
  const double widest = layout_.width();
  if (widest > contentWidth_) contentWidth_ = static_cast<int>(widest * 1.02);
  contentHeight_ = static_cast<int>(layout_.height());
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
// own, or all of it in the history. The current line goes back onto that
// line, the joined line is wrapped at the new width, and its last row comes
// back down into the band (a one-row line comes down whole); the band then
// wraps what does not fit at a word, like typed text.
bool ConversationView::refitBandAfterResize() {
  if (!refitPending_) return false;
  refitPending_ = false;
  if (!conversation.joinCurrentLineUp()) return false;
  updateLayout();
  const int above = conversation.lineCount() - 2;
  conversation.moveTailIntoCurrentLine(layout_.lastRowStart(above));
  updateLayout();
  return true;
}

bool ConversationView::drawBand() {
  ConversationLine& current = conversation.currentLine();
  const int fh = bandFontHeight();
  const int d = fl_descent();
  fl_color(display_.bottomBackground);
  fl_rect(x(), y(), w(), h());
  fl_rect(x() + 1, y() + 1, w() - 2, h() - 1);
  fl_rectf(x(), y() + h() - 6 - fh, w(), fh + 6);
  fl_push_clip(x(), y() + h() - 6 - fh, w(), fh + 6);
  // The band shows no glyph for a line feed.
  std::string chars = current.text.substr(1);
  chars.erase(std::remove(chars.begin(), chars.end(), '\n'), chars.end());
  const std::string utf8 = toUtf8(chars);
  const double tw = fl_width(utf8.c_str(), static_cast<int>(utf8.size()));
  double x0 = x() + 3 + fh / 4.0;
  if (tw >= w() - 6) x0 = (x() + 3) - (tw - (w() - 6));
  const bool overflow = tw >= w() - 6 - fh - 1;
  fl_color(display_.currentColor);
  const int baseline = y() + h() - 3 - d;
  fl_draw(utf8.c_str(), static_cast<int>(utf8.size()), static_cast<float>(x0),
          static_cast<float>(baseline));
  const int caret = static_cast<int>(x0 + tw);
  fl_line(caret + 1, y() + h() - 3 - fh, caret + 1, y() + h() - 3);
  fl_line(caret + 2, y() + h() - 3 - fh, caret + 2, y() + h() - 3);
  fl_pop_clip();
  return overflow;
}

void ConversationView::drawHistory() {
  const int fh = bandFontHeight();
  const int top = historyTop();
  const int left = textLeft();
  fl_push_clip(x() + 3, y() + 3, w() - 6, h() - 10 - fh);
  fl_color(display_.background);
  fl_rectf(x() + 3, y() + 3, w() - 5, h() - 9 - fh);
  const int clipTop = y() + 3;
  const int clipBottom = y() + h() - 7 - fh;
  const int lines = layout_.lineCount();
  // Only the rows inside the clip are drawn, so a long conversation costs
  // nothing above or below the visible area.
  for (int i = layout_.firstLineBelow(clipTop - top); i < lines; ++i) {
    const int lineTop = top + static_cast<int>(layout_.lineTop(i));
    if (lineTop > clipBottom) break;
    const auto range = conversation.selectedRange(i);
    if (range.first >= 0) {
      fl_color(kSelectionColor);
      for (const ConversationLayout::Rect& r : layout_.selectionRects(i, range.first, range.second))
        fl_rectf(left + static_cast<int>(r.x), top + static_cast<int>(r.y),
                 std::max(0, static_cast<int>(r.w)), static_cast<int>(r.h));
    }
    const bool received = conversation.lines[i]->isReceived();
    (received ? receivedMeasure_ : sentMeasure_).select();
    fl_color(received ? display_.receivedColor : display_.sentColor);
    const int rowHeight = layout_.rowHeight(i);
    const int ascent = rowHeight - fl_descent();
    const int rows = static_cast<int>(layout_.rows(i).size());
    for (int r = 0; r < rows; ++r) {
      const int rowTop = lineTop + r * rowHeight;
      if (rowTop + rowHeight < clipTop) continue;
      if (rowTop > clipBottom) break;
      const std::string utf8 = toUtf8(layout_.rowText(i, r));
      fl_draw(utf8.c_str(), static_cast<int>(utf8.size()), left, rowTop + ascent);
    }
  }
  fl_pop_clip();
}

void ConversationView::wrapCurrentLine() {
  conversation.startNewLine();
  conversation.splitCurrentLine();
  conversation.joinAfterSplit();
}

void ConversationView::draw() {
  const bool currentOnly = (damage() & ~FL_DAMAGE_USER1) == 0;
  for (int pass = 0; pass < 2; ++pass) {
    const bool full = pass > 0 || !currentOnly;
    if (refitBandAfterResize() && !full) continue;
    updateLayout();
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
  updateLayout();
  const std::optional<ConversationLayout::Hit> hit =
      layout_.hitTest(px - textLeft(), py - historyTop());
  if (!hit) return false;
  lineIndex = hit->line;
  ch = hit->character;
  return true;
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
    // '+' is Shift+'=' on many keyboards: Ctrl+= counts as Ctrl+Plus.
    const char typed = Fl::event_length() > 0 ? Fl::event_text()[0] : 0;
    const int step = (key == '=' || key == '+' || key == FL_KP + '+' || typed == '+') ? 1
                     : (key == '-' || key == FL_KP + '-' || typed == '-')             ? -1
                                                                                      : 0;
    if (step != 0) {
      if (textSize_) textSize_(step);
      return 1;
    }
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
    redrawAll();
    resetScroll();
  }
}

bool ConversationView::clearConversation() {
  if (!clearing && prompt_ && conversation.modified && readSetting(setting::kConfirmEditCut)) {
    // Cancel first: Escape and closing the box answer with the first
    // button; Enter presses the second, Yes.
    const int answer =
        prompt_->choice(translate(Text::NotSavedSaveChanges), translate(Text::Cancel),
                        translate(Text::Yes), translate(Text::No));
    if (answer == 0) return false;
    if (answer == 1 && !(save_ && save_())) return false;
  }
  conversation.clear();
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
  redrawAll();
}

}  // namespace quelto
