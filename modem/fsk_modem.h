// The Baudot FSK modem's signal processing: receiver (demodulator and
// character framing), transmitter (ready-made character waveforms) and the
// DTMF dial tones.
//
// Tones: mark (1 bits, stop bits) 1400 Hz, space (0 bits, start bit) 1800 Hz.
// Receive samples are signed 16-bit PCM, mono, 0 = zero level; everything
// rendered for the line is 8-bit unsigned PCM, mono, 128 = zero level. Time
// is counted in samples:
//   - receive input is 8000 samples/s;
//   - text output is 22050 samples/s;
//   - dial tones are 8000 samples/s.
//
// An FskModem is a plain object with no thread, device or clock inside. One
// thread owns it (the modem thread in the program, a loop over a file in the
// command-line tool); it is not safe to share between threads. The character
// waveforms, the dial tones and the demodulator's reference tables are built
// once per process, on first use, and shared read-only by every FskModem, so
// a modem that only receives never pays for the sending tables. A program
// that sends calls characterWaveforms() and dialTones() once at start-up, so
// that no send or dial pass pays for building them (about 2 ms and 1 ms of
// sines).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modem/baudot.h"

namespace quelto {

// The two line speeds: 45.45 baud (the usual one) and 50 baud.
enum class BaudRate : std::uint8_t { Baud45, Baud50 };

// A profile stores the speed as 1 (45.45 baud) or 2 (50 baud); any other
// stored value has always meant 50 baud.
constexpr BaudRate baudRateFromStored(int stored) {
  return stored == 1 ? BaudRate::Baud45 : BaudRate::Baud50;
}
constexpr int storedBaudRate(BaudRate baud) {
  return baud == BaudRate::Baud45 ? 1 : 2;
}

constexpr int kReceiveRate = 8000;      // samples/s of every receive block
constexpr int kTextOutputRate = 22050;  // samples/s of rendered characters
constexpr int kDialRate = 8000;         // samples/s of dial tones

// Receive timing: every block is 64 sub-windows of one eighth of a bit.
constexpr int kSubWindowsPerBlock = 64;
constexpr int subWindowLength(BaudRate baud) {
  return baud == BaudRate::Baud45 ? 22 : 20;
}
// Samples per receive block: 1408 (176 ms) at 45.45 baud, 1280 (160 ms) at 50.
constexpr int receiveBlockLength(BaudRate baud) {
  return kSubWindowsPerBlock * subWindowLength(baud);
}
constexpr int kMaxReceiveBlockLength = 1408;
// Samples per bit at the receive rate: 176 at 45.45 baud, 160 at 50.
constexpr int kSubWindowsPerBit = 8;
constexpr int receiveBitLength(BaudRate baud) {
  return kSubWindowsPerBit * subWindowLength(baud);
}

// Transmit timing at 22050 samples/s: start bit, five data bits, two stop
// bits. 485 samples per bit (3880 per character, 175.96 ms) at 45.45 baud,
// 441 (3528, 160 ms) at 50 baud.
constexpr int samplesPerTransmitBit(BaudRate baud) {
  return baud == BaudRate::Baud45 ? 485 : 441;
}
constexpr int characterWaveformLength(BaudRate baud) {
  return 8 * samplesPerTransmitBit(baud);
}
constexpr int kMaxCharacterWaveformLength = 3880;

// One send pass renders at most 8 characters, each with a shift code in
// front at most: 8 x 2 x 3880 = 62080 samples, so a batch buffer of
// kBatchBufferSize bytes always holds a whole batch.
constexpr int kBatchMaxChars = 8;
constexpr int kBatchBufferSize = 65536;
// Silence the output stream plays after every block it is given (186 ms).
constexpr int kOutputTrailerSamples = 4096;

// A held-carrier transmission at 22050 samples/s: 150 ms of mark before the
// first character, so that a receiver that starts from silence has settled
// before the start bit, and 300 ms of mark after the last, so that text
// typed a moment later continues the same transmission.
constexpr int kLeadInSamples = 3308;
constexpr int kHoldSamples = 6615;

// Dial tones at 8000 samples/s: 2400 samples (300 ms) of tone, then 2400 of
// silence, per key; a "," is a pause of 500 ms (4000 samples).
constexpr int kDialToneSamples = 2400;
constexpr int kDialGapSamples = 2400;
constexpr int kDialKeySamples = kDialToneSamples + kDialGapSamples;
constexpr int kDialKeyCount = 12;  // 0-9, *, #
constexpr int kDialPauseMs = 500;
constexpr int kDialPauseSamples = kDialRate * kDialPauseMs / 1000;

// A read-only view of samples owned by someone else (see each function for
// whose, and for how long the view stays valid). Empty: data null, length 0.
struct SampleSpan {
  const uint8_t* data = nullptr;
  int length = 0;
  bool empty() const { return length == 0; }
};

// The framing rules of the receiver, read once at start-up from the
// settings "StartBitThreshold", "StopBitThreshold" and "RestartCount".
// Out-of-range values are used as given: a start threshold of 0 or more
// lets every start slot pass; a stop threshold above 16 rejects every frame;
// a restart count is clamped to 0..64 since it is a ring count.
struct FramingConfig {
  // The number of space decisions in the 8-decision start slot, negated,
  // must not exceed this (-7: at least 7 of 8).
  int startBitThreshold = -7;
  // At least this many mark decisions among the 16 newest.
  int stopBitThreshold = 12;
  // Ring count after a decoded frame; the next test comes 64 - this many
  // decisions later.
  int restartCount = 6;
};

// The normalised tone powers of one receive sub-window of `length` samples
// (1..22; longer windows are cut to 22). Each power is the squared
// correlation with the tone divided by the sub-window's own mean energy, so
// it does not depend on the input level: a clean tone of the tested
// frequency gives about length^2 (484 over 22 samples), whatever its
// amplitude and phase. Samples count in units of the 8-bit scale (sample /
// 256), so input widened from 8 bits gives exactly the figures of an 8-bit
// receiver, and finer input keeps its fractions. A sub-window of pure 0 has
// no energy: both powers are 0 and `silent` is true.
struct TonePowers {
  double space = 0.0;  // 1800 Hz
  double mark = 0.0;   // 1400 Hz
  double peak = 0.0;   // largest |sample| / 256, 0..128
  bool silent = true;
};
TonePowers measureSubWindow(const int16_t* samples, int length);

// The 32 character waveforms of each baud rate at 22050 samples/s, every one
// starting at phase 0: sample = trunc(125 sin phi) + 128, phase continuous
// across the bits of one character.
struct CharacterWaveforms {
  std::array<std::array<uint8_t, 3880>, 32> baud45;  // 3880 samples each
  std::array<std::array<uint8_t, 3528>, 32> baud50;  // 3528 samples each
  // The waveform of code 0-31 at a baud rate; valid as long as this object.
  SampleSpan of(BaudRate baud, int code) const;
};
// Builds both sets (about 237 KB). FskModem uses one process-wide copy built
// on first use (characterWaveforms()); this is exposed for that copy and tests.
CharacterWaveforms buildCharacterWaveforms();
// The process-wide waveforms, built on the first call (thread-safe).
const CharacterWaveforms& characterWaveforms();

// The twelve DTMF keys at 8000 samples/s, in key order 0-9, *, #: each is
// 2400 samples of tone, trunc(42 sin(2 pi low k / 8000) + 128 +
// 48 sin(2 pi high k / 8000)), then 2400 samples of 128. The high group is
// 1.2 dB louder than the low one, as telephones send it (exchanges and
// detectors expect the high group level or a little above; a high group
// 6 dB below is at the edge of what they accept); together the two tones
// peak at 90, so the key is as loud as ever.
constexpr double kDialLowAmplitude = 42.0;
constexpr double kDialHighAmplitude = 48.0;
struct DialTones {
  std::vector<uint8_t> samples;  // kDialKeyCount * kDialKeySamples bytes
  // The key's slice (tone then gap, 4800 samples) for "0"-"9", "*", "#";
  // empty for any other character. Valid as long as this object.
  SampleSpan keyFor(char ch) const;
};
DialTones buildDialTones();
// The process-wide dial tones, built on the first call (thread-safe).
const DialTones& dialTones();

// One step of a dial pass: play a key's samples at 8000 samples/s, or pause.
struct DialStep {
  enum class Kind { Key, Pause };
  Kind kind = Kind::Key;
  char key = 0;        // the key character for Kind::Key
  SampleSpan samples;  // Kind::Key: the key's 4800 samples (tone, gap)
  int pauseMs = 0;     // Kind::Pause: kDialPauseMs
};

class FskModem {
 public:
  // 45.45 baud, threshold 40, shift LTRS, empty framing ring, peak 0.
  explicit FskModem(FramingConfig framing = FramingConfig{});

