#include "modem/line_events.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace quelto {

namespace {

using FrameClass = LineEventDetector::FrameClass;
constexpr int kN = LineEventDetector::kFrameLength;

// Mean square of a full-scale sine (samples scaled to [-1, 1)).
constexpr double kFullScaleSine = 0.5;
// Frames quieter than -55 dBFS carry nothing worth naming.
const double kQuietEnergy = kFullScaleSine * std::pow(10.0, -55.0 / 10.0);

// A frame is a monitored tone when the tone's bins hold this share of its
// energy: 0.6 leaves room for noise 4 dB below the tone; each tone of a pair
// must hold 0.15 (up to 6 dB of twist between them).
constexpr double kToneShare = 0.6;
constexpr double kPairMemberShare = 0.15;
// A frame that crosses a TDD bit boundary holds half of each tone's power
// in each bin; 0.4 keeps those frames with noise 4 dB below.
constexpr double kTddShare = 0.4;
// A single tone's bin share must not come with any of the pair tones.
constexpr double kStrayShare = 0.15;

// A single tone whose frames lean this much to 425 Hz on average is the
// European one (425 Hz) and not France's (440 Hz): a tone within about
// 1.5 % of 425 Hz.
constexpr double kMinLean425 = 0.2;

// A TDD signal this long ends any event (three frames, 96 ms).
constexpr int kTddFrames = 3;
// Voice: a frame sounds like speech when it is "other" sound this far above
// the noise floor; kVoiceStartFrames of them within the last second start a
// voice, kVoiceEndFrames (2 s) without one end it.
constexpr double kSpeechOverFloor = 4.0;  // 6 dB
constexpr int kVoiceStartFrames = 10;
// Speech rises and falls with its syllables; steady noise that has just
// come on the line does not. The mean change of level from one frame to the
// next over the last second must reach kSpeechChangeDb, each change counted
// up to kLargestChangeDb so that one step cannot make it.
constexpr double kSpeechChangeDb = 1.5;
constexpr double kLargestChangeDb = 10.0;
constexpr int kVoiceEndFrames = 62;

constexpr int framesAtLeast(int ms) {
  return ms * LineEventDetector::kRate / 1000 / kN;
}
constexpr int framesAtMost(int ms) {
  return (ms * LineEventDetector::kRate / 1000 + kN - 1) / kN;
}

enum Bin { k350, k425, k440, k480, k620, k1400, k1800, kBinCount };
constexpr double kBinHz[kBinCount] = {350, 425, 440, 480, 620, 1400, 1800};

struct Coefficients {
  double c[kBinCount];
  Coefficients() {
    for (int b = 0; b < kBinCount; ++b)
      c[b] = 2.0 * std::cos(2.0 * M_PI * kBinHz[b] / LineEventDetector::kRate);
  }
};

struct Analysis {
  FrameClass cls = FrameClass::Quiet;
  double energy = 0.0;
  // For a single tone: its 425 Hz bin share less its 440 Hz one, about
  // +0.56 for 425 Hz and -0.56 for 440 Hz (each bin lets through 0.44 of
  // the power of a tone 15 Hz away).
  double lean425 = 0.0;
};

Analysis analyse(const std::int16_t* frame) {
  static const Coefficients k;
  double s1[kBinCount] = {};
  double s2[kBinCount] = {};
  double sum = 0.0;
  for (int n = 0; n < kN; ++n) {
    const double x = frame[n] / 32768.0;
    sum += x * x;
    for (int b = 0; b < kBinCount; ++b) {
      const double s = x + k.c[b] * s1[b] - s2[b];
      s2[b] = s1[b];
      s1[b] = s;
    }
  }
  Analysis a;
  a.energy = sum / kN;
  if (a.energy < kQuietEnergy) return a;
  // Share of the frame's energy in each bin: a sine on the bin's frequency
  // gives 1 whatever its level.
  double p[kBinCount];
  for (int b = 0; b < kBinCount; ++b) {
    const double power = s1[b] * s1[b] + s2[b] * s2[b] - k.c[b] * s1[b] * s2[b];
    p[b] = 2.0 * power / (double(kN) * kN) / a.energy;
  }
  auto pair = [&](Bin x, Bin y) {
    return p[x] >= kPairMemberShare && p[y] >= kPairMemberShare && p[x] + p[y] >= kToneShare;
  };
  if (p[k1400] + p[k1800] >= kTddShare)
    a.cls = FrameClass::Tdd;
  else if (pair(k350, k440))
    a.cls = FrameClass::DialPair;
  else if (pair(k480, k620))
    a.cls = FrameClass::BusyPair;
  else if (pair(k440, k480))
    a.cls = FrameClass::RingPair;
  else if (std::max(p[k425], p[k440]) >= kToneShare && p[k350] < kStrayShare &&
           p[k480] < kStrayShare && p[k620] < kStrayShare) {
    a.cls = FrameClass::Single;
    a.lean425 = p[k425] - p[k440];
  } else
    a.cls = FrameClass::Other;
  return a;
}

bool isOff(FrameClass c) {
  return c == FrameClass::Quiet || c == FrameClass::Other;
}

// One tone pattern: a class heard for on frames, then off (quiet or other
// sound) for off frames, repeating; or, when continuous, heard without end.
struct Cadence {
  LineEvent event;
  FrameClass on;
  int onMin, onMax;
  int offMin, offMax;
  bool continuous;
  bool only425 = false;  // a single tone that must be 425 Hz, not 440 Hz
};

constexpr int kNoEnd = 1 << 30;

const Cadence kCadences[] = {
    {LineEvent::DialTone, FrameClass::DialPair, framesAtLeast(500), kNoEnd, 0, 0, true},
    // European ringing (425 Hz) is on for 1 s, so a longer 425 Hz tone is
    // dial tone; France's ringing is 440 Hz for 1.5 s, the same sound as its
    // dial tone until then, so a 440 Hz tone waits longer.
    {LineEvent::DialTone, FrameClass::Single, framesAtLeast(1300), kNoEnd, 0, 0, true, true},
    {LineEvent::DialTone, FrameClass::Single, framesAtLeast(1700), kNoEnd, 0, 0, true},
    {LineEvent::Ringing, FrameClass::RingPair, framesAtLeast(1600), framesAtMost(2400),
     framesAtLeast(3200), framesAtMost(4800), false},
    {LineEvent::Ringing, FrameClass::Single, framesAtLeast(800), framesAtMost(1700),
     framesAtLeast(2800), framesAtMost(4500), false},
    {LineEvent::Busy, FrameClass::BusyPair, framesAtLeast(400), framesAtMost(650),
     framesAtLeast(400), framesAtMost(650), false},
    {LineEvent::Busy, FrameClass::Single, framesAtLeast(400), framesAtMost(650), framesAtLeast(400),
     framesAtMost(650), false},
    {LineEvent::Reorder, FrameClass::BusyPair, framesAtLeast(180), framesAtMost(330),
     framesAtLeast(180), framesAtMost(330), false},
};

}  // namespace

