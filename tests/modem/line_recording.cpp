#include "tests/modem/line_recording.h"

#include "tests/modem/test_signal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quelto::testing {

namespace {
constexpr int kRate = 8000;
double amplitudeFor(double dbfs) {
  return std::pow(10.0, dbfs / 20.0);
}
}  // namespace

LineRecording& LineRecording::tones(std::initializer_list<double> hz, double dbfs, int ms) {
  const std::size_t count = static_cast<std::size_t>(ms) * kRate / 1000;
  const double a = amplitudeFor(dbfs);
  for (std::size_t n = 0; n < count; ++n) {
    double v = 0.0;
    for (double f : hz) v += a * std::sin(2.0 * M_PI * f * static_cast<double>(n) / kRate);
    samples_.push_back(static_cast<float>(v));
  }
  return *this;
}

LineRecording& LineRecording::silence(int ms) {
  samples_.resize(samples_.size() + static_cast<std::size_t>(ms) * kRate / 1000, 0.0f);
  return *this;
}

LineRecording& LineRecording::cadence(std::initializer_list<double> hz, double dbfs, int onMs,
                                      int offMs, int totalMs) {
  for (int t = 0; t < totalMs; t += onMs + offMs) {
    tones(hz, dbfs, std::min(onMs, totalMs - t));
    if (t + onMs < totalMs) silence(std::min(offMs, totalMs - t - onMs));
  }
  return *this;
}

LineRecording& LineRecording::sound(const std::vector<float>& samples) {
  samples_.insert(samples_.end(), samples.begin(), samples.end());
  return *this;
}

LineRecording& LineRecording::noise(double dbfs, unsigned seed) {
  // A full-scale sine's RMS is 1/sqrt(2).
  const std::vector<float> n =
      whiteNoise(samples_.size(), amplitudeFor(dbfs) / std::sqrt(2.0), seed);
  for (std::size_t i = 0; i < samples_.size(); ++i) samples_[i] += n[i];
  return *this;
}

std::vector<std::int16_t> LineRecording::pcm16() const {
  std::vector<std::int16_t> out(samples_.size());
  for (std::size_t i = 0; i < samples_.size(); ++i)
    out[i] =
        static_cast<std::int16_t>(std::clamp(std::lround(samples_[i] * 32768.0), -32768L, 32767L));
  return out;
}

double levelDbfs(const std::vector<float>& samples) {
  double sum = 0.0;
  for (float v : samples) sum += double(v) * v;
  return 10.0 * std::log10(sum / samples.size() / 0.5);
}

std::vector<float> withLoudestAt(std::vector<float> samples, double dbfs) {
  const std::size_t frame = 256;
  double loudest = 0.0;
  for (std::size_t i = 0; i + frame <= samples.size(); i += frame) {
    double sum = 0.0;
    for (std::size_t j = i; j < i + frame; ++j) sum += double(samples[j]) * samples[j];
    loudest = std::max(loudest, sum / frame);
  }
  const double gain = std::sqrt(0.5 * std::pow(10.0, dbfs / 10.0) / loudest);
  for (float& v : samples) v = static_cast<float>(v * gain);
  return samples;
}

std::vector<HeardEvent> listen(const std::vector<std::int16_t>& pcm, std::size_t block) {
  LineEventDetector detector;
  std::vector<HeardEvent> heard;
  LineEvent last = LineEvent::Quiet;
  for (std::size_t i = 0; i < pcm.size(); i += block) {
    detector.process(pcm.data() + i, std::min(block, pcm.size() - i));
    if (detector.current() != last) {
      last = detector.current();
      heard.push_back({last, detector.currentSince() / double(kRate)});
    }
  }
  return heard;
}

std::vector<LineEvent> eventsOf(const std::vector<HeardEvent>& heard) {
  std::vector<LineEvent> out;
  for (const HeardEvent& h : heard) out.push_back(h.event);
  return out;
}

const char* eventName(LineEvent e) {
  switch (e) {
    case LineEvent::Quiet:
      return "quiet";
    case LineEvent::DialTone:
      return "dial tone";
    case LineEvent::Ringing:
      return "ringing";
    case LineEvent::Busy:
      return "busy";
    case LineEvent::Reorder:
      return "reorder";
    case LineEvent::Voice:
      return "voice";
  }
  return "?";
}

std::string describe(const std::vector<HeardEvent>& heard) {
  std::string out;
  char buf[64];
  for (const HeardEvent& h : heard) {
    std::snprintf(buf, sizeof buf, "%s%s at %.2f s", out.empty() ? "" : ", ", eventName(h.event),
                  h.seconds);
    out += buf;
  }
  return out.empty() ? "nothing" : out;
}

}  // namespace quelto::testing