  // --- Shift state (shared by both directions) ---
  ShiftState shift() const { return shift_; }
  // Forces the page (forceFigures / forceLetters); value FIGS or LTRS.
  void setShift(ShiftState s) { shift_ = s; }

  // --- Line parameters ---
  BaudRate baud() const { return baud_; }
  // A change of rate empties the framing ring.
  void setBaud(BaudRate baud);
  // Detection threshold T on the normalised tone powers (about 484 for a
  // clean tone at 45.45 baud, 400 at 50). A profile sensitivity S in
  // 0..100 maps to T = 50 - (S * 0.4 - 20); S = 30 gives 58.
  double threshold() const { return threshold_; }
  void setThreshold(double t) { threshold_ = t; }
  // The decision for one sub-window: +1 (mark) or -1 (space) when either
  // power exceeds the threshold, the stronger tone winning and ties going
  // to mark; 0 (no tone) otherwise.
  int decisionFor(const TonePowers& powers) const;
  static double thresholdForSensitivity(double sensitivity) {
    return 50.0 - (sensitivity * 0.4 - 20.0);
  }
  const FramingConfig& framing() const { return framing_; }
  // Receive unshift-on-space: a received space puts the receive page back
  // to letters, as many senders expect. Off by default.
  void setUnshiftOnSpace(bool on) { unshiftOnSpace_ = on; }
  bool unshiftOnSpace() const { return unshiftOnSpace_; }