LineEventDetector::LineEventDetector() {
  reset();
}

void LineEventDetector::reset() {
  partialLength_ = 0;
  samplesHeard_ = 0;
  run_ = {};
  pendingClass_ = FrameClass::Quiet;
  pendingFrames_ = 0;
  singleLean_ = 0.0;
  singleFrames_ = 0;
  forgetTones();
  forgetVoice();
  energyCount_ = 0;
  energyNext_ = 0;
  floor_ = 0.0;
  changes_.fill(0.0);
  changeNext_ = 0;
  changeSum_ = 0.0;
  lastDb_ = 10.0 * std::log10(kQuietEnergy);
  current_ = LineEvent::Quiet;
  currentSince_ = 0;
}

LineEventDetector::FrameClass LineEventDetector::classify(const std::int16_t* frame) {
  return analyse(frame).cls;
}

void LineEventDetector::process(const std::int16_t* samples, std::size_t count) {
  while (count > 0) {
    const std::size_t take = std::min(count, partial_.size() - partialLength_);
    std::copy(samples, samples + take, partial_.begin() + partialLength_);
    partialLength_ += take;
    samples += take;
    count -= take;
    samplesHeard_ += static_cast<std::int64_t>(take);
    if (partialLength_ == partial_.size()) {
      partialLength_ = 0;
      const Analysis a = analyse(partial_.data());
      frame(a.cls, a.energy, a.lean425);
    }
  }
}

void LineEventDetector::frame(FrameClass cls, double energy, double lean425) {
  noteEnergy(energy);
  const bool runClosed = addToSegments(cls);
  // The single tone in progress: frames of it since the line last carried
  // something else (a hiccup frame does not start it afresh).
  if (cls == FrameClass::Single) {
    singleLean_ += lean425;
    ++singleFrames_;
  } else if (run_.cls != FrameClass::Single) {
    singleLean_ = 0.0;
    singleFrames_ = 0;
  }
  if (run_.cls == FrameClass::Tdd && run_.frames >= kTddFrames) {
    // Someone answered with a TDD, or a TDD is talking: nothing to name.
    forgetTones();
    forgetVoice();
    setCurrent(LineEvent::Quiet);
    return;
  }
  followTones(runClosed);
  followVoice(cls, energy);
}

