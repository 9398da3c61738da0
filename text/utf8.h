// Walking UTF-8 text by characters: where a sequence ends, how many
// characters a text holds, where to cut it without splitting one, and the
// code point of one sequence. Malformed input never reads past the text.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quelto {

// A byte that continues a sequence (10xxxxxx) rather than starting one.
constexpr bool isUtf8Continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the sequence that `lead` starts: 1 to 4, and 1 for a byte that
// starts none (a stray continuation or an invalid lead).
constexpr std::size_t utf8SequenceLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  return 1;
}

// Number of characters: bytes that are not continuations.
std::size_t utf8CharacterCount(std::string_view text);

// The largest length of at most `maxBytes` that does not end inside a
// sequence (the whole text when it is short enough).
std::size_t utf8CutPoint(std::string_view text, std::size_t maxBytes);

// Decodes the sequence at text[i] and moves i past what it read: the whole
// sequence, or only the bytes up to the first one that breaks it. Nothing
// for a malformed sequence.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& i);

}  // namespace quelto
