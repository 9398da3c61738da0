// The keyed, chained XOR scrambler of conversation files. It hides the
// password, the notes, the caller and the text from a casual look at the
// file; it is not encryption and is kept only because stored files use it.
#pragma once

#include <cstddef>
#include <string>

namespace quelto {

class FileScrambler {
 public:
  // The key every conversation file is scrambled with.
  static constexpr const char* kDefaultKey = "7.40352918664072315809";

  // An empty key means the default key.
  explicit FileScrambler(std::string key = std::string());

  // In place; n = 0 does nothing. Each buffer starts again at key
  // position 0: b[0] ^= k[0]; b[i] = b[i] ^ k[i mod L] ^ b[i-1] (scrambled).
  void scrambleBytes(unsigned char* b, size_t n) const;
  // The inverse of scrambleBytes.
  void unscrambleBytes(unsigned char* b, size_t n) const;

  // Convenience forms on a whole string.
  std::string scrambled(std::string bytes) const;
  std::string unscrambled(std::string bytes) const;

 private:
  std::string key_;
};

}  // namespace quelto
