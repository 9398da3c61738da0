// How the robust receiver reads a Baudot FSK line.
//
// 1. Tone correlators matched to a whole bit. The input is mixed down with
//    both tones, 1400 Hz (mark) and 1800 Hz (space), and summed over slices
//    of a sixteenth of a bit (11 samples at 45.45 baud, 10 at 50). The
//    mixing phase runs on from slice to slice, so the sums of the last 16
//    slices are the correlations over the last bit; their squared
//    magnitudes are the tones' energies in that window, which does not
//    depend on the phase of the sender's tones or on phase jumps between
//    bits. A whole-bit window is the matched filter for a bit: it lets
//    through about 1/88 of white noise in 0-4 kHz, where the classic
//    receiver's eighth-bit windows let through 1/11. Bits are placed to a
//    sixteenth of a bit, which costs at most a few hundredths of a dB.
// 2. Decisions. Fits are weighed bit by bit: a bit leans to mark by the
//    difference of its windows' mark and space energy (its weight). A
//    frame's data bits are read with the sender's phase, as one of the 32
//    codes. A sender keys one oscillator from tone to tone without a jump
//    in its phase, so a bit's correlation with its tone keeps the phase of
//    the last bit of that tone, turned by the time spent on the other tone
//    in between: (1800 - 1400 Hz) x 176 samples is 8.8 turns a bit at
//    45.45 baud (a whole number, 8, at 50 baud). Under each code, the start
//    bit (space) and the first stop bit (mark) among them, the bits of each
//    tone, turned back by that much, add up to one correlation whose phase
//    is unknown but common: where the per-bit decision weighs a bit's
//    magnitude against noise of any phase, this weighs it against the
//    noise in the tone's phase only, and a bit is read against five or six
//    others. The code chosen is the most likely one for a tone of known
//    amplitude A and unknown phase in white noise of energy N in a tone's
//    window, whose log-likelihood is log I0(2 A |sum| / N) for each sum:
//    A^2 is the frame's mean stronger-tone energy less N, and N comes from
//    the energy that neither tone's window explains. A codec that rebuilds
//    the waveform, or a sender whose bits are a little long or short, may
//    not keep the phase across a change of tone, or at all, so each code's
//    likelihood mixes, half and half, that of a frame that kept its phase
//    and that of one that did not, in which each run of bits of one tone
//    kept it (nine parts in ten) or lost it at every bit, each bit then
//    with its own phase, which reads as the per-bit decision does. A data
//    bit whose tones differ by far more than the noise could explain is
//    taken as its windows read it, and only codes that differ in the other
//    bits are weighed, so a clean line costs no more than before. At -9 dB
//    (45.45 baud, the three peers' signals) this turns one frame in 85 read
//    with a wrong bit into about one in 700; a mobile codec's signal reads
//    as before.
// 3. Start-bit search, then sampling at bit centres. At every slice the
//    receiver asks whether a frame started one frame length ago: start bit
//    space, first stop bit mark, and the frame's tone purity (the share of
//    the input energy over the frame that lies in each bit's stronger tone)
//    at or above the gate. Among the candidate starts within 3/4 of a bit
//    of the first one that passes, it keeps the one where the windows fit
//    the bits best (the sum of the decision weights, plus the weight of mark
//    before the start bit, which rules out reading one bit late), reads
//    that frame's five data bits (2.), and hunts again from the
//    middle of its second stop bit, so senders with 1.5 or 2 stop bits both
//    read. A frame that starts on the beat of the one before (where its 1.5
//    or 2 stop bits end) is held to a looser start-bit test than one found
//    after a gap, so that a shift code, all mark but its start bit, is not
//    lost in noise and the words after it read in the right case. Frames
//    on the beat of a transmission are read where the beat, smoothed over
//    the frames before, and the frame's own best fit agree.
//    Locked reading: once two frames in a row fall on the beat at the same
//    period (7.5 or 8 bits), the receiver stops searching and reads each
//    next frame where the beat puts it, as a sender's clock does: a frame
//    within 3/16 of a bit of the beat needs a start bit and the presence
//    gate, not a stop bit, so noise costs a wrong bit rather than a lost
//    or misplaced character (one frame read a bit late used to garble the
//    characters after it too). A fit off the beat (up to 3/4 of a bit
//    late, or half a bit early) takes over when it carries clearly more
//    evidence, tone contrast over noise, than the fit on the beat: a key
//    typed after a pause in a held carrier starts anywhere. No start bit on
//    the beat ends the lock and the search takes over. Locked, a frame
//    needs only half of the presence gate below: at -12 dB, where the full
//    gate lost about 70 % of the characters, that keeps the lock and reads
//    most of them.
// 4. A signal-presence gate. The purity gate is what keeps noise, speech,
//    dial, ringing and busy tones and silence from framing characters: white
//    noise puts about 1/88 of its energy in each tone's window, a clean TDD
//    signal all of it. At least three bits of the frame must reach the gate
//    on their own, so that one loud bit where a transmission begins cannot
//    carry bits of noise before it. Each bit must also carry at least 3 % of
//    the frame's mean energy, each bit after the start bit 3 % of its mean
//    tone energy, and the first stop bit a fair share of the frame's weight,
//    so that a frame cannot hang from the edge of a transmission over a
//    quiet or a noisy line. The detection threshold (and so the profile
//    sensitivity) sets the gate (purityForThreshold); the input level never
//    matters, digital silence frames nothing.
// 5. Characters go through the FskModem's rules (shift state, carriage
//    return, line feed, the pending slot), exactly as the classic
//    receiver's.
//
// Cost per sample: four multiplications to mix and two to sum energies, in
// single precision, for four slices at once where a block holds them whole
// (one slice per lane of a vector, each summed in the same order as alone,
// so the bits are the same); per slice, the sums of 16 slices, two squared
// magnitudes and, while hunting, a look at eight stored windows; per frame
// read, the 32 codes' likelihoods.
#include "modem/robust_receiver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace quelto {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMarkHz = 1400;
constexpr int kSpaceHz = 1800;
// 1400 Hz and 1800 Hz are 7/40 and 9/40 of 8000 Hz: both tones repeat
// every 40 samples, so one period of each is a complete mixing table.
constexpr int kTonePeriod = kReceiveRate / 200;
static_assert(kMarkHz * kTonePeriod % kReceiveRate == 0 &&
                  kSpaceHz * kTonePeriod % kReceiveRate == 0,
              "both tones complete whole cycles in one mixing period");

