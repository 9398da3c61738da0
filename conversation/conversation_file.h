// The byte layouts of conversation files (extension "tdd"), apart from the
// model so that they can be read, checked and fuzzed on their own.
//
// All integers little-endian; a string is a u32 byte count and that many
// bytes, no terminator.
//
// Plain layout (magic 0x22335511, bytes 11 55 33 22), written for every
// conversation without a password, and read in its scrambled form for
// files that older versions protected:
//   magic      u32 0x22335511
//   password   9 bytes: NUL-terminated, zero-padded, always scrambled
//   ownerId    u32
//   ownerName, ownerFirstName, ownerLastName, date    strings
//   notes, caller                                     strings, scrambled*
//   lineCount  u32 written, read as signed
//   lines      lineCount x { u8 reserved (written 0), string text* }
//   incoming   u8, optional: a file that ends before it reads as 1
// (*) bytes scrambled, each buffer on its own, when the password is not
// empty; counts are never scrambled. The scrambling is a fixed-key XOR that
// anyone can undo: the program no longer writes it.
//
// Protected layout (magic 0x22335544, bytes 44 55 33 22), written for every
// conversation saved with a password:
//   magic      u32 0x22335544
//   ownerId    u32
//   ownerName, ownerFirstName, ownerLastName          strings, readable:
//                                                     they say whom to ask
//   opsLimit   u32  Argon2id passes
//   memLimit   u32  Argon2id memory in KiB
//   salt       16 bytes, new for every file
//   nonce      24 bytes, new for every write
//   sealed     the rest: the plain layout of the conversation with an empty
//              password, encrypted with XChaCha20-Poly1305 under the key
//              that Argon2id derives from the password (UTF-8 as typed) and
//              the salt; every byte before it is authenticated with it, so
//              neither the text nor the owner can be changed unnoticed.
// The password itself is not stored.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversation/conversation.h"

namespace quelto {

constexpr uint32_t kConversationFileMagic = 0x22335511;
constexpr uint32_t kProtectedFileMagic = 0x22335544;
constexpr size_t kFilePasswordBytes = 9;
// Larger files are refused before they are read: a conversation of that
// size is many days of typing, and the limit bounds what a load can cost.
constexpr size_t kMaxConversationFileBytes = 64u << 20;

// Why a file was not opened.
enum class FileRefusal {
  None,
  CannotOpen,        // missing, unreadable, not a regular file, a link loop
  TooLarge,          // over kMaxConversationFileBytes
  NotAConversation,  // neither magic number
  Damaged,           // cut short, a count past the end, a bad header
  TooManyLines,      // more lines than its size can hold within the budget
  WrongPassword,     // no password given, a wrong one, or changed bytes
  OutOfMemory,
};

// The message box text for a refusal (translated, UTF-8); nullptr for None.
const char* refusalMessage(FileRefusal refusal);

// Reads a conversation file's bytes: refuses anything that is not a
// regular file, anything over the size limit, and anything that does not
// start with one of the two magic numbers, before reading the rest.
FileRefusal readConversationBytes(const std::string& path, std::string& bytes);

// The plain layout, from the conversation's metadata and lines. A
// non-empty password gives the old scrambled form (kept so that tests can
// make such files); the program saves protected files with sealed...().
std::string encodeConversationFile(const Conversation& conversation);
// The plain layout with no password, whatever the conversation's.
std::string encodeConversationFileWithoutPassword(const Conversation& conversation);

// A plain file's content, checked and unscrambled.
struct ConversationFileContent {
  std::string password;  // stored password, up to its first NUL
  uint32_t ownerId = 0;
  std::string ownerName, ownerFirstName, ownerLastName, date, notes, caller;
  std::vector<std::unique_ptr<ConversationLine>> lines;
  uint8_t incoming = 1;
};

// Memory a decoded file may take beyond its own bytes, for its texts and
// line objects: three times its size plus this. With the bytes themselves
// a load stays under four times the file's size plus 16 MiB.
constexpr size_t kLineBudgetSlack = 14u << 20;

// Checks every field of a plain file against the bytes that remain and
// the line objects against the budget above before anything is built, so
// a bad file allocates nothing. Damaged: a wrong magic, a count past the
// end, a negative line count or a file cut inside a field; TooManyLines:
// more records than the budget. A line of length 0 becomes an empty sent
// line. Bytes after `incoming` are ignored.
std::optional<ConversationFileContent> decodeConversationFile(const std::string& bytes,
                                                              FileRefusal* refusal = nullptr);

// A key derived from a password, with the salt and cost it came from.
// Derivation takes a noticeable time (tenths of a second) and 64 MiB by
// design: derive once per conversation and keep it.
struct FileKey {
  std::string password;  // UTF-8, as typed
  std::array<unsigned char, 16> salt{};
  uint32_t opsLimit = 0;
  uint32_t memLimitKiB = 0;
  std::array<unsigned char, 32> key{};
  ~FileKey();
};

// A new key for `password` with a fresh random salt. Nothing when the
// system cannot give the memory.
std::shared_ptr<const FileKey> deriveFileKey(const std::string& password);

// The protected layout of the conversation (whose password field is
// ignored) under `key`.
std::string sealConversationFile(const Conversation& conversation, const FileKey& key);

// The readable header of a protected file.
struct ProtectedHeader {
  uint32_t ownerId = 0;
  std::string ownerName, ownerFirstName, ownerLastName;
  uint32_t opsLimit = 0, memLimitKiB = 0;
  std::array<unsigned char, 16> salt{};
  std::array<unsigned char, 24> nonce{};
  size_t sealedAt = 0;  // offset of the sealed bytes
};
// Nothing when the bytes are not a sound protected header (or ask for a
// key cost beyond what the program ever writes: more than 64 MiB of memory
// or four times its passes).
std::optional<ProtectedHeader> readProtectedHeader(const std::string& bytes);

// The key for `password` with the header's salt and cost.
std::shared_ptr<const FileKey> deriveFileKey(const std::string& password,
                                             const ProtectedHeader& header);

// The plain layout inside a protected file; nothing when the key is wrong
// or any byte of the file was changed. `bytes` is released on the way so
// that the file is never held twice.
std::optional<std::string> openSealed(std::string& bytes, const ProtectedHeader& header,
                                      const FileKey& key);

}  // namespace quelto
