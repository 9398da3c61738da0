#include "text/utf8.h"

namespace quelto {

std::size_t utf8CharacterCount(std::string_view text) {
  std::size_t n = 0;
  for (char c : text)
    if (!isUtf8Continuation(static_cast<unsigned char>(c))) ++n;
  return n;
}

std::size_t utf8CutPoint(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t end = maxBytes;
  while (end > 0 && isUtf8Continuation(static_cast<unsigned char>(text[end]))) --end;
  return end;
}

std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const std::size_t length = utf8SequenceLength(lead);
  ++i;
  if (length == 1) {
    if (lead < 0x80) return lead;
    return std::nullopt;  // a stray continuation or an invalid lead
  }
  // The lead's payload bits: 5, 4 or 3 of them.
  char32_t cp = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k, ++i) {
    if (i >= text.size() || !isUtf8Continuation(static_cast<unsigned char>(text[i])))
      return std::nullopt;
    cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
  }
  return cp;
}

}  // namespace quelto