// Long enough to mix a whole slice from any phase without wrapping.
constexpr int kMaxSliceLength = 11;
constexpr int kTableLength = kTonePeriod + kMaxSliceLength;
static_assert(receiveBitLength(BaudRate::Baud45) / 16 <= kMaxSliceLength &&
                  receiveBitLength(BaudRate::Baud50) / 16 <= kMaxSliceLength,
              "a slice of either speed fits the tables");
struct MixingTables {
  float markCos[kTableLength], markSin[kTableLength];
  float spaceCos[kTableLength], spaceSin[kTableLength];
};

const MixingTables& mixingTables() {
  static const MixingTables tables = [] {
    MixingTables t{};
    for (int i = 0; i < kTableLength; ++i) {
      const double mark = 2.0 * kPi * kMarkHz * (i % kTonePeriod) / kReceiveRate;
      const double space = 2.0 * kPi * kSpaceHz * (i % kTonePeriod) / kReceiveRate;
      t.markCos[i] = static_cast<float>(std::cos(mark));
      t.markSin[i] = static_cast<float>(std::sin(mark));
      t.spaceCos[i] = static_cast<float>(std::cos(space));
      t.spaceSin[i] = static_cast<float>(std::sin(space));
    }
    return t;
  }();
  return tables;
}

// The same tones laid out for summing four consecutive slices side by side,
// one slice per lane: entry [k][g] is the value at sample k of slice g,
// slices counted from the last reset (where the mixing phase is 0) modulo
// the 40 slices after which a slice's phase repeats. The four slices
// g..g+3 (g < 40) read one row.
constexpr int kLanes = 4;
struct LaneTable {
  float markCos[kMaxSliceLength][kTonePeriod + kLanes - 1];
  float markSin[kMaxSliceLength][kTonePeriod + kLanes - 1];
  float spaceCos[kMaxSliceLength][kTonePeriod + kLanes - 1];
  float spaceSin[kMaxSliceLength][kTonePeriod + kLanes - 1];
};
struct LaneTables {
  LaneTable baud45, baud50;
  const LaneTable& of(BaudRate baud) const { return baud == BaudRate::Baud45 ? baud45 : baud50; }
};

const LaneTables& laneTables() {
  static const LaneTables tables = [] {
    const MixingTables& m = mixingTables();
    LaneTables lanes{};
    for (const BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
      LaneTable& t = baud == BaudRate::Baud45 ? lanes.baud45 : lanes.baud50;
      const int sliceLength = receiveBitLength(baud) / 16;
      for (int k = 0; k < sliceLength; ++k)
        for (int g = 0; g < kTonePeriod + kLanes - 1; ++g) {
          const int phase = (g * sliceLength + k) % kTonePeriod;
          t.markCos[k][g] = m.markCos[phase];
          t.markSin[k][g] = m.markSin[phase];
          t.spaceCos[k][g] = m.spaceCos[phase];
          t.spaceSin[k][g] = m.spaceSin[phase];
        }
    }
    return lanes;
  }();
  return tables;
}

// Four floats that the compiler keeps in one vector register (SSE, NEON):
// the sums of four slices advance together, each lane adding its samples in
// the same order as the one-slice loop, so both give the same bits.
// (A GCC and Clang extension.)
typedef float Lanes __attribute__((vector_size(kLanes * sizeof(float))));

