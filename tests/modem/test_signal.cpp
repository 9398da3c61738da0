#include "tests/modem/test_signal.h"

#include "audio/rate_conversion.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

namespace quelto::testing {
namespace {
constexpr double kPi = 3.14159265358979323846;
}

std::vector<double> fskWave(const std::vector<int>& codes, double baud, double stopBits, int rate) {
  std::vector<double> out;
  const double samplesPerBit = rate / baud;
  double phase = 0.0;
  double bitClock = 0.0;  // fractional sample position of the next bit boundary
  auto bit = [&](double bits, bool mark) {
    bitClock += bits * samplesPerBit;
    const double step = 2.0 * kPi * (mark ? 1400.0 : 1800.0) / rate;
    while (static_cast<double>(out.size()) < bitClock) {
      out.push_back(std::sin(phase));
      phase += step;
    }
  };
  for (int code : codes) {
    bit(1, false);
    for (int b = 16; b >= 1; b >>= 1) bit(1, (code & b) != 0);
    bit(stopBits, true);
  }
  return out;
}

std::vector<uint8_t> fskFrames(const std::vector<int>& codes, double baud, double stopBits,
                               int rate, double amplitude) {
  const std::vector<double> wave = fskWave(codes, baud, stopBits, rate);
  std::vector<uint8_t> out(wave.size());
  for (std::size_t i = 0; i < wave.size(); ++i)
    out[i] = static_cast<uint8_t>(std::lround(128.0 + amplitude * wave[i]));
  return out;
}

std::vector<int16_t> toS16(const std::vector<double>& samples, double scale) {
  std::vector<int16_t> out(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i)
    out[i] = static_cast<int16_t>(std::clamp(std::lround(samples[i] * scale), -32768L, 32767L));
  return out;
}

std::vector<uint8_t> tone(double hz, int count, int rate, double amplitude, double phase) {
  std::vector<uint8_t> out(count);
  for (int i = 0; i < count; ++i)
    out[i] = static_cast<uint8_t>(
        std::lround(128.0 + amplitude * std::sin(phase + 2.0 * kPi * hz * i / rate)));
  return out;
}

double tonePower(const uint8_t* samples, int count, double hz, int rate) {
  const double w = 2.0 * kPi * hz / rate;
  const double coeff = 2.0 * std::cos(w);
  double s1 = 0.0, s2 = 0.0;
  for (int i = 0; i < count; ++i) {
    const double s0 = (samples[i] - 128.0) + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return 2.0 * power / (static_cast<double>(count) * count);
}

std::vector<float> toFloat(const std::vector<uint8_t>& samples) {
  std::vector<float> out(samples.size());
  std::transform(samples.begin(), samples.end(), out.begin(), u8ToFloat);
  return out;
}

std::vector<uint8_t> toU8(const std::vector<float>& samples) {
  std::vector<uint8_t> out(samples.size());
  std::transform(samples.begin(), samples.end(), out.begin(), floatToU8);
  return out;
}

std::vector<float> resample(const std::vector<float>& in, int fromRate, int toRate) {
  if (in.empty()) return in;
  std::vector<float> out = convertRate(in.data(), in.size(), fromRate, toRate, RateQuality::Best);
  if (out.empty()) throw std::runtime_error("resampling failed");
  return out;
}

double activeSignalPower(const std::vector<float>& samples, int rate) {
  const std::size_t frame = static_cast<std::size_t>(rate / 100);
  std::vector<double> frames;
  for (std::size_t i = 0; i + frame <= samples.size(); i += frame) {
    double sum = 0.0;
    for (std::size_t k = i; k < i + frame; ++k) sum += static_cast<double>(samples[k]) * samples[k];
    frames.push_back(sum / frame);
  }
  if (frames.empty()) return 0.0;
  const double loudest = *std::max_element(frames.begin(), frames.end());
  double sum = 0.0;
  int n = 0;
  for (double f : frames)
    if (f > loudest / 100.0) {
      sum += f;
      ++n;
    }
  return n ? sum / n : 0.0;
}

std::vector<float> whiteNoise(std::size_t count, double sigma, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, sigma);
  std::vector<float> out(count);
  for (float& v : out) v = static_cast<float>(gauss(rng));
  return out;
}

void addNoise(std::vector<float>& samples, int rate, double snrDb, unsigned seed) {
  const double sigma = std::sqrt(activeSignalPower(samples, rate) / std::pow(10.0, snrDb / 10.0));
  const std::vector<float> noise = whiteNoise(samples.size(), sigma, seed);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] += noise[i];
}

void writeWav(const std::string& path, const std::vector<float>& samples, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) throw std::runtime_error("cannot write " + path);
  sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  sf_write_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(f);
}

void writeWavU8(const std::string& path, const std::vector<uint8_t>& samples, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) throw std::runtime_error("cannot write " + path);
  sf_write_raw(f, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(f);
}

std::vector<float> readWav(const std::string& path, int* rate) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) throw std::runtime_error("cannot read " + path);
  std::vector<float> all(static_cast<std::size_t>(info.frames) * info.channels);
  sf_readf_float(f, all.data(), info.frames);
  sf_close(f);
  std::vector<float> first(static_cast<std::size_t>(info.frames));
  for (sf_count_t i = 0; i < info.frames; ++i) first[i] = all[i * info.channels];
  if (rate) *rate = info.samplerate;
  return first;
}

std::size_t editDistance(const std::string& sent, const std::string& heard) {
  std::vector<std::size_t> prev(heard.size() + 1), cur(heard.size() + 1);
  for (std::size_t j = 0; j <= heard.size(); ++j) prev[j] = j;
  for (std::size_t i = 1; i <= sent.size(); ++i) {
    cur[0] = i;
    for (std::size_t j = 1; j <= heard.size(); ++j)
      cur[j] = std::min(
          {prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (sent[i - 1] == heard[j - 1] ? 0 : 1)});
    std::swap(prev, cur);
  }
  return prev[heard.size()];
}

double characterErrorRate(const std::string& sent, const std::string& heard) {
  return static_cast<double>(editDistance(sent, heard)) / static_cast<double>(sent.size());
}

}  // namespace quelto::testing
