// Saving, loading and RTF export of Conversation.
#include <cstdio>
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
  const SafeWriteResult result = writeFileSafely(fileName, encodeConversationFile(*this));
  if (result == SafeWriteResult::CannotCreate) {
    // Nothing can be written there: Save falls back to Save As.
    fileName.clear();
    return false;
  }
  logEvent(LogCode::Saving);
  if (result != SafeWriteResult::Ok) return false;
  modified = 0;
  return true;
}

bool Conversation::saveAs(const std::string& name) {
  if (name.empty()) return false;
  fileName = name;
  return saveToFile();
}

bool Conversation::loadFromFile(const std::string& name, Prompt& prompt) {
  if (name.empty()) return false;
  std::string bytes;
  if (!readWholeFile(name, bytes)) return false;
  logEvent(LogCode::LoadingFile);

  std::optional<ConversationFileContent> file = decodeConversationFile(bytes);
  if (!file) return false;
  bytes.clear();
  bytes.shrink_to_fit();

  // The owner's current password wins over the one stored in the file, so a
  // changed password opens the owner's old files.
  std::string expected = file->password;
  for (const Profile& p : profileList()) {
    if (static_cast<uint32_t>(p.id) == file->ownerId) {
      expected = utf8ToCp1252(p.password);
      break;
    }
  }
  const bool otherOwner = file->ownerId != ownerId;
  if (!file->password.empty() && otherOwner && !expected.empty()) {
    const std::string owner = cp1252ToUtf8(file->ownerName);
    const char* format = translate(Text::FileBelongsTo);
    const int n = std::snprintf(nullptr, 0, format, owner.c_str());
    std::string question(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    std::snprintf(question.data(), question.size() + 1, format, owner.c_str());
    const std::optional<std::string> typed = prompt.password(question);
    if (!typed || utf8ToCp1252(*typed) != expected) {
      prompt.alert(translate(Text::WrongPassword));
      return false;
    }
  }

  // Someone else's file is never saved back under its own name: Save asks.
  fileName = otherOwner ? std::string() : name;
  password.clear();
  ownerName = std::move(file->ownerName);
  ownerFirstName = std::move(file->ownerFirstName);
  ownerLastName = std::move(file->ownerLastName);
  date = std::move(file->date);
  notes = std::move(file->notes);
  caller = std::move(file->caller);

  clear();
  if (!file->lines.empty()) {
    lines = std::move(file->lines);
  }
  layoutChanged = 1;
  incoming = file->incoming;
  modified = 1;
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
// included, is Windows-1252 text the reader takes as it is.
void appendEscaped(std::string& out, char c) {
  if (c == '\\' || c == '{' || c == '}') out.push_back('\\');
  out.push_back(c);
}

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) appendEscaped(out, c);
  return out;
}

}  // namespace

void Conversation::exportRtf(std::ostream& out) {
  logEvent(LogCode::SavingRtf);
  const Profile& profile = currentProfile();
  const int fr = profile.receivedTextFace, fs = profile.sentTextFace;
  const std::string pr = paragraphPrefix(0, profile.receivedTextSize, fr);
  const std::string ps = paragraphPrefix(1, profile.sentTextSize, fs);

  std::string doc;
  doc.reserve(1024);
  doc += "{\\rtf1\\ansi\\deff0\n";
  doc += std::string("{\\fonttbl{\\f0") + rtfFamily(fr) + " " + rtfFontName(fr) + ";}{\\f1" +
         rtfFamily(fs) + " " + rtfFontName(fs) + ";}}\n";
  doc += "{\\info{\\comment Created by Quelto}{\\vern1000}}\n";
  doc += pr + (incoming == 1 ? "Appel Entrant de" : "Appel sortant \xE0") + ": " + escaped(caller) +
         "\\par\n";
  doc += pr + "Date: " + escaped(date) + "\\par\n";
  doc += pr + "Notes: " + escaped(notes) + "\\par\n";
  std::string printedBy = translate(Text::PrintedBy);
  if (printedBy.empty()) printedBy = "Printed by";
  doc += pr + escaped(utf8ToCp1252(printedBy)) + ": " + escaped(utf8ToCp1252(profile.firstName)) +
         " " + escaped(utf8ToCp1252(profile.lastName)) + "\\par\n";
  doc += pr + "\\par\n";
  out << doc;

  std::string para;
  for (const auto& line : lines) {
    const std::string& prefix = line->isReceived() ? pr : ps;
    const std::string& text = line->text;
    para = prefix;
    for (size_t i = 1; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '\n') {
        para += "\\par\n";
        out << para;
        para = prefix;
      } else {
        appendEscaped(para, c);
      }
    }
    if (text.back() != '\n' || text.size() == 1) {
      para += "\\par\n";
      out << para;
    }
  }
  out << "}\n";
}

bool Conversation::exportRtfFile(const std::string& path) {
  if (path.empty()) return false;
  std::ostringstream doc;
  exportRtf(doc);
  return writeFileSafely(path, doc.str()) == SafeWriteResult::Ok;
}

}  // namespace quelto