Lanes loadLanes(const float* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

constexpr int kFrameBits = 7;  // start, five data bits, the first stop bit
// Bits of a frame that may fall short of the purity gate on their own.
constexpr int kWeakBitsAllowed = 4;
// Every bit of a frame holds at least this share of the frame's mean
// energy: no frame hangs from the edge of a transmission over a quiet line.
// Low, because a mobile codec can leave a start bit 12 dB below its
// neighbours.
constexpr double kMinBitEnergyShare = 0.03;
// A start bit's weight is at least this share of the frame's mean weight,
// and the bit before it is not space by more than half of the mean tone
// contrast: what a frame found one bit early or late looks like.
constexpr double kMinStartWeightShare = 0.15;
constexpr double kMaxSpaceBeforeShare = 0.5;
// The bit before a start bit holds a gap when its stronger tone is under
// this share of the frame's mean tone energy; a start bit after a gap must
// weigh this much of the frame's mean weight.
constexpr double kGapToneShare = 0.5;
constexpr double kMinStartWeightShareAfterGap = 0.8;
// Every bit after the start bit holds at least this share of the frame's
// mean tone energy in its stronger tone, and the first stop bit weighs at
// least this share of the frame's mean weight: a frame found at the end of
// a transmission, its last bits only line noise, is no frame. The start bit
// is spared the tone check, as a codec may leave it weak.
constexpr double kMinBitToneShare = 0.03;
constexpr double kMinStopWeightShare = 0.15;
// Energy added below each bit's own when weighing it, as a share of the
// frame's mean, so that a bit of near silence weighs little.
constexpr double kWeightEnergyFloor = 0.05;
// A frame that starts where the previous one's stop bits end (1.5 or 2
// stop bits after it, give or take a quarter bit) keeps the beat of a
// transmission in progress: its start bit needs only this share of the
// frame's mean weight, and the bit before it may lean to space by up to
// the mean tone contrast, so that a letters or figures shift (all mark but
// its start bit) is not lost in noise.
constexpr double kMinStartWeightShareOnBeat = 0.05;
constexpr double kMaxSpaceBeforeShareOnBeat = 1.0;
// Once a frame is found, later starts are looked at for this many slices
// after the best so far before it is delivered.
constexpr int kSearchSlices = 12;
// A frame within this many slices of where the beat puts it is on the
// beat; each one moves the beat by this share of its own offset.
constexpr double kMaxBeatSlip = 3.0;
constexpr double kBeatGain = 0.15;
// Two frames in a row within this many slices of the beat, at the same
// period, lock the receiver to the transmission's beat.
constexpr double kLockSlip = 2.0;
// Locked, the next frame is read within this many slices of where the beat
// puts it; a start bit that shows its space tone only after its first
// kEdgeSlices counts within one slice of it.
constexpr int kNearBeatSlices = 3;
constexpr int kEdgeSlices = 4;
// Locked, fits up to this many slices after the beat, and around half a
// bit before it (a sender with 1.5 stop bits where 2 were heard), are
// weighed against the fit on the beat.
constexpr int kOffBeatSlices = 12;
// How much more evidence (see Frame::evidence) a fit off the beat needs to
// take the frame from the beat: more when the best fit on the beat lies
// inside its window than when it lies at the edge towards the other.
constexpr double kRealignMargin = 20.0;
constexpr double kEdgeMargin = 15.0;
// Locked, a frame needs this share of the purity gate: the beat itself says
// a TDD is sending, and a frame where noise or speech follows the last
// character still finds no start bit in the noise or fails the share.
constexpr double kLockedPurityShare = 0.5;
// Keeps the evidence finite on a noiseless line.
constexpr double kTinyNoise = 1e-9;
// How likely a frame is to reach the receiver with the sender's phase kept
// from bit to bit of each tone, and, if not, each run of bits of one tone
// (see 2. at the top): most lines and senders keep it; a mobile codec that
// rebuilds the waveform does not, nor, across a change of tone, a sender
// whose bits are a little longer or shorter than ours.
constexpr double kFramePhaseKept = 0.5;
constexpr double kRunPhaseKept = 0.9;
// A data bit whose tones' log-likelihoods differ by this much is taken as
// its windows read it: the phase could only turn it with odds of e^-30 or
// so (reading with the phase changes a bit's log-likelihood by a few units
// beyond the per-bit decision's, and only by noise in the tone's phase).
constexpr double kCertainContrast = 30.0;
// The signal energy in a bit window is taken as at least this share of the
// noise's, so that a frame of little more than noise still weighs its bits.
constexpr double kMinSignalToNoise = 0.01;
// The frame's slope energy (of x[n] - x[n-1]) over its energy is at least
// this. A 1400 Hz tone gives 1.1, 1800 Hz 1.7, white noise 2; speech and
// call-progress tones, with their energy below 1 kHz, give well under 0.9
// even when a voice harmonic sits on a tone.
constexpr double kMinSlopeRatio = 0.9;

// log I0(y), the logarithm of the modified Bessel function of order 0, for
// y >= 0: the log-likelihood ratio of a tone of known amplitude and unknown
// phase against none. The polynomial approximations of Abramowitz and
// Stegun (9.8.1 and 9.8.2; relative error under 2e-7), in logarithms so
// that a noiseless line's huge arguments stay finite.
double logBesselI0(double y) {
  if (y < 3.75) {
    const double t = (y / 3.75) * (y / 3.75);
    return std::log1p(
        t *
        (3.5156229 +
         t * (3.0899424 + t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813))))));
  }
  const double t = 3.75 / y;
  return y - 0.5 * std::log(y) +
         std::log(
             0.39894228 +
             t * (0.01328592 +
                  t * (0.00225319 +
                       t * (-0.00157565 +
                            t * (0.00916281 +
                                 t * (-0.02057706 +
                                      t * (0.02635537 + t * (-0.01647633 + t * 0.00392377))))))));
}

