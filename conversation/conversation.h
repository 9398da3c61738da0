// The conversation model: one telephone conversation, its call metadata and
// the text both parties exchanged, as an ordered list of lines.
//
// Threading: every operation runs on the user-interface thread. The modem
// thread never touches the model; its characters arrive through the receive
// pump, which calls addReceived.
//
// Text: every byte string here (line text and metadata alike) is
// Windows-1252. Convert at the widget boundary with conversation/
// text_encoding.h, never inside the model.
//
// Activity log: the model writes its entries itself (characters, backspaces,
// save, RTF export, load, clear, destruction) through logEvent of
// conversation/activity_log.h; the log is off until startActivityLog.
//
// Profiles: addReceived/addSent fold letter case from currentProfile;
// loadFromFile looks up owners' passwords in the program's profile list;
// exportRtf reads fonts and names from currentProfile (settings/).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quelto {

class Prompt;
struct FileKey;

// Direction byte values (byte 0 of a line's text). Tests use bit 0.
constexpr unsigned char kSentDirection = 0;
constexpr unsigned char kReceivedDirection = 1;

// One line of text of a single direction. Owned by its conversation.
class ConversationLine {
 public:
  // A new empty line: text is the direction byte alone.
  explicit ConversationLine(unsigned char direction = kSentDirection);
  virtual ~ConversationLine();

  // Carried through the conversation file; nothing else reads it.
  uint8_t reserved = 0;
  // Byte 0: direction (1 received, 0 sent). Bytes 1..: the characters in
  // arrival order, line feeds (10) included. Never empty.
  std::string text;

  // Length of `text`, direction byte included: 1 means an empty line.
  int length() const { return static_cast<int>(text.size()); }
  bool hasCharacters() const { return text.size() > 1; }
  unsigned char direction() const { return static_cast<unsigned char>(text[0]); }
  bool isReceived() const { return (text[0] & 1) != 0; }
};

class Conversation {
 public:
  // Default metadata, one empty sent line, no selection.
  Conversation();
  // Writes the activity log's QUIT entry, then frees every line.
  virtual ~Conversation();

  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  // --- Metadata (Windows-1252) --------------------------------------------
  std::string fileName;  // path last loaded or saved; "" = none yet
  std::string password;  // UTF-8 as typed, unlike the rest: the key of the
                         // saved file ("" = a plain file); never stored
  // The key derived from `password` for this conversation, kept so that
  // later saves of the same password do not derive it again.
  std::shared_ptr<const FileKey> fileKey;
  uint32_t ownerId = 0;  // id of the owning profile; the UI sets it to
                         // currentProfile's id before New and Open
  std::string ownerName;
  std::string ownerFirstName;
  std::string ownerLastName;
  std::string date;
  std::string notes;
  std::string caller;
  uint8_t incoming = 1;  // 1 received call, 0 placed call

  // The line structure changed since the last character was appended.
  uint32_t layoutChanged = 0;
  // Never empty; the last line is the current line (text in progress).
  std::vector<std::unique_ptr<ConversationLine>> lines;
  // Changes not yet saved. Set by every change of text or lines; cleared
  // by a successful save or load and by File New.
  uint8_t modified = 0;

  // Selection: line index and character index into `text` (1 = first
  // character); -1 = none.
  int32_t anchorLine = -1, anchorChar = -1;
  int32_t endLine = -1, endChar = -1;

  ConversationLine& currentLine() { return *lines.back(); }
  const ConversationLine& currentLine() const { return *lines.back(); }
  int lineCount() const { return static_cast<int>(lines.size()); }

  // --- Text ----------------------------------------------------------------
  // Append one received character (case folded by the profile's received
  // capitals setting) or one sent character (raised to capitals when the
  // profile's sent capitals setting is on). A line feed at a change of
  // direction is dropped. Received lines ended by line feeds merge into one
  // line object per stretch of received text. Returns true when the line
  // structure changed, which asks the view for a full redraw; false asks
  // for a redraw of the current line only.
  bool addReceived(unsigned char ch);
  bool addSent(unsigned char ch);

  // Remove the last character whoever wrote it, a line feed included,
  // dropping empty trailing lines on the way (never the only line). Logs a
  // backspace of the given direction. Returns true when a line was removed.
  bool backspace(bool received);

