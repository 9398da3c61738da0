// The byte layout of conversation files (extension "tdd"), apart from the
// model so that it can be read, checked and fuzzed on its own.
//
// All integers little-endian; a string is a u32 byte count and that many
// bytes, no terminator.
//   magic      u32 0x22335511
//   password   9 bytes: NUL-terminated, zero-padded, always scrambled
//   ownerId    u32
//   ownerName, ownerFirstName, ownerLastName, date    strings
//   notes, caller                                     strings, scrambled*
//   lineCount  u32 written, read as signed
//   lines      lineCount x { u8 reserved (written 0), string text* }
//   incoming   u8, optional: a file that ends before it reads as 1
// (*) bytes scrambled, each buffer on its own, when the password is not
// empty; counts are never scrambled.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversation/conversation.h"

namespace quelto {

constexpr uint32_t kConversationFileMagic = 0x22335511;
constexpr size_t kFilePasswordBytes = 9;

// The whole file as bytes, from the conversation's metadata and lines.
std::string encodeConversationFile(const Conversation& conversation);

// A file's content, checked and unscrambled.
struct ConversationFileContent {
  std::string password;  // stored password, up to its first NUL
  uint32_t ownerId = 0;
  std::string ownerName, ownerFirstName, ownerLastName, date, notes, caller;
  std::vector<std::unique_ptr<ConversationLine>> lines;
  uint8_t incoming = 1;
};

// Checks every field against the bytes that remain; nothing (std::nullopt)
// for a wrong magic, a count past the end, a negative line count or a file
// cut inside a field. The whole layout is checked before anything is built,
// so a bad file allocates nothing; a good one takes its own size in text
// plus one line object per record. A line of length 0 becomes an empty sent
// line. Bytes after `incoming` are ignored.
std::optional<ConversationFileContent> decodeConversationFile(const std::string& bytes);

}  // namespace quelto
