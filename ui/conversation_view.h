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
// Where the history's rows go is the ConversationLayout's business (rows,
// line tops, hit test, selection rectangles); this widget gives it the
// toolkit's fonts, draws the rows it made and forwards events. Appending a
// character re-measures nothing above the current line.
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
#include <string_view>
#include <vector>

#include "conversation/conversation.h"
#include "conversation/conversation_layout.h"
#include "modem/modem_control.h"
#include "settings/profile.h"

class Fl_Scrollbar;

namespace quelto {

class Prompt;

// Selected text keeps its own colour over a light yellow (#FFFF7F, a
// colour-cube index): dark on light like the history, whatever the profile.
constexpr int kSelectionColor = 175;

// Faces are toolkit font numbers, colours toolkit colour indices, sizes in
// pixels. The defaults are a fresh profile's.
struct ConversationDisplay {
  int receivedFace = display_default::kReceivedTextFace;
  int receivedSize = display_default::kTextSize;
  int receivedColor = display_default::kReceivedTextColour;
  int sentFace = display_default::kSentTextFace;
  int sentSize = display_default::kTextSize;
  int sentColor = display_default::kSentTextColour;
  int currentSize = display_default::kTextSize;
  int currentColor = display_default::kCurrentTextColour;
  int background = display_default::kBackgroundColour;              // the history area
  int bottomBackground = display_default::kBottomBackgroundColour;  // frame and bottom band
};

// The toolkit's width of Windows-1252 text in one face and size.
class ToolkitTextMeasure : public TextMeasure {
 public:
  void setFont(int face, int size) {
    face_ = face;
    size_ = size;
  }
  // Makes this font the toolkit's current one.
  void select() const;
  double width(std::string_view cp1252) override;
  int rowHeight() const;

 private:
  int face_ = 0;
  int size_ = 18;
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

  // Ctrl+Plus (also Ctrl+= and keypad +) and Ctrl+Minus (keypad -) while
  // the view has the focus: called with +1 and -1 (the text-size operation).
  void setTextSizeAction(std::function<void(int)> action) { textSize_ = std::move(action); }

  // Copy and the main window's redraw, used by Ctrl+Insert and Shift+Delete.
  void setCopyAction(std::function<void()> action) { copy_ = std::move(action); }
  void setPasteAction(std::function<void()> action) { paste_ = std::move(action); }
  // Saves the conversation when the clearing question is answered "Yes";
  // returns whether it was saved.
  void setSaveAction(std::function<bool()> action) { save_ = std::move(action); }

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
  // Every line is measured again at the next draw (Ctrl+L).
  void relayout();
  // Both scroll values back to 0 and both bars redrawn.
  void resetScroll();

  // Clear through the view: asks the ConfirmEditCut question unless
  // `clearing` is set: "Yes" saves first and clears once saved, "No"
  // clears, "Cancel" (and Escape) keeps everything. Then clears the
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

  // Hit test: the (line, character) under a point of the window, as the
  // layout finds it (character 0 being left of the text); false when no
  // history line's text is there.
  bool hitTest(int px, int py, int& line, int& ch);

  // The rows of the history as of the latest draw, and where the layout's
  // origin (the left edge of the text, the top of the history) is in the
  // window.
  const ConversationLayout& layout() const { return layout_; }
  int textLeft() const;
  int historyTop() const;

  // Geometry shared by drawing and the benchmark: the wrap width of history
  // lines for the current font height.
  int wrapWidth(int fontHeight) const { return (w() - 6) - fontHeight / 3; }

 private:
  void updateLayout();
  bool refitBandAfterResize();
  bool drawBand();
  void drawHistory();
  int bandFontHeight() const;
  void wrapCurrentLine();
  int handleKey();
  void handlePaste();
  void sendAtSign(ModemControl::Lock& lock, bool& structure);

  ModemControl* modem_ = nullptr;
  Prompt* prompt_ = nullptr;
  Fl_Scrollbar* hScroll_ = nullptr;
  Fl_Scrollbar* vScroll_ = nullptr;
  std::function<void(int)> functionKey_;
  std::function<void(int)> textSize_;
  std::function<void()> copy_;
  std::function<void()> paste_;
  std::function<bool()> save_;
  ConversationDisplay display_;
  int contentWidth_;
  int contentHeight_;
  bool refitPending_ = false;
  bool dragging_ = false;
  ToolkitTextMeasure sentMeasure_;
  ToolkitTextMeasure receivedMeasure_;
  ConversationLayout layout_;
};

}  // namespace quelto
