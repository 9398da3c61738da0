// Recordings of a telephone line for the line-event detector's tests and
// benchmark: call-progress tones and cadences at a level per tone, silence,
// white noise and any other sound, at 8000 samples/s; and a listener that
// feeds a recording to a LineEventDetector and notes every change.
#pragma once

#include "modem/line_events.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quelto::testing {

// Levels are dBFS: RMS relative to a full-scale sine (0 dBFS is a sine of
// amplitude 1, samples being floats in [-1, 1)).
class LineRecording {
 public:
  // Each frequency at `dbfs`, together, for `ms`.
  LineRecording& tones(std::initializer_list<double> hz, double dbfs, int ms);
  LineRecording& silence(int ms);
  // On/off bursts of the tones for `totalMs`, starting with a burst.
  LineRecording& cadence(std::initializer_list<double> hz, double dbfs, int onMs, int offMs,
                         int totalMs);
  // Other sound at 8000 samples/s, as it is.
  LineRecording& sound(const std::vector<float>& samples);
  // White Gaussian noise at `dbfs` added over everything so far.
  LineRecording& noise(double dbfs, unsigned seed);

  const std::vector<float>& samples() const { return samples_; }
  double seconds() const { return samples_.size() / 8000.0; }
  // Signed 16-bit, clipped.
  std::vector<std::int16_t> pcm16() const;

 private:
  std::vector<float> samples_;
};

// The RMS level of the samples in dBFS.
double levelDbfs(const std::vector<float>& samples);
// Scales the samples so that the loudest 32 ms holds `dbfs` RMS.
std::vector<float> withLoudestAt(std::vector<float> samples, double dbfs);

struct HeardEvent {
  LineEvent event;
  double seconds;  // when the detector named it, from the recording's start
};
// Every change of the detector's event, fed in blocks of `block` samples.
std::vector<HeardEvent> listen(const std::vector<std::int16_t>& pcm, std::size_t block = 160);
std::vector<LineEvent> eventsOf(const std::vector<HeardEvent>& heard);
std::string describe(const std::vector<HeardEvent>& heard);
const char* eventName(LineEvent e);

}  // namespace quelto::testing
