// The two sample formats of the line, and the one conversion between them.
//
// Input is read as signed 16-bit (0 = silence), so that a weak line on a card
// with its input turned down still reaches the receiver with its full
// precision. Everything the program plays, dial tones and announcements
// included, and every file kept in the old format (the raw input dump, the
// capture WAV) is 8-bit unsigned (128 = silence). The level meter and the
// signal indicator count on the 8-bit scale, 0..128.
//
// The conversions are exact inverses on 8-bit-derived input: an 8-bit sample
// u widens to (u - 128) * 256, and narrowing keeps the high byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quelto {

constexpr std::uint8_t kSilence8 = 128;
// One step of the 8-bit scale in 16-bit units.
constexpr int kU8Step = 256;

constexpr std::int16_t widenSample(std::uint8_t u) {
  return static_cast<std::int16_t>((static_cast<int>(u) - kSilence8) * kU8Step);
}

// The high byte, as a card would deliver the same signal in 8 bits
// (rounded toward minus infinity, like a truncating converter).
constexpr std::uint8_t narrowSample(std::int16_t s) {
  return static_cast<std::uint8_t>((static_cast<int>(s) >> 8) + kSilence8);
}

inline std::vector<std::int16_t> widenSamples(const std::uint8_t* samples, std::size_t length) {
  std::vector<std::int16_t> out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = widenSample(samples[i]);
  return out;
}
inline std::vector<std::int16_t> widenSamples(const std::vector<std::uint8_t>& samples) {
  return widenSamples(samples.data(), samples.size());
}

inline std::vector<std::uint8_t> narrowSamples(const std::int16_t* samples, std::size_t length) {
  std::vector<std::uint8_t> out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = narrowSample(samples[i]);
  return out;
}

}  // namespace quelto
