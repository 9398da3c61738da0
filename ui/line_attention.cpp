#include "ui/line_attention.h"

#include "conversation/activity_log.h"
#include "settings/translation.h"
#include "ui/conversation_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <chrono>
#include <utility>

namespace quelto {

namespace {

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The band shows the current line: its background and the current line's
// colour change places.
ConversationDisplay inverted(ConversationDisplay d) {
  std::swap(d.bottomBackground, d.currentColor);
  return d;
}

bool sameColours(const ConversationDisplay& a, const ConversationDisplay& b) {
  return a.bottomBackground == b.bottomBackground && a.currentColor == b.currentColor;
}

}  // namespace

LineAttention::LineAttention(Fl_Window& mainWindow, ConversationView& view)
    : mainWindow_(mainWindow), view_(view) {}

LineAttention::~LineAttention() {
  Fl::remove_timeout(endFlashTimeout, this);
}

bool LineAttention::update(LineEvent event, bool textArrived) {
  const double now = steadySeconds();
  if (urgent_ && programFocused()) setUrgent(false);
  if (textArrived) answer(rules_.textReceived(now));
  if (event == shown_) return false;
  const LineEvent from = shown_;
  shown_ = event;
  logEvent(logCodeFor(event));
  answer(rules_.lineEventChanged(from, event, now));
  return true;
}

const char* LineAttention::statusText() const {
  switch (shown_) {
    case LineEvent::DialTone:
      return translate(Text::DialTone);
    case LineEvent::Ringing:
      return translate(Text::Ringing);
    case LineEvent::Busy:
      return translate(Text::Busy);
    case LineEvent::Reorder:
      return translate(Text::Reorder);
    case LineEvent::Voice:
      return translate(Text::VoiceOnTheLine);
    case LineEvent::Quiet:
      break;
  }
  return nullptr;
}

void LineAttention::answer(CallForAttention::Call call) {
  if (call.urgent && !programFocused()) setUrgent(true);
  if (call.flash) startFlash();
}

// Focused: one of the program's windows has the keyboard (the toolkit has
// no focus widget while another program has it) and the main window is not
// iconified.
bool LineAttention::programFocused() const {
  return Fl::focus() != nullptr && mainWindow_.visible();
}

void LineAttention::setUrgent(bool on) {
  urgent_ = on;
  if (!mainWindow_.shown()) return;
  const Window xid = fl_xid(&mainWindow_);
  XWMHints* hints = XGetWMHints(fl_display, xid);
  XWMHints none{};
  XWMHints* h = hints ? hints : &none;
  if (on)
    h->flags |= XUrgencyHint;
  else
    h->flags &= ~XUrgencyHint;
  XSetWMHints(fl_display, xid, h);
  if (hints) XFree(hints);
  XFlush(fl_display);
}

void LineAttention::startFlash() {
  if (flashing_) return;
  flashing_ = true;
  flashed_ = inverted(view_.display());
  view_.setDisplay(flashed_);
  view_.redraw();
  Fl::add_timeout(CallForAttention::kFlashSeconds, endFlashTimeout, this);
}

void LineAttention::endFlash() {
  flashing_ = false;
  // A profile applied during the flash has set its own colours: keep them.
  if (sameColours(view_.display(), flashed_)) view_.setDisplay(inverted(view_.display()));
  view_.redraw();
}

void LineAttention::endFlashTimeout(void* data) {
  static_cast<LineAttention*>(data)->endFlash();
}

}  // namespace quelto