// log(exp(a) + exp(b)) without overflow.
double logSumExp(double a, double b) {
  const double high = std::max(a, b);
  return high + std::log1p(std::exp(std::min(a, b) - high));
}


}  // namespace

const char* receiverName(ReceiverKind kind) {
  return kind == ReceiverKind::Classic ? "classic" : "robust";
}

std::optional<ReceiverKind> receiverKindFromName(const std::string& name) {
  if (name == "classic") return ReceiverKind::Classic;
  if (name == "robust") return ReceiverKind::Robust;
  return std::nullopt;
}

double RobustReceiver::purityForThreshold(double threshold, BaudRate baud) {
  constexpr double kTopOfSensitivity = 70.0;  // the threshold at sensitivity 0
  constexpr double kPurityAtTop = 0.16;
  const double clean = subWindowLength(baud) * subWindowLength(baud);
  if (threshold >= clean) return INFINITY;
  if (threshold > kTopOfSensitivity)
    return kPurityAtTop +
           (1.0 - kPurityAtTop) * (threshold - kTopOfSensitivity) / (clean - kTopOfSensitivity);
  const double sensitivity = (kTopOfSensitivity - threshold) / 0.4;
  return kPurityAtTop * std::pow(0.97, sensitivity);
}

RobustReceiver::RobustReceiver(FskModem& modem) : modem_(modem) {
  laneTables();
  start(modem_.baud());
}

void RobustReceiver::start(BaudRate baud) {
  baud_ = baud;
  sliceLength_ = receiveBitLength(baud) / kSlicesPerBit;
  reset();
}

void RobustReceiver::reset() {
  current_ = Slice{};
  filled_ = 0;
  previous_ = 0.0f;
  slices_.fill(Slice{});
  window_ = Sums{};
  windows_.fill(Window{});
  sliceCount_ = 0;
  searching_ = false;
  nextCandidate_ = 0;
  lastStart_ = std::numeric_limits<std::int64_t>::min() / 2;
  beat_ = -1e12;
  period_ = 0.0;
  locked_ = false;
}

