#include "conversation/conversation.h"

#include <algorithm>

#include "conversation/activity_log.h"
#include "settings/profile.h"

namespace quelto {

namespace {

constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kBackspace = 8;

unsigned char toUpper(unsigned char ch) {
  return (ch >= 'a' && ch <= 'z') ? ch - 32 : ch;
}
unsigned char toLower(unsigned char ch) {
  return (ch >= 'A' && ch <= 'Z') ? ch + 32 : ch;
}

std::unique_ptr<ConversationLine> newLine(unsigned char direction) {
  auto line = std::make_unique<ConversationLine>(direction);
  // Typed and received lines grow one byte at a time.
  line->text.reserve(256);
  return line;
}

// Appends one character of direction d to the current line. Returns the new
// line the caller must append, if any.
std::unique_ptr<ConversationLine> appendChar(ConversationLine& line, unsigned char d,
                                             unsigned char ch) {
  if (line.hasCharacters() && d != line.direction()) {
    auto fresh = newLine(d);
    // A line feed at a change of direction is dropped: the new line already
    // starts the other party's text on its own row.
    if (ch != kLineFeed) fresh->text.push_back(static_cast<char>(ch));
    return fresh;
  }
  line.text[0] = static_cast<char>(d);
  line.text.push_back(static_cast<char>(ch));
  if (ch == kLineFeed) return newLine(d);
  return nullptr;
}

}  // namespace

ConversationLine::ConversationLine(unsigned char direction)
    : text(1, static_cast<char>(direction)) {}

ConversationLine::~ConversationLine() = default;

Conversation::Conversation() {
  lines.push_back(newLine(kSentDirection));
}

Conversation::~Conversation() {
  logEvent(LogCode::Quit);
}

bool Conversation::addReceived(unsigned char ch) {
  modified = 1;
  ch = currentProfile().receivedTextCapitals ? toUpper(ch) : toLower(ch);
  logEvent(LogCode::Received, ch);
  auto fresh = appendChar(currentLine(), kReceivedDirection, ch);
  if (fresh) {
    // Received text ended by line feeds collects in one line object per
    // stretch; the rule looks only at the two last lines.
    if (lines.size() >= 2) {
      ConversationLine& last = *lines[lines.size() - 1];
      ConversationLine& before = *lines[lines.size() - 2];
      if (last.direction() == before.direction()) {
        before.text.append(last.text, 1, std::string::npos);
        lines.pop_back();
      }
    }
    appendLine(std::move(fresh));
    return true;
  }
  if (layoutChanged) {
    layoutChanged = 0;
    return true;
  }
  return false;
}

bool Conversation::addSent(unsigned char ch) {
  modified = 1;
  if (currentProfile().sentTextCapitals) ch = toUpper(ch);
  logEvent(LogCode::Sent, ch);
  auto fresh = appendChar(currentLine(), kSentDirection, ch);
  if (fresh) {
    appendLine(std::move(fresh));
    return true;
  }
  if (layoutChanged) {
    layoutChanged = 0;
    return true;
  }
  return false;
}

bool Conversation::backspace(bool received) {
  modified = 1;
  logEvent(received ? LogCode::Received : LogCode::Sent, 0);
  bool removed = false;
  for (;;) {
    ConversationLine& line = currentLine();
    if (line.hasCharacters()) {
      line.text.pop_back();
      break;
    }
    if (lines.size() < 2) break;
    lines.pop_back();
    removed = true;
  }
  return removed;
}

void Conversation::withdrawSent(const std::string& withdrawn) {
  // The echo of a queued backspace erased the character queued before it;
  // one with nothing queued before it erased older text, which stays gone.
  std::size_t shown = 0;
  for (char c : withdrawn) {
    if (static_cast<unsigned char>(c) != kBackspace)
      ++shown;
    else if (shown > 0)
      --shown;
  }
  bool removed = false;
  for (std::size_t i = lines.size(); i-- > 0 && shown > 0;) {
    ConversationLine& line = *lines[i];
    if (line.isReceived()) continue;
    while (shown > 0 && line.hasCharacters()) {
      line.text.pop_back();
      --shown;
      removed = true;
      logEvent(LogCode::Sent, 0);
    }
    if (!line.hasCharacters() && lines.size() > 1)
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
  }
  if (removed) {
    modified = 1;
    // The selection may point at characters that are gone.
    clearSelection();
  }
}

void Conversation::startNewLine() {
  modified = 1;
  lines.push_back(newLine(currentLine().direction()));
  layoutChanged = 1;
}

void Conversation::appendLine(std::unique_ptr<ConversationLine> line) {
  modified = 1;
  lines.push_back(std::move(line));
}

void Conversation::clear() {
  modified = 1;
  logEvent(LogCode::New);
  lines.clear();
  lines.push_back(newLine(kSentDirection));
  layoutChanged = 0;
  // The old indices would point into text that no longer exists.
  clearSelection();
}

void Conversation::splitCurrentLine() {
  if (lines.size() < 2) return;
  ConversationLine& p = *lines[lines.size() - 2];
  ConversationLine& q = *lines[lines.size() - 1];
  const size_t space = p.text.rfind(' ');
  if (space == std::string::npos || space < 1) return;
  q.text.append(p.text, space + 1, std::string::npos);
  p.text.resize(space + 1);
}

bool Conversation::joinAfterSplit() {
  if (lines.size() <= 2) return false;
  ConversationLine& a = *lines[lines.size() - 3];
  ConversationLine& b = *lines[lines.size() - 2];
  if (a.direction() != b.direction() || !b.hasCharacters() ||
      static_cast<unsigned char>(a.text.back()) == kLineFeed)
    return false;
  a.text.append(b.text, 1, std::string::npos);
  lines.erase(lines.end() - 2);
  return true;
}

bool Conversation::joinCurrentLineUp() {
  if (lines.size() < 2) return false;
  ConversationLine& above = *lines[lines.size() - 2];
  const ConversationLine& current = currentLine();
  if (above.direction() != current.direction() ||
      static_cast<unsigned char>(above.text.back()) == kLineFeed)
    return false;
  above.text.append(current.text, 1, std::string::npos);
  lines.pop_back();
  startNewLine();
  return true;
}

void Conversation::moveTailIntoCurrentLine(int from) {
  if (lines.size() < 2) return;
  ConversationLine& above = *lines[lines.size() - 2];
  ConversationLine& current = currentLine();
  if (from <= 1) {
    current.text.insert(1, above.text, 1, std::string::npos);
    lines.erase(lines.end() - 2);
    modified = 1;
    return;
  }
  if (from < above.length() && static_cast<unsigned char>(above.text[from]) == kLineFeed) ++from;
  if (from >= above.length()) return;
  current.text.insert(1, above.text, static_cast<std::size_t>(from), std::string::npos);
  above.text.resize(static_cast<std::size_t>(from));
  modified = 1;
}

void Conversation::setSelectionAnchor(int line, int ch) {
  if (line < 0 || line >= lineCount()) {
    clearSelection();
    return;
  }
  anchorLine = line;
  anchorChar = ch;
  if (endChar < 0) {
    endLine = line;
    endChar = ch;
  }
}

void Conversation::setSelectionEnd(int line, int ch) {
  if (line < 0 || line >= lineCount()) {
    clearSelection();
    return;
  }
  endLine = line;
  endChar = ch;
  if (anchorLine < 0) {
    anchorLine = line;
    anchorChar = ch;
  }
}

void Conversation::clearSelection() {
  anchorLine = anchorChar = endLine = endChar = -1;
}

std::pair<int, int> Conversation::selectedRange(int i) {
  if (anchorLine > endLine || (anchorLine == endLine && anchorChar > endChar)) {
    std::swap(anchorLine, endLine);
    std::swap(anchorChar, endChar);
  }
  if (i < 0 || i >= lineCount() || anchorLine < 0) return {-1, -1};
  const int length = lines[static_cast<size_t>(i)]->length();
  if (anchorLine < i && i < endLine) return {1, length};
  if (i == anchorLine) return {anchorChar, endLine > anchorLine ? length : endChar};
  if (i == endLine) return {1, endChar};
  return {-1, -1};
}

}  // namespace quelto