  // --- Receive ---
  // Samples per block at the current baud rate (1408 or 1280).
  int receiveBlockLength() const { return quelto::receiveBlockLength(baud_); }
  // Demodulates block[0..n) (n normally receiveBlockLength(); any n >= 0
  // is safe: it is walked as n / L whole sub-windows of L samples, a tail
  // shorter than L is ignored). Each sub-window gives one decision that
  // goes through pushDecision. Returns the first character completed in
  // the block, with carriage return dropped and line feed turned into a
  // space; a second one is left in the pending slot (a third would replace
  // it). Afterwards peak() holds the last sub-window's peak. The block is
  // only read during the call.
  std::optional<unsigned char> demodulateBlock(const int16_t* block, int n);
  // Feeds one decision (-1 space, 0 no tone, +1 mark) into the framing
  // ring; returns the decoded character (raw, as decodeCode gives it) when
  // a well-formed frame completes.
  std::optional<unsigned char> pushDecision(int decision);
  // Empties the framing ring.
  void resetFraming();
  // The character rules every receiver shares. receiveCode: the character
  // a framed code stands for on the current page (decodeCode, which
  // updates the shift state). keepReceived: a received character of the
  // block being demodulated, carriage return dropped and line feed turned
  // into a space; the block's first one goes to `first`, a later one to
  // the pending slot (replacing what it held).
  std::optional<unsigned char> receiveCode(int code);
  void keepReceived(unsigned char ch, std::optional<unsigned char>& first);
  // The character left by the last demodulateBlock after its result, or 0
  // when the slot is empty.
  unsigned char pending() const { return pending_; }
  // Returns the pending character, if any, and empties the slot.
  std::optional<unsigned char> takePending();
  // Largest |sample| / 256 in the last sub-window demodulated, 0..128: the
  // 8-bit scale of the level meter and the signal indicator.
  double peak() const { return peak_; }

  // --- Transmit ---
  // Runs encodeChar on ch (updating the shift state) and copies into this
  // modem's transmit area the shift code's waveform (when one is needed)
  // followed by the character's, at the current baud rate. The span
  // points into this object and is valid until the next renderChar or
  // renderBatch; empty for a character without a code.
  SampleSpan renderChar(unsigned char ch);
  // Renders up to kBatchMaxChars characters (extra ones are ignored, and
  // so are characters without a code) back to back into out, which must
  // hold capacity >= kBatchBufferSize bytes; a smaller buffer gets only the
  // characters that fit whole. Returns the number of samples written (at
  // 22050/s). The output stream adds the 4096-sample trailer itself.
  int renderBatch(const unsigned char* chars, int count, uint8_t* out, int capacity);

  // --- Held-carrier transmission ---
  // One transmission is one unbroken tone: the phase runs on from bit to
  // bit and from character to character, with no silence anywhere.
  // beginTransmission restarts the phase at 0 and arranges that the first
  // character belonging to a page (letters or figures) is preceded by that
  // page's shift code even when the shift state already matches, so a far
  // end that lost a shift is back in step at every turn.
  void beginTransmission();
  // Appends `samples` of mark (1400 Hz) to `out`.
  void renderMark(int samples, std::vector<uint8_t>& out);
  // Appends the characters with their shift codes at the current baud
  // rate; a carriage return is followed by a line feed (Enter is CR LF),
  // each with its shift repetition. Characters without a code add nothing.
  void renderTransmitted(const unsigned char* chars, int count, std::vector<uint8_t>& out);

  // --- Dial ---
  // The key's slice of the process-wide dial tones (tone then gap, 4800
  // samples at 8000/s), valid for the life of the process; empty for
  // anything but "0"-"9", "*", "#".
  SampleSpan dialToneFor(char ch) const { return dialTones().keyFor(ch); }
  // The dial pass for a dial string, in order: a Key step per digit, "*"
  // or "#", a Pause step of kDialPauseMs per ","; every other character
  // (spaces, dashes, brackets, letters, ":", ";") is skipped. Key samples
  // point into the process-wide dial tones.
  std::vector<DialStep> dialPlan(const std::string& number) const;

 private:
  FramingConfig framing_;
  ShiftState shift_ = LTRS;
  BaudRate baud_ = BaudRate::Baud45;
  double threshold_ = 40.0;
  double peak_ = 0.0;
  unsigned char pending_ = 0;

  std::array<int8_t, 64> ring_{};
  int ringWrite_ = 0;
  int ringCount_ = 0;

  void renderCode(int code, std::vector<uint8_t>& out);
  void renderTone(int samples, bool mark, std::vector<uint8_t>& out);

  std::array<uint8_t, 2 * kMaxCharacterWaveformLength> transmit_{};
  bool unshiftOnSpace_ = false;
  double transmitPhase_ = 0.0;
  bool pageShiftDue_ = false;
};

}  // namespace quelto