RobustReceiver::Frame RobustReceiver::evaluate(std::int64_t candidate, Fit fit) const {
  Frame f;
  const bool locked = fit != Fit::Search;
  // Bit k of the frame (k = -1 is the bit before the start bit) is the
  // window that ends with slice candidate + (k + 1) * kSlicesPerBit - 1.
  const Window* bits[kFrameBits + 1];
  for (int k = -1; k < kFrameBits; ++k)
    bits[k + 1] = &windowEndingAt(candidate + (k + 1) * kSlicesPerBit - 1);
  const Window& before = *bits[0];
  const Window& startBit = *bits[1];
  const Window& stopBit = *bits[kFrameBits];
  // Locked to a transmission, a frame is read without its stop bit: the
  // beat says where it is, and noise on the stop bit would only lose it. A
  // mobile codec can leave a space tone weak behind a mark for a quarter of
  // a bit, so on the beat a start bit may show its tone only after that.
  if (locked) {
    if (startBit.space <= startBit.mark && !(fit == Fit::OnBeat && spaceAfterEdge(candidate)))
      return f;
  } else if (startBit.space <= startBit.mark || stopBit.mark <= stopBit.space) {
    return f;
  }

  double energy = 0.0, tone = 0.0, contrast = 0.0, slope = 0.0, weakest = INFINITY;
  for (int k = 1; k <= kFrameBits; ++k) {
    const Window& b = *bits[k];
    energy += b.energy;
    tone += std::max(b.mark, b.space);
    contrast += std::fabs(b.mark - b.space);
    slope += b.slope;
    weakest = std::min<double>(weakest, b.energy);
  }
  const double gate = locked ? kLockedPurityShare * purity_ : purity_;
  if (energy <= 0.0 || tone < gate * energy) return f;
  if (weakest < kMinBitEnergyShare * energy / kFrameBits) return f;
  for (int k = 2; k <= kFrameBits; ++k)
    if (std::max(bits[k]->mark, bits[k]->space) < kMinBitToneShare * tone / kFrameBits) return f;
  if (slope < kMinSlopeRatio * energy) return f;
  const std::int64_t sinceLast = candidate - lastStart_;
  const bool onBeat = locked || (sinceLast >= 7 * kSlicesPerBit + kSlicesPerBit / 4 &&
                                 sinceLast <= 8 * kSlicesPerBit + kSlicesPerBit / 2);
  const double spaceBefore = onBeat ? kMaxSpaceBeforeShareOnBeat : kMaxSpaceBeforeShare;
  if (!locked && before.space - before.mark > spaceBefore * contrast / kFrameBits) return f;

  // Each bit's weight is its tone contrast over its own energy, so that a
  // codec's swings in level do not let strong bits outvote a weak one.
  const double floor = kWeightEnergyFloor * energy / kFrameBits;
  auto weight = [floor](const Window& w) { return (w.mark - w.space) / (w.energy + floor); };
  double score = weight(before) - weight(startBit) + weight(stopBit);
  for (int k = 2; k <= 6; ++k) score += std::fabs(weight(*bits[k]));
  // After a gap (no tone in the bit before), the start bit alone marks where
  // the frame begins: it must be strong, or noise before a transmission
  // would be taken for it.
  const bool afterGap = std::max(before.mark, before.space) < kGapToneShare * tone / kFrameBits;
  const double startShare = onBeat     ? kMinStartWeightShareOnBeat
                            : afterGap ? kMinStartWeightShareAfterGap
                                       : kMinStartWeightShare;
  if (!locked) {
    if (-weight(startBit) < startShare * score / (kFrameBits + 1)) return f;
    if (weight(stopBit) < kMinStopWeightShare * score / (kFrameBits + 1)) return f;
  }
  // At least three bits must pass the gate on their own, not only the frame as a
  // whole: one bit of the start of a transmission after bits of noise is no
  // frame.
  int pureBits = 0;
  for (int k = 1; k <= kFrameBits; ++k) {
    const Window& b = *bits[k];
    const float bitPurity = b.energy > 0.0f ? std::max(b.mark, b.space) / b.energy : 0.0f;
    if (bitPurity >= gate) ++pureBits;
  }
  if (pureBits < kFrameBits - kWeakBitsAllowed) return f;
  f.valid = true;
  f.score = score;
  // The evidence: the frame's tone contrast over the noise in a tone's
  // window, estimated from the energy neither tone explains.
  double contrastSum = 0.0, residual = 0.0;
  for (int k = 0; k <= kFrameBits; ++k) {
    contrastSum += std::fabs(bits[k]->mark - bits[k]->space);
    residual += bits[k]->unexplained();
  }
  f.evidence = contrastSum / (toneNoise(residual, kFrameBits + 1) + kTinyNoise);
  return f;
}

RobustReceiver::Sums RobustReceiver::sumSlices(std::int64_t first, int count) const {
  Sums sums;
  for (std::int64_t k = first; k < first + count; ++k) sums += slices_[k & kHistoryMask];
  return sums;
}

bool RobustReceiver::spaceAfterEdge(std::int64_t candidate) const {
  const Sums s = sumSlices(candidate + kEdgeSlices, kSlicesPerBit - kEdgeSlices);
  return s.spaceI * s.spaceI + s.spaceQ * s.spaceQ > s.markI * s.markI + s.markQ * s.markQ;
}

double RobustReceiver::toneNoise(double residual, int windows) const {
  // White noise of power s^2 puts about 2 s^2 in each tone's window of a
  // bit of L samples and (L - 4) s^2 outside both.
  return 2.0 * residual / (windows * (receiveBitLength(baud_) - 4.0));
}