void LineEventDetector::noteEnergy(double energy) {
  energies_[energyNext_] = energy;
  energyNext_ = (energyNext_ + 1) % kFloorFrames;
  energyCount_ = std::min(energyCount_ + 1, kFloorFrames);
  floor_ = *std::min_element(energies_.begin(), energies_.begin() + energyCount_);

  const double db = 10.0 * std::log10(std::max(energy, kQuietEnergy));
  const double change = std::min(std::abs(db - lastDb_), kLargestChangeDb);
  lastDb_ = db;
  changeSum_ += change - changes_[changeNext_];
  changes_[changeNext_] = change;
  changeNext_ = (changeNext_ + 1) % kVoiceWindowFrames;
}

bool LineEventDetector::addToSegments(FrameClass cls) {
  if (cls == run_.cls) {
    run_.frames += 1 + pendingFrames_;  // a hiccup joins the run it interrupted
    pendingFrames_ = 0;
    return false;
  }
  if (pendingFrames_ > 0 && cls == pendingClass_) {
    previous_ = run_;
    run_ = {cls, pendingFrames_ + 1};
    pendingFrames_ = 0;
    return true;
  }
  run_.frames += pendingFrames_;
  pendingClass_ = cls;
  pendingFrames_ = 1;
  return false;
}

void LineEventDetector::followTones(bool runClosed) {
  if (activeCadence_ >= 0) {
    const Cadence& c = kCadences[activeCadence_];
    bool holds;
    if (run_.cls == c.on)
      holds = run_.frames <= c.onMax;
    else if (isOff(run_.cls))
      holds = !c.continuous && run_.frames <= c.offMax;
    else
      holds = false;
    if (holds && runClosed)
      holds = previous_.cls == c.on ? previous_.frames >= c.onMin : previous_.frames >= c.offMin;
    if (!holds) {
      activeCadence_ = -1;
      setCurrent(LineEvent::Quiet);
    }
  }
  if (activeCadence_ >= 0) return;
  for (int i = 0; i < int(std::size(kCadences)); ++i) {
    const Cadence& c = kCadences[i];
    const bool pitchFits = !c.only425 || singleLean_ >= kMinLean425 * singleFrames_;
    const bool starts = c.continuous
                            ? run_.cls == c.on && run_.frames >= c.onMin && pitchFits
                            : isOff(run_.cls) && run_.frames >= c.offMin &&
                                  run_.frames <= c.offMax && previous_.cls == c.on &&
                                  previous_.frames >= c.onMin && previous_.frames <= c.onMax;
    if (starts) {
      activeCadence_ = i;
      forgetVoice();
      setCurrent(c.event);
      return;
    }
  }
}

void LineEventDetector::followVoice(FrameClass cls, double energy) {
  const bool speech = cls == FrameClass::Other && energy >= kSpeechOverFloor * floor_;

  speechLikeCount_ += int(speech) - int(speechLike_[speechLikeNext_]);
  speechLike_[speechLikeNext_] = speech;
  speechLikeNext_ = (speechLikeNext_ + 1) % kVoiceWindowFrames;
  framesSinceSpeech_ = speech ? 0 : framesSinceSpeech_ + 1;

  const double meanChange = changeSum_ / kVoiceWindowFrames;
  if (!voice_ && speechLikeCount_ >= kVoiceStartFrames && meanChange >= kSpeechChangeDb) {
    voice_ = true;
    forgetTones();
    setCurrent(LineEvent::Voice);
  } else if (voice_ && framesSinceSpeech_ >= kVoiceEndFrames) {
    voice_ = false;
    setCurrent(LineEvent::Quiet);
  }
}

void LineEventDetector::setCurrent(LineEvent e) {
  if (e == current_) return;
  current_ = e;
  currentSince_ = samplesHeard_;
}

void LineEventDetector::forgetTones() {
  activeCadence_ = -1;
  previous_ = {};
}

void LineEventDetector::forgetVoice() {
  voice_ = false;
  speechLike_.fill(false);
  speechLikeNext_ = 0;
  speechLikeCount_ = 0;
  framesSinceSpeech_ = 0;
}

}  // namespace quelto
