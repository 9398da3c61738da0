#include "conversation/file_scrambler.h"

namespace quelto {

FileScrambler::FileScrambler(std::string key)
    : key_(key.empty() ? std::string(kDefaultKey) : std::move(key)) {}

void FileScrambler::scrambleBytes(unsigned char* b, size_t n) const {
  if (n == 0) return;
  const size_t len = key_.size();
  b[0] ^= static_cast<unsigned char>(key_[0]);
  for (size_t i = 1; i < n; ++i)
    b[i] =
        static_cast<unsigned char>((b[i] ^ static_cast<unsigned char>(key_[i % len])) ^ b[i - 1]);
}

void FileScrambler::unscrambleBytes(unsigned char* b, size_t n) const {
  if (n == 0) return;
  const size_t len = key_.size();
  for (size_t i = n - 1; i >= 1; --i)
    b[i] =
        static_cast<unsigned char>((b[i] ^ b[i - 1]) ^ static_cast<unsigned char>(key_[i % len]));
  b[0] ^= static_cast<unsigned char>(key_[0]);
}

std::string FileScrambler::scrambled(std::string bytes) const {
  scrambleBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
  return bytes;
}

std::string FileScrambler::unscrambled(std::string bytes) const {
  unscrambleBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
  return bytes;
}

}  // namespace quelto