int RobustReceiver::codeAt(std::int64_t candidate) const {
  // The frame's signal and noise energy in a tone's window, start bit to
  // first stop bit.
  const Window* bits[kFrameBits];
  double stronger = 0.0, residual = 0.0;
  for (int j = 0; j < kFrameBits; ++j) {
    bits[j] = &windowEndingAt(candidate + (j + 1) * kSlicesPerBit - 1);
    stronger += std::max(bits[j]->mark, bits[j]->space);
    residual += bits[j]->unexplained();
  }
  const double noise = toneNoise(residual, kFrameBits) + kTinyNoise;
  const double signal = std::max(stronger / kFrameBits - noise, kMinSignalToNoise * noise);
  // The per-bit decisions, and the bits that the phase could turn: a bit
  // whose tones' log-likelihoods, about 2 sqrt(signal x energy) / noise
  // each, differ by kCertainContrast stays as its windows read it (on a
  // clean line, every bit).
  int perBit = 0, doubtful = 0;
  for (int j = 1; j <= 5; ++j) {
    const Window& w = *bits[j];
    const double contrast =
        2.0 * std::sqrt(signal) * (std::sqrt(w.mark) - std::sqrt(w.space)) / noise;
    perBit = (perBit << 1) | (w.mark > w.space ? 1 : 0);
    if (std::fabs(contrast) < kCertainContrast) doubtful |= 1 << (5 - j);
  }
  if (doubtful == 0) return perBit;

  // Each bit's correlations with both tones.
  double markI[kFrameBits], markQ[kFrameBits], spaceI[kFrameBits], spaceQ[kFrameBits];
  for (int j = 0; j < kFrameBits; ++j) {
    const Sums bit = sumSlices(candidate + j * kSlicesPerBit, kSlicesPerBit);
    markI[j] = bit.markI, markQ[j] = bit.markQ, spaceI[j] = bit.spaceI, spaceQ[j] = bit.spaceQ;
  }
  // A correlation's magnitude times `gain` is the argument of log I0: twice
  // the tone's amplitude times the correlation's, over the noise, both
  // scaled as the windows' energies are.
  const double scale = 2.0 / (kSlicesPerBit * sliceLength_);
  const double gain = 2.0 * std::sqrt(signal * scale) / noise;
  auto magnitude = [](double i, double q) { return std::sqrt(i * i + q * q); };
  double markAlone[kFrameBits], spaceAlone[kFrameBits];
  for (int j = 0; j < kFrameBits; ++j) {
    markAlone[j] = logBesselI0(gain * magnitude(markI[j], markQ[j]));
    spaceAlone[j] = logBesselI0(gain * magnitude(spaceI[j], spaceQ[j]));
  }
  // How far a bit of one tone turns the other tone's correlation phase.
  const double turn = 2.0 * kPi * (kSpaceHz - kMarkHz) * receiveBitLength(baud_) / kReceiveRate;
  const double turnCos = std::cos(turn), turnSin = std::sin(turn);
  const double frameKept = std::log(kFramePhaseKept), frameLost = std::log1p(-kFramePhaseKept);
  const double runKept = std::log(kRunPhaseKept), runLost = std::log1p(-kRunPhaseKept);

  int bestCode = perBit;
  double best = -INFINITY;
  // Every code that differs from the per-bit decisions in doubtful bits only.
  for (int flips = doubtful;; flips = (flips - 1) & doubtful) {
    const int code = perBit ^ flips;
    // Phase kept over the frame: each tone's bits summed, each turned back
    // by the bits of the other tone before it.
    double sumMarkI = 0.0, sumMarkQ = 0.0, sumSpaceI = 0.0, sumSpaceQ = 0.0;
    double markCos = 1.0, markSin = 0.0, spaceCos = 1.0, spaceSin = 0.0;
    // Phase kept within each run of bits of one tone, or lost at every bit:
    // the runs' likelihoods so far, and the run in progress summed and bit
    // by bit.
    double runs = 0.0, runI = 0.0, runQ = 0.0, runAlone = 0.0;
    auto endRun = [&] {
      runs += logSumExp(runKept + logBesselI0(gain * magnitude(runI, runQ)), runLost + runAlone);
      runI = runQ = runAlone = 0.0;
    };
    bool previous = false;
    for (int j = 0; j < kFrameBits; ++j) {
      const bool mark = j == kFrameBits - 1 || (j > 0 && ((code >> (5 - j)) & 1) != 0);
      if (j > 0 && mark != previous) endRun();
      previous = mark;
      if (mark) {
        sumMarkI += markI[j] * markCos - markQ[j] * markSin;
        sumMarkQ += markI[j] * markSin + markQ[j] * markCos;
        const double c = spaceCos * turnCos + spaceSin * turnSin;
        spaceSin = spaceSin * turnCos - spaceCos * turnSin;
        spaceCos = c;
        runI += markI[j], runQ += markQ[j], runAlone += markAlone[j];
      } else {
        sumSpaceI += spaceI[j] * spaceCos - spaceQ[j] * spaceSin;
        sumSpaceQ += spaceI[j] * spaceSin + spaceQ[j] * spaceCos;
        const double c = markCos * turnCos - markSin * turnSin;
        markSin = markSin * turnCos + markCos * turnSin;
        markCos = c;
        runI += spaceI[j], runQ += spaceQ[j], runAlone += spaceAlone[j];
      }
    }
    endRun();
    const double frame = logBesselI0(gain * magnitude(sumMarkI, sumMarkQ)) +
                         logBesselI0(gain * magnitude(sumSpaceI, sumSpaceQ));
    const double score = logSumExp(frameKept + frame, frameLost + runs);
    if (score > best) best = score, bestCode = code;
    if (flips == 0) break;
  }
  return bestCode;
}

