#include "conversation/conversation_file.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "conversation/file_scrambler.h"
#include "settings/translation.h"

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

namespace {

std::string encodePlain(const Conversation& c, const std::string& password) {
  const FileScrambler fs;
  size_t size = 4 + kFilePasswordBytes + 4 + 6 * 4 + 4 + 1 + c.ownerName.size() +
                c.ownerFirstName.size() + c.ownerLastName.size() + c.date.size() + c.notes.size() +
                c.caller.size();
  for (const auto& line : c.lines) size += 5 + line->text.size();

  std::string out;
  out.reserve(size);
  putU32(out, kConversationFileMagic);

  unsigned char pw[kFilePasswordBytes] = {};
  std::memcpy(pw, password.data(), std::min(password.size(), kFilePasswordBytes - 1));
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

}  // namespace

std::string encodeConversationFile(const Conversation& c) {
  return encodePlain(c, c.password);
}

std::string encodeConversationFileWithoutPassword(const Conversation& c) {
  return encodePlain(c, std::string());
}

namespace {

// What one line object costs beyond its text: the object, the allocator's
// header and its slot in the conversation's list.
constexpr size_t kLineObjectCost = sizeof(ConversationLine) + 16 + sizeof(void*);

// What a text of n bytes costs on the heap: nothing while it fits in the
// string itself, else its bytes, the terminator and the allocator's header.
size_t textCost(size_t n) {
  return n < sizeof(std::string) / 2 ? 0 : n + 1 + 16;
}

// Walks the whole layout without keeping anything, so that a bad file is
// refused before a single line is built.
FileRefusal checkLayout(const std::string& bytes) {
  Reader in(bytes);
  uint32_t u = 0;
  std::string skipped;
  if (!in.u32(u)) return FileRefusal::Damaged;
  if (u != kConversationFileMagic) return FileRefusal::NotAConversation;
  if (!in.bytes(kFilePasswordBytes, skipped) || !in.u32(u)) return FileRefusal::Damaged;
  for (int i = 0; i < 6; ++i)
    if (!in.skipString()) return FileRefusal::Damaged;
  uint32_t rawCount = 0;
  if (!in.u32(rawCount)) return FileRefusal::Damaged;
  const int32_t count = static_cast<int32_t>(rawCount);
  // Every record takes at least 5 bytes (reserved byte and count).
  if (count < 0 || static_cast<size_t>(count) > in.remaining() / 5) return FileRefusal::Damaged;
  const size_t budget = 3 * bytes.size() + kLineBudgetSlack;
  size_t cost = static_cast<size_t>(count) * kLineObjectCost;
  if (cost > budget) return FileRefusal::TooManyLines;
  uint8_t reserved = 0;
  for (int32_t i = 0; i < count; ++i) {
    const size_t before = in.remaining();
    if (!in.u8(reserved) || !in.skipString()) return FileRefusal::Damaged;
    cost += textCost(before - in.remaining() - 5);
  }
  if (cost > budget) return FileRefusal::TooManyLines;
  return FileRefusal::None;
}

}  // namespace

std::optional<ConversationFileContent> decodeConversationFile(const std::string& bytes,
                                                              FileRefusal* refusal) {
  const FileRefusal checked = checkLayout(bytes);
  if (refusal) *refusal = checked;
  if (checked != FileRefusal::None) return std::nullopt;

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
  f.lines.reserve(count);
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

const char* refusalMessage(FileRefusal refusal) {
  switch (refusal) {
    case FileRefusal::None:
      return nullptr;
    case FileRefusal::CannotOpen:
      return translate(Text::FileCannotBeOpened);
    case FileRefusal::TooLarge:
      return translate(Text::FileTooLarge);
    case FileRefusal::NotAConversation:
      return translate(Text::NotAConversationFile);
    case FileRefusal::Damaged:
      return translate(Text::FileDamaged);
    case FileRefusal::TooManyLines:
      return translate(Text::FileHasTooManyLines);
    case FileRefusal::WrongPassword:
      return translate(Text::WrongPassword);
    case FileRefusal::OutOfMemory:
      return translate(Text::NotEnoughMemoryToOpen);
  }
  return nullptr;
}

namespace {

bool readFully(int fd, char* p, size_t n, size_t& got) {
  got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd, p + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return true;
}

uint32_t u32At(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  return v;
}

}  // namespace

FileRefusal readConversationBytes(const std::string& path, std::string& bytes) {
  // Non-blocking so that a named pipe given as a file cannot hang the
  // program; it is refused below with every other file that is not regular.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return FileRefusal::CannotOpen;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return FileRefusal::CannotOpen;
  if (static_cast<unsigned long long>(st.st_size) > kMaxConversationFileBytes)
    return FileRefusal::TooLarge;

  std::string head(4, '\0');
  size_t got = 0;
  if (!readFully(fd, head.data(), 4, got)) return FileRefusal::CannotOpen;
  if (got < 4) return got == 0 ? FileRefusal::NotAConversation : FileRefusal::Damaged;
  const uint32_t magic = u32At(head, 0);
  if (magic != kConversationFileMagic && magic != kProtectedFileMagic)
    return FileRefusal::NotAConversation;

  // Read to the end, not to the size fstat gave: the file may have grown
  // since, and must still stay under the limit.
  std::string out = std::move(head);
  size_t have = 4;
  size_t want = std::max<size_t>(static_cast<size_t>(st.st_size), 4) + 1;
  for (;;) {
    out.resize(std::min(want, kMaxConversationFileBytes + 1));
    if (!readFully(fd, out.data() + have, out.size() - have, got)) return FileRefusal::CannotOpen;
    have += got;
    if (have < out.size()) break;
    if (have > kMaxConversationFileBytes) return FileRefusal::TooLarge;
    want = 2 * out.size();
  }
  out.resize(have);
  bytes = std::move(out);
  return FileRefusal::None;
}

// --- Protected files ---------------------------------------------------------

namespace {

constexpr uint32_t kWriteOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr uint32_t kWriteMemLimitKiB = crypto_pwhash_MEMLIMIT_INTERACTIVE / 1024;
// A file asking for more than this is refused rather than derived: a
// hostile header must not make the program allocate gigabytes or spin for
// minutes. The memory is capped at exactly what the program writes, so the
// key derivation of any load costs at most that fixed amount (64 MiB, freed
// before the body is decrypted) on top of the loader's own budget of four
// times the file's size plus 16 MiB. A smaller cost would fit that budget
// for small files, but with passwords of at most 8 characters the memory is
// what slows a guessing attack down.
constexpr uint32_t kMaxOpsLimit = 4 * crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr uint32_t kMaxMemLimitKiB = kWriteMemLimitKiB;

static_assert(crypto_pwhash_SALTBYTES == 16, "salt size is part of the file layout");
static_assert(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES == 24,
              "nonce size is part of the file layout");
static_assert(crypto_aead_xchacha20poly1305_ietf_KEYBYTES == 32,
              "key size is part of the file layout");

bool sodiumReady() {
  static const bool ready = ::sodium_init() >= 0;
  return ready;
}

std::shared_ptr<const FileKey> derive(const std::string& password,
                                      const std::array<unsigned char, 16>& salt, uint32_t ops,
                                      uint32_t memKiB) {
  if (!sodiumReady()) return nullptr;
  auto key = std::make_shared<FileKey>();
  key->password = password;
  key->salt = salt;
  key->opsLimit = ops;
  key->memLimitKiB = memKiB;
  if (::crypto_pwhash(key->key.data(), key->key.size(), password.data(), password.size(),
                      salt.data(), ops, static_cast<size_t>(memKiB) * 1024,
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
    return nullptr;
  return key;
}

}  // namespace

FileKey::~FileKey() {
  ::sodium_memzero(key.data(), key.size());
  ::sodium_memzero(password.data(), password.size());
}

std::shared_ptr<const FileKey> deriveFileKey(const std::string& password) {
  if (!sodiumReady()) return nullptr;
  std::array<unsigned char, 16> salt{};
  ::randombytes_buf(salt.data(), salt.size());
  return derive(password, salt, kWriteOpsLimit, kWriteMemLimitKiB);
}

std::shared_ptr<const FileKey> deriveFileKey(const std::string& password,
                                             const ProtectedHeader& header) {
  return derive(password, header.salt, header.opsLimit, header.memLimitKiB);
}

std::string sealConversationFile(const Conversation& c, const FileKey& key) {
  std::string header;
  putU32(header, kProtectedFileMagic);
  putU32(header, c.ownerId);
  const FileScrambler none;
  putString(header, c.ownerName, false, none);
  putString(header, c.ownerFirstName, false, none);
  putString(header, c.ownerLastName, false, none);
  putU32(header, key.opsLimit);
  putU32(header, key.memLimitKiB);
  header.append(reinterpret_cast<const char*>(key.salt.data()), key.salt.size());
  std::array<unsigned char, 24> nonce{};
  sodiumReady();
  ::randombytes_buf(nonce.data(), nonce.size());
  header.append(reinterpret_cast<const char*>(nonce.data()), nonce.size());

  // The inner file carries no password: the key is the protection.
  std::string inner = encodePlain(c, std::string());
  std::string out = header;
  out.resize(header.size() + inner.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES);
  unsigned long long sealedLength = 0;
  ::crypto_aead_xchacha20poly1305_ietf_encrypt(
      reinterpret_cast<unsigned char*>(&out[header.size()]), &sealedLength,
      reinterpret_cast<const unsigned char*>(inner.data()), inner.size(),
      reinterpret_cast<const unsigned char*>(header.data()), header.size(), nullptr, nonce.data(),
      key.key.data());
  ::sodium_memzero(inner.data(), inner.size());
  out.resize(header.size() + static_cast<size_t>(sealedLength));
  return out;
}

std::optional<ProtectedHeader> readProtectedHeader(const std::string& bytes) {
  Reader in(bytes);
  ProtectedHeader h;
  uint32_t magic = 0;
  std::string salt, nonce;
  if (!in.u32(magic) || magic != kProtectedFileMagic || !in.u32(h.ownerId) ||
      !in.string(h.ownerName) || !in.string(h.ownerFirstName) || !in.string(h.ownerLastName) ||
      !in.u32(h.opsLimit) || !in.u32(h.memLimitKiB) || !in.bytes(h.salt.size(), salt) ||
      !in.bytes(h.nonce.size(), nonce))
    return std::nullopt;
  if (h.opsLimit < crypto_pwhash_OPSLIMIT_MIN || h.opsLimit > kMaxOpsLimit ||
      h.memLimitKiB < crypto_pwhash_MEMLIMIT_MIN / 1024 || h.memLimitKiB > kMaxMemLimitKiB)
    return std::nullopt;
  if (in.remaining() < crypto_aead_xchacha20poly1305_ietf_ABYTES) return std::nullopt;
  std::memcpy(h.salt.data(), salt.data(), salt.size());
  std::memcpy(h.nonce.data(), nonce.data(), nonce.size());
  h.sealedAt = bytes.size() - in.remaining();
  return h;
}

std::optional<std::string> openSealed(std::string& bytes, const ProtectedHeader& header,
                                      const FileKey& key) {
  if (!sodiumReady() || bytes.size() < header.sealedAt + crypto_aead_xchacha20poly1305_ietf_ABYTES)
    return std::nullopt;
  const size_t sealedLength = bytes.size() - header.sealedAt;
  std::string inner(sealedLength - crypto_aead_xchacha20poly1305_ietf_ABYTES, '\0');
  unsigned long long innerLength = 0;
  const int result = ::crypto_aead_xchacha20poly1305_ietf_decrypt(
      reinterpret_cast<unsigned char*>(inner.data()), &innerLength, nullptr,
      reinterpret_cast<const unsigned char*>(&bytes[header.sealedAt]), sealedLength,
      reinterpret_cast<const unsigned char*>(bytes.data()), header.sealedAt, header.nonce.data(),
      key.key.data());
  if (result != 0) return std::nullopt;
  std::string().swap(bytes);
  inner.resize(static_cast<size_t>(innerLength));
  return inner;
}

}  // namespace quelto
