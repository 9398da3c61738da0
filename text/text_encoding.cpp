#include "text_encoding.h"

#include <optional>

#include "text/utf8.h"

namespace quelto {
namespace {

// 0x80-0x9F are where Windows-1252 differs from Latin-1.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

char32_t cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

int codePointToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  if (cp == 0xFFFD) return -1;
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == cp) return 0x80 + i;
  }
  return -1;
}

std::string cp1252ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) appendUtf8(out, cp1252ToCodePoint(b));
  return out;
}

std::string utf8ToCp1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::optional<char32_t> cp = decodeUtf8(text, i);
    if (!cp) continue;
    const int byte = codePointToCp1252(*cp);
    if (byte >= 0) out += static_cast<char>(byte);
  }
  return out;
}

std::string cp1252ToUpper(std::string bytes) {
  for (char& ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    int upper = byte;
    if ((byte >= 'a' && byte <= 'z') || (byte >= 0xe0 && byte <= 0xfe && byte != 0xf7))
      upper = byte - 0x20;
    else if (byte == 0x9a || byte == 0x9c || byte == 0x9e)  // š œ ž
      upper = byte - 0x10;
    else if (byte == 0xff)  // ÿ
      upper = 0x9f;
    ch = static_cast<char>(upper);
  }
  return bytes;
}

}  // namespace quelto
