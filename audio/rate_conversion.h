// Sample-rate conversion for everything that moves a signal between the
// line's 8000 Hz and a card's or a file's rate, band-limited by
// libsamplerate. One-shot for a whole signal, or a stream that keeps the
// filter's state across pieces: converting short pieces on their own would
// put edges and a drifting length into the signal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

namespace quelto {

// Medium is what the program uses live; Best is for reference signals
// where time does not matter.
enum class RateQuality { Medium, Best };

// The 8-bit unsigned line samples as floats in [-1, 1), and back, rounded
// and clipped.
float u8ToFloat(std::uint8_t sample);
std::uint8_t floatToU8(float sample);

// A whole signal from one rate to another; empty when libsamplerate fails.
std::vector<float> convertRate(const float* samples, std::size_t length, int fromRate, int toRate,
                               RateQuality quality = RateQuality::Medium);
std::vector<std::uint8_t> convertRate8(const std::uint8_t* samples, std::size_t length,
                                       int fromRate, int toRate,
                                       RateQuality quality = RateQuality::Medium);

class RateConverter {
 public:
  RateConverter(int fromRate, int toRate, RateQuality quality = RateQuality::Medium);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  // False when libsamplerate could not be set up; error() says why.
  bool ok() const { return state_ != nullptr; }
  const char* error() const;
  int fromRate() const { return fromRate_; }

  // Converts the next piece and appends the result to `out`; `end` drains
  // the filter's tail. False (error() says why) when the conversion fails.
  bool convert(const float* samples, std::size_t length, bool end, std::vector<float>& out);
  // The same for 8-bit line samples; empty on failure.
  std::vector<std::uint8_t> convert8(const std::uint8_t* samples, std::size_t length);

 private:
  SRC_STATE* state_ = nullptr;
  int fromRate_;
  double ratio_;
  int error_ = 0;
};

}  // namespace quelto
