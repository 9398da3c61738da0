// The window side of line events and of the call for attention: the status
// text names the line event the modem publishes, the activity log gets a
// heading per change, and arriving text or an answer to ringing sets the
// main window's urgency hint (while the program is not focused) and flashes
// the conversation's band. The rules themselves are in
// conversation/call_for_attention.h.
//
// User-interface thread only; the main window's status timer calls update().
#pragma once

#include "conversation/call_for_attention.h"
#include "modem/line_events.h"
#include "ui/conversation_view.h"

class Fl_Window;

namespace quelto {

class LineAttention {
 public:
  LineAttention(Fl_Window& mainWindow, ConversationView& view);
  ~LineAttention();
  LineAttention(const LineAttention&) = delete;
  LineAttention& operator=(const LineAttention&) = delete;

  // One tick of the status timer: `event` is what the modem publishes now,
  // `textArrived` whether received text was shown in this tick. Returns
  // true when the line event changed, so the status text must be shown again.
  bool update(LineEvent event, bool textArrived);

  LineEvent shown() const { return shown_; }
  // The translated name of the line event shown, or nullptr when the line
  // carries none.
  const char* statusText() const;

  // Whether the urgency hint is set on the main window / the band is
  // inverted just now.
  bool urgent() const { return urgent_; }
  bool flashing() const { return flashing_; }

 private:
  void answer(CallForAttention::Call call);
  bool programFocused() const;
  void setUrgent(bool on);
  void startFlash();
  void endFlash();
  static void endFlashTimeout(void* data);

  Fl_Window& mainWindow_;
  ConversationView& view_;
  CallForAttention rules_;
  LineEvent shown_ = LineEvent::Quiet;
  bool urgent_ = false;
  bool flashing_ = false;
  ConversationDisplay flashed_;  // the display while the band is inverted
};

}  // namespace quelto