void RobustReceiver::commit() {
  searching_ = false;
  // On the beat of the frame before, 7.5 or 8 bits after it, the start is
  // where the beat so far and this frame's own best fit agree: the beat
  // carries the timing of every frame of the transmission, one frame's fit
  // only its own, noisy at low SNR.
  const double fromBeat = static_cast<double>(bestCandidate_) - beat_;
  const double period = fromBeat < 7.75 * kSlicesPerBit ? 7.5 * kSlicesPerBit : 8.0 * kSlicesPerBit;
  const double offBeat = fromBeat - period;
  std::int64_t start = bestCandidate_;
  if (std::fabs(offBeat) <= kMaxBeatSlip) {
    beat_ += period + kBeatGain * offBeat;
    start = std::llround(beat_);
    if (std::fabs(offBeat) <= kLockSlip && period == period_) locked_ = true;
    period_ = std::fabs(offBeat) <= kLockSlip ? period : 0.0;
  } else {
    beat_ = static_cast<double>(bestCandidate_);
    period_ = 0.0;
  }
  deliver(start);
}

void RobustReceiver::deliver(std::int64_t start) {
  lastStart_ = start;
  nextCandidate_ = start + 6 * kSlicesPerBit + kSlicesPerBit / 2;
  if (const std::optional<unsigned char> ch = modem_.receiveCode(codeAt(start)))
    modem_.keepReceived(*ch, first_);
}

bool RobustReceiver::readOnBeat(std::int64_t predicted) {
  Frame onBeat, offBeat;
  std::int64_t onBeatStart = 0, offBeatStart = 0;
  const std::int64_t earliest = predicted - kSlicesPerBit / 2 - kNearBeatSlices;
  for (std::int64_t c = std::max(nextCandidate_, earliest); c <= predicted + kOffBeatSlices; ++c) {
    const std::int64_t distance = std::llabs(c - predicted);
    const bool near = distance <= kNearBeatSlices;
    // Before the beat, only around half a bit before it.
    if (c < predicted && !near && c > earliest + 2 * kNearBeatSlices) continue;
    const Frame f = evaluate(c, distance <= 1 ? Fit::OnBeat : near ? Fit::NearBeat : Fit::Search);
    Frame& best = near ? onBeat : offBeat;
    if (f.valid && (!best.valid || f.score > best.score)) {
      best = f;
      (near ? onBeatStart : offBeatStart) = c;
    }
  }
  if (!onBeat.valid) return false;
  if (offBeat.valid) {
    // A frame that fits clearly better off the beat started off it: after
    // a pause in a held carrier, or at another number of stop bits. The
    // search places it.
    const bool edge = (offBeatStart > predicted && onBeatStart == predicted + kNearBeatSlices) ||
                      (offBeatStart < predicted && onBeatStart == predicted - kNearBeatSlices);
    if (offBeat.evidence > onBeat.evidence + (edge ? kEdgeMargin : kRealignMargin)) return false;
  }
  const double slip = static_cast<double>(onBeatStart) - (beat_ + period_);
  beat_ += period_ + kBeatGain * slip;
  deliver(std::llround(beat_));
  return true;
}

void RobustReceiver::consider(std::int64_t candidate) {
  const Frame f = evaluate(candidate, Fit::Search);
  if (f.valid && (!searching_ || f.score > best_.score)) {
    searching_ = true;
    best_ = f;
    bestCandidate_ = candidate;
  }
}

void RobustReceiver::endSlice() {
  const std::int64_t n = sliceCount_++;
  slices_[n & kHistoryMask] = current_;
  current_ = Slice{};
  filled_ = 0;

  // The mixing phase runs on from slice to slice, so the slices' sums add
  // up to the correlation over the whole bit. The window's sums run on from
  // slice to slice and are summed afresh once a bit, so that rounding never
  // builds up (digital silence after a loud signal stays exactly 0).
  const Slice& leaving = slices_[(n - kSlicesPerBit) & kHistoryMask];
  const Slice& entering = slices_[n & kHistoryMask];
  if (n % kSlicesPerBit == 0) {
    window_ = sumSlices(n - kSlicesPerBit + 1, kSlicesPerBit);
  } else {
    window_ += entering;
    window_ -= leaving;
  }
  const double markI = window_.markI, markQ = window_.markQ, spaceI = window_.spaceI,
               spaceQ = window_.spaceQ;
  // Scaled so that a clean tone's energy in its own window equals the
  // window's energy.
  const double scale = 2.0 / (kSlicesPerBit * sliceLength_);
  Window& w = windows_[n & kHistoryMask];
  w.mark = static_cast<float>((markI * markI + markQ * markQ) * scale);
  w.space = static_cast<float>((spaceI * spaceI + spaceQ * spaceQ) * scale);
  w.energy = static_cast<float>(std::max(window_.energy, 0.0));
  w.slope = static_cast<float>(std::max(window_.slope, 0.0));

  // The frame whose first stop bit ends with this slice.
  const std::int64_t candidate = n - kFrameBits * kSlicesPerBit + 1;
  if (searching_ && candidate > bestCandidate_ + kSearchSlices) commit();
  if (locked_) {
    const std::int64_t predicted = std::llround(beat_ + period_);
    if (candidate < predicted + kOffBeatSlices) return;
    if (readOnBeat(predicted)) return;
    // No frame on the beat: the transmission paused, ended or slipped. The
    // search takes over from where the frame could have started.
    locked_ = false;
    for (std::int64_t c = std::max(nextCandidate_, predicted - kSlicesPerBit / 2 - kNearBeatSlices);
         c < candidate; ++c)
      consider(c);
  }
  if (candidate < nextCandidate_) return;
  consider(candidate);
}