  // Erases our own text that the modem's stop command withdrew: `withdrawn`
  // is what had been queued for sending, oldest first (a backspace in it
  // cancels the character queued before it). The characters it left on
  // screen are the last ones of our own lines; they are removed from the
  // end, across the other party's lines, which are never touched. Sent
  // lines left empty go, unless only one line would remain. Logs a sent
  // backspace for each character removed.
  void withdrawSent(const std::string& withdrawn);

  // Append a new empty line of the current line's direction.
  void startNewLine();
  // Append a line; the conversation takes it over.
  void appendLine(std::unique_ptr<ConversationLine> line);
  // Logs NEW, frees every line, leaves one empty sent line, clears
  // layoutChanged and the selection. Metadata is left alone.
  void clear();

  // Word-wrap support for the view, called right after startNewLine when
  // the line above the new one grew wider than the bottom band: moves the
  // text after that line's last space down into the new current line.
  void splitCurrentLine();
  // Called after splitCurrentLine: when the two lines above the current one
  // have the same direction, the upper does not end with a line feed and the
  // lower has characters, the lower is joined onto the upper. Returns true
  // when it joined (redraw in full).
  bool joinAfterSplit();

  // Refitting the band after a resize, in two steps around a layout of the
  // joined line. First: the current line goes back onto the end of the line
  // above when both have the same direction and that line is not ended by a
  // line feed; the current line is then a new empty one. Returns whether it
  // joined.
  bool joinCurrentLineUp();
  // Then: the characters of the line above the current one from text index
  // `from` on (the start of its last row) move down into the current line.
  // With `from` at most 1 the whole line moves down and the emptied line
  // goes.
  void moveTailIntoCurrentLine(int from);

  // --- Selection ------------------------------------------------------------
  // A line index outside the conversation clears the whole selection.
  // Setting one end when the other is unset sets both to the same point.
  void setSelectionAnchor(int line, int ch);
  void setSelectionEnd(int line, int ch);
  void clearSelection();
  // Normalises the selection (anchor before end), then gives the part of
  // line i it covers as (first, last) `text` indices: first is the first
  // selected character (1 at the start of the line), last is the end point,
  // the line's length when the selection runs on past line i. (-1, -1) when
  // line i is outside the selection or there is none.
  std::pair<int, int> selectedRange(int i);

  // --- Files -----------------------------------------------------------------
  // Writes the conversation file to fileName: the plain layout without a
  // password, the protected (encrypted) layout with one. The file is written
  // beside the target under a temporary name, flushed to disk and renamed
  // over the target, so the previous file survives any failure, a full disk
  // or a crash. Returns false on any failure: the old file stays untouched
  // and `modified` stays set; when the target's folder cannot be written
  // to, fileName is emptied (Save then falls back to Save As). Logs SAVING
  // for a save that happened.
  bool saveToFile();
  // Empty name: false. Otherwise fileName := name, then saveToFile.
  bool saveAs(const std::string& name);
  // Checks the file's size and magic number before reading it, and its
  // whole layout before building anything; the conversation is replaced
  // only when the file is sound and, for a password file, the right
  // password was given (the current profile's for its own files, otherwise
  // asked through `prompt`). Every refusal is told through prompt.alert
  // ("Wrong password!" for a wrong, cancelled or tampered one), and leaves
  // the conversation (lines, metadata, fileName, modified) exactly as it
  // was; no exception leaves it. On success fileName is the name when the
  // file's owner is ownerId and "" otherwise, password is "", `modified` is
  // clear (what is shown is what is on disk) and `layoutChanged` is set.
  // Set ownerId to currentProfile's id before calling. Logs LOADING_FILE,
  // then NEW.
  bool loadFromFile(const std::string& name, Prompt& prompt);

  // --- RTF ---------------------------------------------------------------------
  // Writes the conversation as an RTF document (fonts and "Printed by" from
  // currentProfile). Backslashes and braces are escaped; bytes above 127
  // stay Windows-1252. Logs SAVING_RTF.
  void exportRtf(std::ostream& out);
  // exportRtf into a file, written beside it and renamed over it like
  // saveToFile. Returns false when the file could not be written.
  bool exportRtfFile(const std::string& path);
};

}  // namespace quelto
