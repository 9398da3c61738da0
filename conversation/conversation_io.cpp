// Saving, loading and RTF export of Conversation.
#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>

#include "conversation/activity_log.h"
#include "conversation/conversation.h"
#include "conversation/conversation_file.h"
#include "conversation/prompt.h"
#include "conversation/safe_file.h"
#include "settings/profile.h"
#include "settings/translation.h"
#include "text/text_encoding.h"

namespace quelto {

bool Conversation::saveToFile() {
  if (fileName.empty()) return false;
  std::string bytes;
  if (password.empty()) {
    bytes = encodeConversationFile(*this);
  } else {
    // One derivation per conversation and password: it takes tenths of a
    // second, and the recovery copy is written after every change.
    if (!fileKey || fileKey->password != password) fileKey = deriveFileKey(password);
    if (!fileKey) return false;
    bytes = sealConversationFile(*this, *fileKey);
  }
  const SafeWriteResult result = writeFileSafely(fileName, bytes);
  if (result == SafeWriteResult::CannotCreate) {
    // Nothing can be written there: Save falls back to Save As.
    fileName.clear();
    return false;
  }
  if (result != SafeWriteResult::Ok) return false;
  logEvent(LogCode::Saving);
  modified = 0;
  return true;
}

bool Conversation::saveAs(const std::string& name) {
  if (name.empty()) return false;
  fileName = name;
  return saveToFile();
}

namespace {

std::string fileBelongsToQuestion(const std::string& ownerName) {
  const std::string owner = cp1252ToUtf8(ownerName);
  const char* format = translate(Text::FileBelongsTo);
  const int n = std::snprintf(nullptr, 0, format, owner.c_str());
  std::string question(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  std::snprintf(question.data(), question.size() + 1, format, owner.c_str());
  return question;
}

// A file checked, decoded and (for a password file) opened, ready to replace
// the conversation.
struct LoadedFile {
  std::optional<ConversationFileContent> content;
  std::shared_ptr<const FileKey> key;
  FileRefusal refusal = FileRefusal::None;
};

// The old scrambled layout: the password is in the file. The owner's
// current password wins over the stored one, so a changed password opens
// the owner's old files.
FileRefusal checkScrambledPassword(const ConversationFileContent& file, uint32_t ownerId,
                                   Prompt& prompt) {
  std::string expected = file.password;
  for (const Profile& p : profileList()) {
    if (static_cast<uint32_t>(p.id) == file.ownerId) {
      expected = utf8ToCp1252(p.password);
      break;
    }
  }
  if (file.password.empty() || file.ownerId == ownerId || expected.empty())
    return FileRefusal::None;
  const std::optional<std::string> typed = prompt.password(fileBelongsToQuestion(file.ownerName));
  if (!typed || utf8ToCp1252(*typed) != expected) return FileRefusal::WrongPassword;
  return FileRefusal::None;
}

// The protected layout: the owner's own file opens with the current
// profile's password when that is still the one it was saved with; anyone
// else's, or one saved under an older password, asks.
LoadedFile openProtected(std::string& bytes, uint32_t ownerId, Prompt& prompt) {
  LoadedFile out;
  const std::optional<ProtectedHeader> header = readProtectedHeader(bytes);
  if (!header) {
    out.refusal = FileRefusal::Damaged;
    return out;
  }
  std::optional<std::string> inner;
  if (header->ownerId == ownerId && !currentProfile().password.empty()) {
    out.key = deriveFileKey(currentProfile().password, *header);
    if (!out.key) {
      out.refusal = FileRefusal::OutOfMemory;
      return out;
    }
    inner = openSealed(bytes, *header, *out.key);
  }
  if (!inner) {
    const std::optional<std::string> typed =
        prompt.password(fileBelongsToQuestion(header->ownerName));
    if (typed) {
      out.key = deriveFileKey(*typed, *header);
      if (!out.key) {
        out.refusal = FileRefusal::OutOfMemory;
        return out;
      }
      inner = openSealed(bytes, *header, *out.key);
    }
  }
  if (!inner) {
    out.refusal = FileRefusal::WrongPassword;
    return out;
  }
  out.content = decodeConversationFile(*inner, &out.refusal);
  // The sealed file is whole (it authenticated), so its layout is ours.
  if (out.content && out.content->ownerId != header->ownerId) {
    out.content.reset();
    out.refusal = FileRefusal::Damaged;
  }
  return out;
}

LoadedFile loadFile(const std::string& name, uint32_t ownerId, Prompt& prompt) {
  LoadedFile out;
  std::string bytes;
  out.refusal = readConversationBytes(name, bytes);
  if (out.refusal != FileRefusal::None) return out;
  logEvent(LogCode::LoadingFile);
  if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == (kProtectedFileMagic & 0xFF))
    return openProtected(bytes, ownerId, prompt);
  out.content = decodeConversationFile(bytes, &out.refusal);
  std::string().swap(bytes);
  if (out.content) {
    out.refusal = checkScrambledPassword(*out.content, ownerId, prompt);
    if (out.refusal != FileRefusal::None) out.content.reset();
  }
  return out;
}

}  // namespace

bool Conversation::loadFromFile(const std::string& name, Prompt& prompt) {
  if (name.empty()) return false;
  LoadedFile file;
  // Nothing may escape to the event loop: a failed load leaves the
  // conversation in progress, and the call, as they were.
  try {
    file = loadFile(name, ownerId, prompt);
  } catch (const std::bad_alloc&) {
    file = LoadedFile();
    file.refusal = FileRefusal::OutOfMemory;
  } catch (const std::exception&) {
    file = LoadedFile();
    file.refusal = FileRefusal::Damaged;
  }
  if (!file.content) {
    if (const char* message = refusalMessage(file.refusal)) prompt.alert(message);
    return false;
  }
  ConversationFileContent& content = *file.content;

  // Someone else's file is never saved back under its own name: Save asks.
  fileName = content.ownerId != ownerId ? std::string() : name;
  password.clear();
  ownerName = std::move(content.ownerName);
  ownerFirstName = std::move(content.ownerFirstName);
  ownerLastName = std::move(content.ownerLastName);
  date = std::move(content.date);
  notes = std::move(content.notes);
  caller = std::move(content.caller);

  clear();
  if (!content.lines.empty()) lines = std::move(content.lines);
  fileKey = std::move(file.key);
  layoutChanged = 1;
  incoming = content.incoming;
  // What is on screen is what is on disk.
  modified = 0;
  return true;
}

namespace {

// The two low bits of a face are its style; the rest is the family.
const char* rtfFamily(int face) {
  switch (face & ~3) {
    case 8:
      return "\\froman\\fprq2";
    case 0:
      return "\\fswiss\\fprq2";
    default:
      return "\\fmodern\\fprq0";
  }
}

const char* rtfFontName(int face) {
  switch (face & ~3) {
    case 8:
      return "times";
    case 0:
      return "helvetica";
    default:
      return "courier";
  }
}

std::string rtfStyle(int face) {
  std::string s;
  if (face & 1) s += "\\b";
  if (face & 2) s += "\\i";
  return s;
}

std::string paragraphPrefix(int font, int size, int face) {
  return "\\pard\\plain\\f" + std::to_string(font) + "\\fs" + std::to_string(2 * size) +
         rtfStyle(face) + " ";
}

// Backslashes and braces are RTF syntax; every other byte, those above 127
// included, is Windows-1252 text the reader takes as it is. The bytes
// between two syntax characters go in as one run: a conversation is
// megabytes of text with hardly any of them.
void appendEscaped(std::string& out, const char* begin, const char* end) {
  const auto isSyntax = [](char c) { return c == '\\' || c == '{' || c == '}'; };
  while (begin != end) {
    const char* syntax = std::find_if(begin, end, isSyntax);
    out.append(begin, syntax);
    if (syntax == end) return;
    out.push_back('\\');
    out.push_back(*syntax);
    begin = syntax + 1;
  }
}

std::string escaped(const std::string& text) {
  std::string out;
  appendEscaped(out, text.data(), text.data() + text.size());
  return out;
}

// Notes typed on several lines keep their breaks: a line break inside the
// paragraph (a CR LF or a lone CR counts as one).
std::string notesText(const std::string& notes) {
  std::string out;
  for (size_t i = 0; i < notes.size(); ++i) {
    const char c = notes[i];
    if (c == '\r' || c == '\n') {
      out += "\\line ";
      if (c == '\r' && i + 1 < notes.size() && notes[i + 1] == '\n') ++i;
    } else {
      appendEscaped(out, &notes[i], &notes[i] + 1);
    }
  }
  return out;
}

// The whole document in one string, written in one piece by both exports.
std::string rtfDocument(const Conversation& c) {
  const Profile& profile = currentProfile();
  const int fr = profile.receivedTextFace, fs = profile.sentTextFace;
  const std::string pr = paragraphPrefix(0, profile.receivedTextSize, fr);
  const std::string ps = paragraphPrefix(1, profile.sentTextSize, fs);

  // Room for the text and one paragraph per line: the document grows once
  // or not at all.
  size_t size = 1024;
  for (const auto& line : c.lines) size += line->text.size() + pr.size() + ps.size() + 8;
  std::string doc;
  doc.reserve(size);
  doc += "{\\rtf1\\ansi\\deff0\n";
  doc += std::string("{\\fonttbl{\\f0") + rtfFamily(fr) + " " + rtfFontName(fr) + ";}{\\f1" +
         rtfFamily(fs) + " " + rtfFontName(fs) + ";}}\n";
  doc += "{\\info{\\comment Created by Quelto}{\\vern1000}}\n";
  // The headings in the interface language, as printing gives them.
  const char* call = translate(c.incoming == 1 ? Text::ReceivedCall : Text::PlacedCall);
  doc += pr + escaped(utf8ToCp1252(call)) + ": " + escaped(c.caller) + "\\par\n";
  doc += pr + "Date: " + escaped(c.date) + "\\par\n";
  doc += pr + "Notes: " + notesText(c.notes) + "\\par\n";
  std::string printedBy = translate(Text::PrintedBy);
  if (printedBy.empty()) printedBy = "Printed by";
  doc += pr + escaped(utf8ToCp1252(printedBy)) + ": " + escaped(utf8ToCp1252(profile.firstName)) +
         " " + escaped(utf8ToCp1252(profile.lastName)) + "\\par\n";
  doc += pr + "\\par\n";

  // Each line feed ends a paragraph; a line not ended by one (the line
  // being typed, an empty line) is a paragraph too. The first byte is the
  // line's direction.
  for (const auto& line : c.lines) {
    const std::string& prefix = line->isReceived() ? pr : ps;
    const std::string& text = line->text;
    const char* begin = text.data() + 1;
    const char* const end = text.data() + text.size();
    for (const char* feed; (feed = std::find(begin, end, '\n')) != end; begin = feed + 1) {
      doc += prefix;
      appendEscaped(doc, begin, feed);
      doc += "\\par\n";
    }
    if (text.back() != '\n' || text.size() == 1) {
      doc += prefix;
      appendEscaped(doc, begin, end);
      doc += "\\par\n";
    }
  }
  doc += "}\n";
  return doc;
}

}  // namespace

void Conversation::exportRtf(std::ostream& out) {
  logEvent(LogCode::SavingRtf);
  const std::string doc = rtfDocument(*this);
  out.write(doc.data(), static_cast<std::streamsize>(doc.size()));
}

bool Conversation::exportRtfFile(const std::string& path) {
  if (path.empty()) return false;
  logEvent(LogCode::SavingRtf);
  return writeFileSafely(path, rtfDocument(*this)) == SafeWriteResult::Ok;
}

}  // namespace quelto
