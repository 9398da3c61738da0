// The "robust" receiver: a second Baudot FSK demodulator beside the classic
// one in FskModem, built to read weak, noisy and codec-distorted signals
// without inventing characters from noise, speech or call-progress tones.
// How it works is explained at the top of robust_receiver.cpp.
//
// Both receivers read the same 8000 samples/s blocks (receiveBlockLength of
// the baud selector) and hand what they frame to the FskModem's character
// rules: its shift state, carriage return dropped, line feed as a space, a
// second character of a block left in its pending slot. The modem thread
// and the command-line tool use them through Receiver, which holds the
// chosen one.
//
// Plain objects over sample buffers: no thread, device or clock inside; one
// thread owns each object.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modem/fsk_modem.h"

namespace quelto {

// Which demodulator reads the line: "classic" is the FskModem's own
// (sub-window decisions and the framing ring, kept bit-exact), "robust" the
// one below.
enum class ReceiverKind { Classic, Robust };
// Classic stays the default until robust is at least as good everywhere:
// robust still reads a false character from the noise before a
// transmission at 12 dB (the two-modem line test at 45.45 baud), and falls
// short of the -9 dB and codec targets.
constexpr ReceiverKind kDefaultReceiver = ReceiverKind::Classic;

// The setting's and the command line's names, "classic" and "robust".
const char* receiverName(ReceiverKind kind);
// The kind a name stands for (exact, lower case); none for anything else.
std::optional<ReceiverKind> receiverKindFromName(const std::string& name);

class RobustReceiver {
 public:
  // Reads `modem`'s baud selector and detection threshold at every block
  // and delivers through its character rules; `modem` must outlive this.
  explicit RobustReceiver(FskModem& modem);

  // Demodulates block[0..n) (n >= 0, normally receiveBlockLength() of the
  // modem's baud selector; the stream of blocks is treated as continuous).
  // Returns the first character completed in the block and leaves a second
  // one in the modem's pending slot, as FskModem::demodulateBlock does.
  // A character is delivered about one bit after its first stop bit ends.
  std::optional<unsigned char> demodulateBlock(const int16_t* block, int n);

  // Largest |sample| / 256 in the last eighth of a bit of the last block,
  // 0..128: the level meter's and the signal indicator's 8-bit scale.
  double peak() const { return peak_; }

  // Forgets the signal heard so far (a frame in progress is dropped).
  void reset();

  // The tone purity a frame needs to be read, from the profile sensitivity
  // S (0..100) that the detection threshold T = 70 - 0.4 S stands for:
  // purity = 0.16 x 0.97^S, about 0.064 at the default S = 30. Purity is
  // the share of the input energy over a whole frame that lies in the
  // keyed tone of each bit: 1 for a clean signal, about 0.2 at -6 dB SNR
  // (tone power over noise power in 0-4 kHz), 0.12 at -9 dB, 0.07 at
  // -12 dB, and about 0.017 on average for white noise. A higher
  // sensitivity reads weaker signals and lets more noise through.
  static double purityForThreshold(double threshold);

 private:
  struct Window {  // the bit-long window that ends at one sample
    float mark = 0.0f, space = 0.0f, energy = 0.0f, slope = 0.0f;
  };
  struct Frame {
    bool valid = false;
    double score = 0.0;
    int code = 0;
  };

  void start(BaudRate baud);
  void push(int sample);
  void commit();
  Frame evaluate(std::int64_t candidate) const;
  const Window& windowEndingAt(std::int64_t n) const { return windows_[n & kHistoryMask]; }

  // Windows kept: more than a frame and the bit before it at the slower speed.
  static constexpr int kHistory = 2048;
  static constexpr int kHistoryMask = kHistory - 1;
  static_assert(kHistory > 8 * receiveBitLength(BaudRate::Baud45) && (kHistory & kHistoryMask) == 0,
                "the window history holds a whole frame and is a power of two");

  FskModem& modem_;
  BaudRate baud_ = BaudRate::Baud45;
  int bitLength_ = 0;  // samples per bit at 8000 samples/s
  double purity_ = 0.0;

  // Sliding one-bit correlators with both tones: the mixed samples of the
  // last bit and their running sums.
  struct Mixed {
    double markI, markQ, spaceI, spaceQ, energy, slope;
  };
  std::vector<Mixed> bit_;
  Mixed sum_{};
  std::array<Window, kHistory> windows_{};
  std::int64_t sampleCount_ = 0;
  double previous_ = 0.0;

  // Start-bit search: the best frame found since the first that passed.
  bool searching_ = false;
  std::int64_t bestCandidate_ = 0;
  Frame best_;
  std::int64_t nextCandidate_ = 0;  // no frame starts before this sample
  std::int64_t lastStart_ = 0;      // where the last frame delivered started

  std::optional<unsigned char> first_;  // the current block's first character
  double peak_ = 0.0;
};

// The receive path the modem thread and the command-line tool run: the
// chosen demodulator over an FskModem (its baud selector, threshold, shift
// state and pending slot). `modem` must outlive this object.
class Receiver {
 public:
  Receiver(FskModem& modem, ReceiverKind kind);
  ReceiverKind kind() const { return kind_; }
  FskModem& modem() { return modem_; }
  // Samples per block at the modem's baud selector.
  int blockLength() const { return modem_.receiveBlockLength(); }
  // As FskModem::demodulateBlock: the first character of the block, a
  // second one in the pending slot (takePending).
  std::optional<unsigned char> demodulateBlock(const int16_t* block, int n);
  std::optional<unsigned char> takePending() { return modem_.takePending(); }
  // The last block's input peak, 0..128.
  double peak() const;

 private:
  FskModem& modem_;
  ReceiverKind kind_;
  std::optional<RobustReceiver> robust_;
};

}  // namespace quelto
