// ConversationView: the large widget of the main window that
// shows the conversation and takes the user's typing.
//
// Finished text (the history) fills the upper area from the bottom up, each
// line in the face, size and colour of its direction and wrapped at the
// widget's width; the current line sits alone in a band at the bottom, in the
// current-text size and colour, followed by a caret, and scrolls left when it
// is wider than the band. When it grows too wide, its words move up into the
// history.
//
// Layout is a cache derived from the model: each line's `width` and `height`
// (and the row breaks kept here) are measured once and reused until the model
// or a width or font change marks the line unmeasured (height -1). Appending
// a character re-measures nothing above the current line.
//
// Text: the conversation holds Windows-1252 bytes; they are converted to
// UTF-8 here, at the drawing and measuring boundary, and typed or pasted
// UTF-8 text is converted back before it reaches the model.
//
// Threads: everything runs on the user-interface thread. The attached
// ModemControl's queues are reached through its own operations and Lock.
#pragma once

#include <FL/Fl_Widget.H>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "conversation/conversation.h"
#include "modem/modem_control.h"

class Fl_Scrollbar;

namespace quelto {

class Prompt;

// Faces are toolkit font numbers, colours toolkit colour indices, sizes in
// pixels. The defaults are those in force before any profile is applied.
struct ConversationDisplay {
  int receivedFace = 5;      // FR
  int receivedSize = 18;     // SR
  int receivedColor = 6;     // CR
  int sentFace = 0;          // FS
  int sentSize = 18;         // SS
  int sentColor = 0;         // CS
  int currentSize = 18;      // SC
  int currentColor = 3;      // CC
  int background = 196;      // BG, history area
  int bottomBackground = 0;  // BB, frame and bottom band
};

class ConversationView : public Fl_Widget {
 public:
  ConversationView(int x, int y, int w, int h, const char* label = nullptr);
  ~ConversationView() override;

  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  // The one conversation of the program.
  Conversation conversation;

  // Where typed characters are queued; null until the main window connects
  // it (nothing is queued or shown for typed keys while it is null). Not
  // owned.
  void setModem(ModemControl* modem) { modem_ = modem; }
  ModemControl* modem() const { return modem_; }

  // Where the clearing step asks its question. Not owned; null asks nothing.
  void setPrompt(Prompt* prompt) { prompt_ = prompt; }

  // The scroll bars placed by the main window; null when absent. Not owned.
  void setScrollbars(Fl_Scrollbar* horizontal, Fl_Scrollbar* vertical);
  Fl_Scrollbar* horizontalScrollbar() const { return hScroll_; }
  Fl_Scrollbar* verticalScrollbar() const { return vScroll_; }

  // F3..F12 while the view has the focus: called with 0..9 (the programmed
  // message buttons' operation).
  void setFunctionKeyAction(std::function<void(int)> action) { functionKey_ = std::move(action); }

  // Copy and the main window's redraw, used by Ctrl+Insert and Shift+Delete.
  void setCopyAction(std::function<void()> action) { copy_ = std::move(action); }
  void setPasteAction(std::function<void()> action) { paste_ = std::move(action); }

  void setDisplay(const ConversationDisplay& display);
  const ConversationDisplay& display() const { return display_; }

  // Set by File New while it clears, to skip the ConfirmEditCut question.
  bool clearing = false;

  // Width of the widest history line and total height of the history, in
  // pixels, as of the latest layout.
  int contentWidth() const { return contentWidth_; }
  int contentHeight() const { return contentHeight_; }

  // --- Redraw levels ---------------------------------------------------------
  // The current line only (after a character that kept the line structure).
  void redrawCurrentLine();
  // Everything (after a structure change, a scroll, a clear or a load).
  void redrawAll();
  // Every line loses its measurement (width or font changed, Ctrl+L).
  void relayout();
  // Both scroll values back to 0 and both bars redrawn.
  void resetScroll();

  // Clear through the view: asks the ConfirmEditCut question unless
  // `clearing` is set; "Yes" stops without clearing. Otherwise clears the
  // conversation, resets the scroll bars and empties the send queue.
  // Returns whether it cleared.
  bool clearConversation();

  // --- Sending (also used by the application's operations) -------------------
  // Queues one typed character through `lock` and echoes it (carriage
  // return shown as a line feed; "@" spelled out; unsendable characters
  // dropped). Returns whether the character was used; `structure` is or-ed
  // with whether the line structure changed.
  bool sendCharacter(ModemControl::Lock& lock, unsigned char ch, bool& structure);
  // After characters were echoed: full or current-line redraw.
  void afterSent(bool structure);
  // Takes and empties the receive queue and moves it into the conversation
  // (received backspace 8 erases). Returns whether anything arrived.
  bool pumpReceived();
  // After the modem's stop command: erases the withdrawn characters (as
  // ModemControl::stopSending returned them) from our own text in the
  // conversation; the other party's text stays.
  void eraseWithdrawn(const std::string& withdrawn);

  // The whole conversation as one text for the clipboard, Windows-1252:
  // CR LF between lines of different direction and for every line feed.
  static std::string clipboardText(const Conversation& conversation);

  // Hit test: the (line, character) under the point, character 0 being left
  // of the text; false when no line is there.
  bool hitTest(int px, int py, int& line, int& ch);

  // Geometry shared by drawing and the benchmark: the wrap width of history
  // lines for the current font height.
  int wrapWidth(int fontHeight) const { return (w() - 6) - fontHeight / 3; }

 private:
  // What one line's measurement found, kept so that text appended to a
  // long line is wrapped from the start of its last row only.
  struct RowCache {
    std::string source;                   // the characters measured (Windows-1252)
    std::string utf8;                     // the same characters as UTF-8
    std::vector<int> rowStarts;           // byte offsets in utf8 of each row
    double widestBeforeLast = 0;          // widest row except the last, in pixels
    int face = -1, size = -1, wrap = -1;  // font and width they were wrapped at
  };

  void setLineFont(const ConversationLine& line) const;
  void measureLine(ConversationLine& line, int wrap);
  void layout();
  void reflowFirstHalf();
  bool reflowSecondHalf();
  bool drawBand();
  void drawHistory();
  void wrapCurrentLine();
  void forgetPositions();
  int handleKey();
  void handlePaste();
  void sendAtSign(ModemControl::Lock& lock, bool& structure);

  ModemControl* modem_ = nullptr;
  Prompt* prompt_ = nullptr;
  Fl_Scrollbar* hScroll_ = nullptr;
  Fl_Scrollbar* vScroll_ = nullptr;
  std::function<void(int)> functionKey_;
  std::function<void()> copy_;
  std::function<void()> paste_;
  ConversationDisplay display_;
  int contentWidth_;
  int contentHeight_;
  bool reflowPending_ = false;
  int lastRowOffset_ = 0;  // in characters of the line, 0-based from index 1
  bool lastRowSet_ = false;
  bool dragging_ = false;
  std::unordered_map<const ConversationLine*, RowCache> rows_;
};

}  // namespace quelto
