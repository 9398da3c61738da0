#include "audio/rate_conversion.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace quelto {

namespace {

int converterType(RateQuality quality) {
  return quality == RateQuality::Best ? SRC_SINC_BEST_QUALITY : SRC_SINC_MEDIUM_QUALITY;
}

std::vector<float> toFloats(const std::uint8_t* samples, std::size_t length) {
  std::vector<float> in(length);
  std::transform(samples, samples + length, in.begin(), u8ToFloat);
  return in;
}

std::vector<std::uint8_t> toU8s(const std::vector<float>& samples) {
  std::vector<std::uint8_t> out(samples.size());
  std::transform(samples.begin(), samples.end(), out.begin(), floatToU8);
  return out;
}

}  // namespace

float u8ToFloat(std::uint8_t sample) {
  return (sample - 128) / 128.0f;
}

std::uint8_t floatToU8(float sample) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(sample * 128.0f) + 128, 0L, 255L));
}

std::vector<float> convertRate(const float* samples, std::size_t length, int fromRate, int toRate,
                               RateQuality quality) {
  if (length == 0) return {};
  if (fromRate == toRate) return {samples, samples + length};
  const double ratio = static_cast<double>(toRate) / fromRate;
  std::vector<float> out(static_cast<std::size_t>(std::ceil(length * ratio)) + 16);
  SRC_DATA data{};
  data.data_in = samples;
  data.input_frames = static_cast<long>(length);
  data.data_out = out.data();
  data.output_frames = static_cast<long>(out.size());
  data.src_ratio = ratio;
  if (src_simple(&data, converterType(quality), 1) != 0) return {};
  out.resize(static_cast<std::size_t>(data.output_frames_gen));
  return out;
}

std::vector<std::uint8_t> convertRate8(const std::uint8_t* samples, std::size_t length,
                                       int fromRate, int toRate, RateQuality quality) {
  if (fromRate == toRate) return {samples, samples + length};
  const std::vector<float> in = toFloats(samples, length);
  return toU8s(convertRate(in.data(), in.size(), fromRate, toRate, quality));
}

RateConverter::RateConverter(int fromRate, int toRate, RateQuality quality)
    : fromRate_(fromRate), ratio_(static_cast<double>(toRate) / fromRate) {
  state_ = src_new(converterType(quality), 1, &error_);
}

RateConverter::~RateConverter() {
  if (state_) src_delete(state_);
}

const char* RateConverter::error() const {
  return src_strerror(error_);
}

bool RateConverter::convert(const float* samples, std::size_t length, bool end,
                            std::vector<float>& out) {
  if (!state_) return false;
  std::vector<float> piece(static_cast<std::size_t>(std::ceil(length * ratio_)) + 64);
  SRC_DATA data{};
  data.src_ratio = ratio_;
  data.end_of_input = end ? 1 : 0;
  std::size_t used = 0;
  for (;;) {
    data.data_in = samples + used;
    data.input_frames = static_cast<long>(length - used);
    data.data_out = piece.data();
    data.output_frames = static_cast<long>(piece.size());
    if ((error_ = src_process(state_, &data)) != 0) return false;
    used += static_cast<std::size_t>(data.input_frames_used);
    out.insert(out.end(), piece.begin(), piece.begin() + data.output_frames_gen);
    if (used >= length && data.output_frames_gen == 0) return true;
  }
}

std::vector<std::uint8_t> RateConverter::convert8(const std::uint8_t* samples, std::size_t length) {
  const std::vector<float> in = toFloats(samples, length);
  std::vector<float> out;
  if (!convert(in.data(), in.size(), false, out)) return {};
  return toU8s(out);
}

}  // namespace quelto