void RobustReceiver::sumFourSlices(const int16_t* block) {
  const int length = sliceLength_;
  // x[0] is the sample before the four slices, x[1 + s * length + k]
  // sample k of slice s.
  float x[1 + kLanes * kMaxSliceLength];
  x[0] = previous_;
  for (int i = 0; i < kLanes * length; ++i) x[1 + i] = block[i];
  const LaneTable& t = laneTables().of(baud_);
  const int g = static_cast<int>(sliceCount_ % kTonePeriod);
  Lanes markI{}, markQ{}, spaceI{}, spaceQ{}, energy{}, slope{};
  Lanes before = {x[0], x[length], x[2 * length], x[3 * length]};
  for (int k = 0; k < length; ++k) {
    const Lanes now = {x[1 + k], x[1 + length + k], x[1 + 2 * length + k], x[1 + 3 * length + k]};
    const Lanes step = now - before;
    before = now;
    markI += now * loadLanes(&t.markCos[k][g]);
    markQ += now * loadLanes(&t.markSin[k][g]);
    spaceI += now * loadLanes(&t.spaceCos[k][g]);
    spaceQ += now * loadLanes(&t.spaceSin[k][g]);
    energy += now * now;
    slope += step * step;
  }
  previous_ = x[kLanes * length];
  for (int s = 0; s < kLanes; ++s) {
    current_ = Slice{markI[s], markQ[s], spaceI[s], spaceQ[s], energy[s], slope[s]};
    endSlice();
  }
}

std::optional<unsigned char> RobustReceiver::demodulateBlock(const int16_t* block, int n) {
  if (modem_.baud() != baud_) start(modem_.baud());
  purity_ = purityForThreshold(modem_.threshold(), baud_);
  first_.reset();
  if (block == nullptr || n <= 0) return std::nullopt;
  const MixingTables& t = mixingTables();
  for (int i = 0; i < n;) {
    if (filled_ == 0 && n - i >= kLanes * sliceLength_) {
      sumFourSlices(block + i);
      i += kLanes * sliceLength_;
      continue;
    }
    const int count = std::min(sliceLength_ - filled_, n - i);
    // The mixing phase of the next sample: it runs on from the last reset.
    const int phase =
        static_cast<int>((sliceCount_ % kTonePeriod) * sliceLength_ + filled_) % kTonePeriod;
    const float* markCos = t.markCos + phase;
    const float* markSin = t.markSin + phase;
    const float* spaceCos = t.spaceCos + phase;
    const float* spaceSin = t.spaceSin + phase;
    Slice s = current_;
    float previous = previous_;
    for (int k = 0; k < count; ++k) {
      const float x = block[i + k];
      const float step = x - previous;
      previous = x;
      s.markI += x * markCos[k];
      s.markQ += x * markSin[k];
      s.spaceI += x * spaceCos[k];
      s.spaceQ += x * spaceSin[k];
      s.energy += x * x;
      s.slope += step * step;
    }
    current_ = s;
    previous_ = previous;
    filled_ += count;
    i += count;
    if (filled_ == sliceLength_) endSlice();
  }
  int peak = 0;
  for (int i = std::max(0, n - subWindowLength(baud_)); i < n; ++i)
    peak = std::max(peak, std::abs(static_cast<int>(block[i])));
  peak_ = std::min(peak / 256.0, 128.0);
  return first_;
}

Receiver::Receiver(FskModem& modem, ReceiverKind kind) : modem_(modem), kind_(kind) {
  if (kind == ReceiverKind::Robust) robust_.emplace(modem);
}

std::optional<unsigned char> Receiver::demodulateBlock(const int16_t* block, int n) {
  return robust_ ? robust_->demodulateBlock(block, n) : modem_.demodulateBlock(block, n);
}

double Receiver::peak() const {
  return robust_ ? robust_->peak() : modem_.peak();
}

}  // namespace quelto
