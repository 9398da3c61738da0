#include "conversation/conversation_file.h"

#include <algorithm>
#include <cstring>

#include "conversation/file_scrambler.h"

namespace quelto {

namespace {

void putU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putString(std::string& out, const std::string& s, bool scramble, const FileScrambler& fs) {
  putU32(out, static_cast<uint32_t>(s.size()));
  const size_t at = out.size();
  out += s;
  if (scramble) fs.scrambleBytes(reinterpret_cast<unsigned char*>(&out[at]), s.size());
}

// Reads fields from the front of a byte string, failing instead of going
// past its end.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : data_(bytes) {}

  size_t remaining() const { return data_.size() - pos_; }

  bool u32(uint32_t& v) {
    if (remaining() < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<uint32_t>(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
    pos_ += 4;
    return true;
  }

  bool u8(uint8_t& v) {
    if (remaining() < 1) return false;
    v = static_cast<uint8_t>(data_[pos_++]);
    return true;
  }

  bool bytes(size_t n, std::string& out) {
    if (remaining() < n) return false;
    out.assign(data_, pos_, n);
    pos_ += n;
    return true;
  }

  bool string(std::string& out) {
    uint32_t n = 0;
    return u32(n) && bytes(n, out);
  }

  bool skipString() {
    uint32_t n = 0;
    if (!u32(n) || remaining() < n) return false;
    pos_ += n;
    return true;
  }

 private:
  const std::string& data_;
  size_t pos_ = 0;
};

}  // namespace

std::string encodeConversationFile(const Conversation& c) {
  const FileScrambler fs;
  size_t size = 4 + kFilePasswordBytes + 4 + 6 * 4 + 4 + 1 + c.ownerName.size() +
                c.ownerFirstName.size() + c.ownerLastName.size() + c.date.size() + c.notes.size() +
                c.caller.size();
  for (const auto& line : c.lines) size += 5 + line->text.size();

  std::string out;
  out.reserve(size);
  putU32(out, kConversationFileMagic);

  unsigned char pw[kFilePasswordBytes] = {};
  std::memcpy(pw, c.password.data(), std::min(c.password.size(), kFilePasswordBytes - 1));
  const bool scramble = pw[0] != 0;
  fs.scrambleBytes(pw, kFilePasswordBytes);
  out.append(reinterpret_cast<const char*>(pw), kFilePasswordBytes);

  putU32(out, c.ownerId);
  putString(out, c.ownerName, false, fs);
  putString(out, c.ownerFirstName, false, fs);
  putString(out, c.ownerLastName, false, fs);
  putString(out, c.date, false, fs);
  putString(out, c.notes, scramble, fs);
  putString(out, c.caller, scramble, fs);
  putU32(out, static_cast<uint32_t>(c.lines.size()));
  for (const auto& line : c.lines) {
    out.push_back(0);  // reserved
    putString(out, line->text, scramble, fs);
  }
  out.push_back(static_cast<char>(c.incoming));
  return out;
}

namespace {

// Walks the whole layout without keeping anything, so that a bad file is
// refused before a single line is built.
bool wellFormed(const std::string& bytes) {
  Reader in(bytes);
  uint32_t u = 0;
  std::string skipped;
  if (!in.u32(u) || u != kConversationFileMagic || !in.bytes(kFilePasswordBytes, skipped) ||
      !in.u32(u))
    return false;
  for (int i = 0; i < 6; ++i)
    if (!in.skipString()) return false;
  uint32_t rawCount = 0;
  if (!in.u32(rawCount)) return false;
  const int32_t count = static_cast<int32_t>(rawCount);
  // Every record takes at least 5 bytes (reserved byte and count).
  if (count < 0 || static_cast<size_t>(count) > in.remaining() / 5) return false;
  uint8_t reserved = 0;
  for (int32_t i = 0; i < count; ++i)
    if (!in.u8(reserved) || !in.skipString()) return false;
  return true;
}

}  // namespace

std::optional<ConversationFileContent> decodeConversationFile(const std::string& bytes) {
  if (!wellFormed(bytes)) return std::nullopt;

  const FileScrambler fs;
  Reader in(bytes);
  ConversationFileContent f;

  uint32_t magic = 0;
  std::string pw;
  in.u32(magic);
  in.bytes(kFilePasswordBytes, pw);
  pw = fs.unscrambled(pw);
  f.password = pw.substr(0, pw.find('\0'));
  const bool scrambled = !f.password.empty();

  in.u32(f.ownerId);
  in.string(f.ownerName);
  in.string(f.ownerFirstName);
  in.string(f.ownerLastName);
  in.string(f.date);
  in.string(f.notes);
  in.string(f.caller);
  if (scrambled) {
    f.notes = fs.unscrambled(std::move(f.notes));
    f.caller = fs.unscrambled(std::move(f.caller));
  }

  uint32_t count = 0;
  in.u32(count);
  for (uint32_t i = 0; i < count; ++i) {
    auto line = std::make_unique<ConversationLine>();
    std::string text;
    in.u8(line->reserved);
    in.string(text);
    if (text.empty()) {
      // Not written by the program, but read as an empty sent line.
      line->text.assign(1, static_cast<char>(kSentDirection));
    } else {
      if (scrambled) fs.unscrambleBytes(reinterpret_cast<unsigned char*>(text.data()), text.size());
      line->text = std::move(text);
    }
    f.lines.push_back(std::move(line));
  }

  uint8_t incoming = 1;
  if (in.u8(incoming)) f.incoming = incoming;
  return f;
}

}  // namespace quelto
