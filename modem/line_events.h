// What the line is doing when no TDD is talking: dial tone, ringing
// (ringback), busy, reorder (fast busy) or a voice, told to a user who cannot
// hear them.
//
// Input: signed 16-bit samples at 8000 per second, in blocks of any length
// (the modem thread gives it every block it listens to). Time is counted in
// samples from construction or the last reset().
//
// How it listens. The input is cut into frames of 256 samples (32 ms). Each
// frame's energy and its share in the call-progress tones (350, 425, 440,
// 480, 620 Hz) and the TDD tones (1400, 1800 Hz) put it in one class: quiet,
// a dial-tone pair (350+440), a ringback pair (440+480), a busy pair
// (480+620), a single 425-440 Hz tone (the European and French tones), a TDD
// tone, or other sound. Runs of one class make segments (a single odd frame
// is a hiccup and joins the run it interrupts), and the segments are matched
// against the cadences:
//   - dial tone: 350+440 Hz for 0.5 s, a single 425 Hz tone for 1.3 s
//     (European ringing is on for 1 s), or a single 440 Hz tone for 1.7 s
//     (French ringing is 440 Hz for 1.5 s, so France's dial tone cannot be
//     told from it sooner); the two single tones are told apart by the
//     share of the 425 and 440 Hz bins over the whole tone;
//   - ringing: 440+480 Hz on 1.6-2.4 s, off 3.2-4.8 s (2 s / 4 s), or a
//     single tone on 0.8-1.7 s, off 2.8-4.5 s (1 s / 4 s, France 1.5 / 3.5);
//   - busy: 480+620 Hz or a single tone, on and off 0.4-0.65 s each;
//   - reorder: 480+620 Hz, on and off 0.18-0.33 s each.
// A cadenced tone is named once one burst and the least silence after it
// have been heard (within one cycle) and lasts while the cadence holds.
//
// Voice is sound that is neither a monitored tone nor a TDD tone and stands
// at least 6 dB above the quietest frame of the last 3 s (so steady line
// noise is not a voice): ten such frames within 1 s, while the level rises
// and falls as speech does (noise that has just come on does not), start it;
// 2 s without one end it.
//
// A TDD signal (1400/1800 Hz) is never an event: 96 ms of it ends whatever
// event was shown (someone answered) and nothing starts while it lasts.
//
// The newest evidence wins: a voice ends a tone event and a tone event ends
// a voice. Tones are recognised from -40 to -3 dBFS per tone (RMS, relative
// to a full-scale sine); anything below -55 dBFS is quiet.
//
// A plain object: no thread, device or clock inside. One thread owns it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quelto {

// The values are published as one byte between threads; keep them stable.
enum class LineEvent : std::uint8_t {
  Quiet = 0,  // the line carries nothing recognised (silence, noise, a TDD)
  DialTone = 1,
  Ringing = 2,
  Busy = 3,
  Reorder = 4,
  Voice = 5,
};

class LineEventDetector {
 public:
  static constexpr int kRate = 8000;
  static constexpr int kFrameLength = 256;  // samples per analysed frame (32 ms)

  // The class of one frame; public so tests and the benchmark can show why
  // a recording was read the way it was.
  enum class FrameClass : std::uint8_t {
    Quiet,
    Other,     // sound that is no monitored tone: speech, noise, music
    DialPair,  // 350 + 440 Hz
    RingPair,  // 440 + 480 Hz
    BusyPair,  // 480 + 620 Hz
    Single,    // one tone of 425-440 Hz
    Tdd,       // 1400 / 1800 Hz
  };

  LineEventDetector();
  // Forgets everything heard: no event, sample count 0.
  void reset();

  // Listens to samples[0..count). Any count >= 0; a frame may span blocks.
  void process(const std::int16_t* samples, std::size_t count);

  // The event the line carries now, and the sample count (since
  // construction or reset) of the frame end at which it was recognised.
  LineEvent current() const { return current_; }
  std::int64_t currentSince() const { return currentSince_; }
  // Samples listened to so far.
  std::int64_t samplesHeard() const { return samplesHeard_; }

  // The class of a frame of kFrameLength samples; exposed for tests.
  static FrameClass classify(const std::int16_t* frame);

 private:
  struct Segment {
    FrameClass cls = FrameClass::Quiet;
    int frames = 0;
  };

  // lean425: for a single tone, its 425 Hz share less its 440 Hz share.
  void frame(FrameClass cls, double energy, double lean425);
  // Returns true when the frame closed the run in progress.
  bool addToSegments(FrameClass cls);
  void followTones(bool runClosed);
  void noteEnergy(double energy);
  void followVoice(FrameClass cls, double energy);
  void setCurrent(LineEvent e);
  void forgetTones();
  void forgetVoice();

  std::array<std::int16_t, kFrameLength> partial_{};
  std::size_t partialLength_ = 0;
  std::int64_t samplesHeard_ = 0;

  // Segments: the run in progress, the last finished one, and frames of a
  // different class that have not yet lasted long enough to start a run.
  Segment run_;
  Segment previous_;
  FrameClass pendingClass_ = FrameClass::Quiet;
  int pendingFrames_ = 0;
  int activeCadence_ = -1;  // index of the cadence being followed, -1 none
  // The single tone in progress: the sum of its frames' lean to 425 Hz and
  // their count, which tell the European tone from France's.
  double singleLean_ = 0.0;
  int singleFrames_ = 0;

  // Voice: the energies of the last 3 s of frames (the noise floor is their
  // least), the level changes between frames over the last 1 s, which of
  // the last 1 s of frames sounded like speech, and the frames since the
  // last one that did.
  static constexpr int kFloorFrames = 94;
  static constexpr int kVoiceWindowFrames = 31;
  std::array<double, kFloorFrames> energies_{};
  int energyCount_ = 0;
  int energyNext_ = 0;
  double floor_ = 0.0;
  std::array<double, kVoiceWindowFrames> changes_{};
  int changeNext_ = 0;
  double changeSum_ = 0.0;
  double lastDb_ = 0.0;
  std::array<bool, kVoiceWindowFrames> speechLike_{};
  int speechLikeNext_ = 0;
  int speechLikeCount_ = 0;
  int framesSinceSpeech_ = 0;
  bool voice_ = false;

  LineEvent current_ = LineEvent::Quiet;
  std::int64_t currentSince_ = 0;
};

}  // namespace quelto
