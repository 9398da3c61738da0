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

#include <algorithm>
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
// Robust is the default: on every row of modem_bench's receiver table it
// reads at least as well as classic (clean signals exactly, no character
// from a line without a TDD), and it reads the peers exactly, clean and at
// 12 dB.
constexpr ReceiverKind kDefaultReceiver = ReceiverKind::Robust;

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

  // The tone purity a frame needs to be read at `baud`, from the classic
  // receiver's detection threshold T (FskModem::threshold). Purity is the
  // share of the input energy over a frame that lies in the keyed tone of
  // each bit: 1 for a clean signal, about 0.2 at -6 dB SNR (tone power over
  // noise power in 0-4 kHz), 0.12 at -9 dB, 0.07 at -12 dB, about 0.017 on
  // average for white noise. At least three bits of a frame must also
  // reach it on their own. T keeps its meaning (lower: weaker signals read, more risk
  // from noise):
  //  - up to 70, through the profile sensitivity S = (70 - T) / 0.4 that
  //    it stands for: purity = 0.16 x 0.97^S, about 0.064 at the default
  //    S = 30 (T = 58), 0.16 at S = 0; thresholds under 30 (S over 100)
  //    keep falling the same way;
  //  - from 70 up to a clean tone's normalised power P (484 at 45.45 baud,
  //    400 at 50), rising in a straight line from 0.16 to 1;
  //  - at P and above, infinite: no frame is read, as the classic receiver
  //    reads no tone from a threshold that no tone reaches.
  // Once locked to the beat of a transmission, frames on the beat need half
  // of this purity.
  static double purityForThreshold(double threshold, BaudRate baud);

 private:
  // Sums over one slice (a sixteenth of a bit) of the input mixed down
  // with each tone, of its energy and of the energy of its steps.
  struct Slice {
    float markI = 0.0f, markQ = 0.0f, spaceI = 0.0f, spaceQ = 0.0f, energy = 0.0f, slope = 0.0f;
  };
  // The same sums over the last bit.
  struct Sums {
    double markI = 0.0, markQ = 0.0, spaceI = 0.0, spaceQ = 0.0, energy = 0.0, slope = 0.0;
    void operator+=(const Slice& s) {
      markI += s.markI, markQ += s.markQ, spaceI += s.spaceI, spaceQ += s.spaceQ;
      energy += s.energy, slope += s.slope;
    }
    void operator-=(const Slice& s) {
      markI -= s.markI, markQ -= s.markQ, spaceI -= s.spaceI, spaceQ -= s.spaceQ;
      energy -= s.energy, slope -= s.slope;
    }
  };
  struct Window {  // the bit-long window that ends with one slice
    float mark = 0.0f, space = 0.0f, energy = 0.0f, slope = 0.0f;
    // The energy that neither tone's correlation explains: noise, mostly.
    double unexplained() const {
      return std::max(0.0, static_cast<double>(energy) - mark - space);
    }
  };
  struct Frame {
    bool valid = false;
    double score = 0.0;     // how well the windows fit the bits, for the search
    double evidence = 0.0;  // tone contrast over the noise: fits compared on and off the beat
  };
  // How a candidate frame is judged: found by the search, or read locked to
  // a transmission's beat, within a few slices of it or within one.
  enum class Fit { Search, NearBeat, OnBeat };

  void start(BaudRate baud);
  // Sums the four whole slices in block[0..4 * sliceLength_) and ends each
  // in turn; the slice in progress must be empty.
  void sumFourSlices(const int16_t* block);
  void endSlice();
  void commit();
  // The noise energy in one tone's bit window, from the energy that neither
  // tone's window explains (`residual`) summed over `windows` bit windows.
  double toneNoise(double residual, int windows) const;
  // The five data bits of the frame that starts at `candidate`, read with
  // the sender's phase (see 2. at the top of the .cpp file).
  int codeAt(std::int64_t candidate) const;
  Frame evaluate(std::int64_t candidate, Fit fit) const;
  // The sums of `count` slices from slice `first` on.
  Sums sumSlices(std::int64_t first, int count) const;
  // Whether the start bit at `candidate` holds more space than mark after
  // its first kEdgeSlices slices.
  bool spaceAfterEdge(std::int64_t candidate) const;
  // The search's next candidate.
  void consider(std::int64_t candidate);
  // Locked: reads the frame the beat puts at `predicted`; false when there
  // is none there (the search then takes over).
  bool readOnBeat(std::int64_t predicted);
  // Reads the frame at `start` and hands its character on.
  void deliver(std::int64_t start);
  const Window& windowEndingAt(std::int64_t slice) const { return windows_[slice & kHistoryMask]; }

  static constexpr int kSlicesPerBit = 16;
  // Slices kept: more than a frame and the bit before it.
  static constexpr int kHistory = 256;
  static constexpr int kHistoryMask = kHistory - 1;
  static_assert(kHistory > 9 * kSlicesPerBit && (kHistory & kHistoryMask) == 0,
                "the history holds a whole frame and is a power of two");

  FskModem& modem_;
  BaudRate baud_ = BaudRate::Baud45;
  int sliceLength_ = 0;  // samples per slice at 8000 samples/s
  double purity_ = 0.0;

  // The slice being summed, how many samples it holds and the sample
  // before it.
  Slice current_;
  int filled_ = 0;
  float previous_ = 0.0f;
  std::array<Slice, kHistory> slices_{};
  Sums window_;
  std::array<Window, kHistory> windows_{};
  std::int64_t sliceCount_ = 0;

  // Start-bit search, in slices: the best frame found since the first that
  // passed.
  bool searching_ = false;
  std::int64_t bestCandidate_ = 0;
  Frame best_;
  std::int64_t nextCandidate_ = 0;  // no frame starts before this slice
  std::int64_t lastStart_ = 0;      // where the last frame delivered started
  double beat_ = 0.0;               // where the transmission's beat put it
  double period_ = 0.0;             // slices from frame to frame on the beat; 0 if unknown
  bool locked_ = false;             // frames are read where the beat puts them

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
