#include "modem/fsk_modem.h"

#include "audio/sample_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quelto {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMarkHz = 1400.0;
constexpr double kSpaceHz = 1800.0;

// Correlation references for one sub-window at 8000 samples/s. Both rates
// share them; the normalising constants are always taken over 22 entries,
// also at 50 baud where a sub-window uses only the first 20.
struct ReferenceTables {
  double sinSpace[22], cosSpace[22], sinMark[22], cosMark[22];
  double ks = 0.0, km = 0.0;
};

ReferenceTables makeReferenceTables() {
  ReferenceTables r{};
  double sumS = 0.0, sumM = 0.0;
  for (int i = 0; i < 22; ++i) {
    const double a = i * 2.0 * kPi / kReceiveRate;
    r.sinSpace[i] = std::sin(kSpaceHz * a);
    r.cosSpace[i] = std::cos(kSpaceHz * a);
    r.sinMark[i] = std::sin(kMarkHz * a);
    r.cosMark[i] = std::cos(kMarkHz * a);
    sumS += r.sinSpace[i] * r.sinSpace[i];
    sumM += r.sinMark[i] * r.sinMark[i];
  }
  r.ks = sumS / 22.0;
  r.km = sumM / 22.0;
  return r;
}

const ReferenceTables& referenceTables() {
  static const ReferenceTables tables = makeReferenceTables();
  return tables;
}

template <std::size_t N>
void fillWaveform(std::array<uint8_t, N>& out, int samplesPerBit, int code) {
  const double spaceStep = 2.0 * kPi * kSpaceHz / kTextOutputRate;
  const double markStep = 2.0 * kPi * kMarkHz / kTextOutputRate;
  double phi = 0.0;
  std::size_t k = 0;
  auto segment = [&](int samples, double step) {
    for (int i = 0; i < samples; ++i) {
      out[k++] = static_cast<uint8_t>(static_cast<int>(125.0 * std::sin(phi)) + 128);
      phi += step;
    }
  };
  segment(samplesPerBit, spaceStep);  // start bit
  for (int bit = 16; bit >= 1; bit >>= 1)
    segment(samplesPerBit, (code & bit) ? markStep : spaceStep);
  segment(2 * samplesPerBit, markStep);  // two stop bits
}

struct DialKey {
  char ch;
  double low, high;
};
constexpr DialKey kDialKeys[kDialKeyCount] = {{'0', 941, 1336}, {'1', 697, 1209}, {'2', 697, 1336},
                                              {'3', 697, 1477}, {'4', 770, 1209}, {'5', 770, 1336},
                                              {'6', 770, 1477}, {'7', 852, 1209}, {'8', 852, 1336},
                                              {'9', 852, 1477}, {'*', 941, 1209}, {'#', 941, 1477}};

int dialKeyIndex(char ch) {
  for (int d = 0; d < kDialKeyCount; ++d)
    if (kDialKeys[d].ch == ch) return d;
  return -1;
}

}  // namespace

TonePowers measureSubWindow(const int16_t* samples, int length) {
  const ReferenceTables& r = referenceTables();
  length = std::min(length, 22);
  TonePowers out;
  if (samples == nullptr || length <= 0) return out;
  double ss = 0.0, cs = 0.0, sm = 0.0, cm = 0.0, energy = 0.0;
  int peak = 0;
  for (int i = 0; i < length; ++i) {
    const int centred = samples[i];
    // Dividing by a power of two is exact: 8-bit-derived input gives the
    // very figures an 8-bit receiver computes.
    const double v = centred / static_cast<double>(kU8Step);
    ss += v * r.sinSpace[i];
    cs += v * r.cosSpace[i];
    sm += v * r.sinMark[i];
    cm += v * r.cosMark[i];
    energy += v * v;
    peak = std::max(peak, centred < 0 ? -centred : centred);
  }
  out.peak = peak / static_cast<double>(kU8Step);
  if (energy == 0.0) return out;
  out.silent = false;
  const double p = energy / length;
  out.space = (ss * ss + cs * cs) / (p * r.ks);
  out.mark = (sm * sm + cm * cm) / (p * r.km);
  return out;
}

SampleSpan CharacterWaveforms::of(BaudRate baud, int code) const {
  if (code < 0 || code > 31) return {};
  if (baud == BaudRate::Baud45) return {baud45[code].data(), static_cast<int>(baud45[code].size())};
  return {baud50[code].data(), static_cast<int>(baud50[code].size())};
}

CharacterWaveforms buildCharacterWaveforms() {
  CharacterWaveforms w;
  for (int code = 0; code < 32; ++code) {
    fillWaveform(w.baud45[code], samplesPerTransmitBit(BaudRate::Baud45), code);
    fillWaveform(w.baud50[code], samplesPerTransmitBit(BaudRate::Baud50), code);
  }
  return w;
}

const CharacterWaveforms& characterWaveforms() {
  static const CharacterWaveforms waveforms = buildCharacterWaveforms();
  return waveforms;
}

DialTones buildDialTones() {
  DialTones t;
  t.samples.assign(static_cast<std::size_t>(kDialKeyCount) * kDialKeySamples, 128);
  for (int d = 0; d < kDialKeyCount; ++d) {
    uint8_t* key = t.samples.data() + static_cast<std::size_t>(d) * kDialKeySamples;
    for (int k = 0; k < kDialToneSamples; ++k) {
      const double v = kDialLowAmplitude * std::sin(2.0 * kPi * kDialKeys[d].low * k / kDialRate) +
                       128.0 +
                       kDialHighAmplitude * std::sin(2.0 * kPi * kDialKeys[d].high * k / kDialRate);
      key[k] = static_cast<uint8_t>(static_cast<int>(v));
    }
  }
  return t;
}

const DialTones& dialTones() {
  static const DialTones tones = buildDialTones();
  return tones;
}

SampleSpan DialTones::keyFor(char ch) const {
  const int d = dialKeyIndex(ch);
  if (d < 0 || samples.size() < static_cast<std::size_t>(kDialKeyCount) * kDialKeySamples)
    return {};
  return {samples.data() + static_cast<std::size_t>(d) * kDialKeySamples, kDialKeySamples};
}

FskModem::FskModem(FramingConfig framing) : framing_(framing) {
  framing_.restartCount = std::clamp(framing_.restartCount, 0, 64);
  referenceTables();
}

void FskModem::setBaud(BaudRate baud) {
  if (baud != baud_) resetFraming();
  baud_ = baud;
}

void FskModem::resetFraming() {
  ringCount_ = 0;
  ringWrite_ = 0;
}

std::optional<unsigned char> FskModem::takePending() {
  if (pending_ == 0) return std::nullopt;
  const unsigned char c = pending_;
  pending_ = 0;
  return c;
}

int FskModem::decisionFor(const TonePowers& powers) const {
  if (powers.silent) return 0;
  if (powers.space > threshold_ || powers.mark > threshold_)
    return powers.mark >= powers.space ? 1 : -1;
  return 0;
}

std::optional<unsigned char> FskModem::pushDecision(int decision) {
  ringWrite_ = (ringWrite_ + 63) & 63;
  ring_[ringWrite_] = static_cast<int8_t>(decision > 0 ? 1 : (decision < 0 ? -1 : 0));
  if (ringCount_ < 64) ++ringCount_;
  if (ringCount_ < 64) return std::nullopt;

  // Position 0 is the newest decision, 63 the oldest.
  auto count = [this](int from, int value) {
    int c = 0;
    for (int p = from; p < from + 8; ++p) c += ring_[(ringWrite_ + p) & 63] == value;
    return c;
  };
  if (-count(56, -1) > framing_.startBitThreshold) return std::nullopt;
  if (count(0, 1) + count(8, 1) < framing_.stopBitThreshold) return std::nullopt;

  int code = 0;
  for (int j = 0; j < 5; ++j) {
    const int slot = 8 * (6 - j);
    if (count(slot, 1) >= 7) {
      code |= 1 << (4 - j);
    } else if (count(slot, -1) < 7) {
      return std::nullopt;
    }
  }
  ringCount_ = framing_.restartCount;
  return receiveCode(code);
}

std::optional<unsigned char> FskModem::receiveCode(int code) {
  const std::optional<unsigned char> ch = decodeCode(code, shift_);
  if (unshiftOnSpace_ && ch == ' ') shift_ = LTRS;
  return ch;
}

void FskModem::keepReceived(unsigned char ch, std::optional<unsigned char>& first) {
  if (ch == kCarriageReturn) return;
  if (ch == kLineFeed) ch = ' ';
  if (!first) {
    first = ch;
  } else {
    pending_ = ch;
  }
}

std::optional<unsigned char> FskModem::demodulateBlock(const int16_t* block, int n) {
  if (block == nullptr || n <= 0) return std::nullopt;
  const int length = subWindowLength(baud_);
  const int windows = n / length;
  std::optional<unsigned char> first;
  for (int w = 0; w < windows; ++w) {
    const TonePowers powers = measureSubWindow(block + w * length, length);
    peak_ = powers.peak;
    if (const std::optional<unsigned char> c = pushDecision(decisionFor(powers)))
      keepReceived(*c, first);
  }
  return first;
}

SampleSpan FskModem::renderChar(unsigned char ch) {
  const std::optional<BaudotCodes> codes = encodeChar(ch, shift_);
  if (!codes) return {};
  const CharacterWaveforms& waveforms = characterWaveforms();
  int length = 0;
  if (codes->shiftFirst) {
    const SampleSpan s = waveforms.of(baud_, *codes->shiftFirst);
    std::memcpy(transmit_.data(), s.data, s.length);
    length = s.length;
  }
  const SampleSpan c = waveforms.of(baud_, codes->code);
  std::memcpy(transmit_.data() + length, c.data, c.length);
  return {transmit_.data(), length + c.length};
}

int FskModem::renderBatch(const unsigned char* chars, int count, uint8_t* out, int capacity) {
  if (chars == nullptr || out == nullptr) return 0;
  count = std::clamp(count, 0, kBatchMaxChars);
  int written = 0;
  for (int i = 0; i < count; ++i) {
    const SampleSpan s = renderChar(chars[i]);
    if (s.empty()) continue;
    if (s.length > capacity - written) break;
    std::memcpy(out + written, s.data, s.length);
    written += s.length;
  }
  return written;
}

void FskModem::beginTransmission() {
  transmitPhase_ = 0.0;
  pageShiftDue_ = true;
}

void FskModem::renderTone(int samples, bool mark, std::vector<uint8_t>& out) {
  const double step = 2.0 * kPi * (mark ? kMarkHz : kSpaceHz) / kTextOutputRate;
  for (int i = 0; i < samples; ++i) {
    out.push_back(static_cast<uint8_t>(static_cast<int>(125.0 * std::sin(transmitPhase_)) + 128));
    // Kept within one turn so that a long transmission loses no precision.
    transmitPhase_ = std::fmod(transmitPhase_ + step, 2.0 * kPi);
  }
}

void FskModem::renderMark(int samples, std::vector<uint8_t>& out) {
  renderTone(samples, true, out);
}

void FskModem::renderCode(int code, std::vector<uint8_t>& out) {
  const int bit = samplesPerTransmitBit(baud_);
  renderTone(bit, false, out);  // start bit
  for (int b = 16; b >= 1; b >>= 1) renderTone(bit, (code & b) != 0, out);
  renderTone(2 * bit, true, out);  // two stop bits
}

void FskModem::renderTransmitted(const unsigned char* chars, int count, std::vector<uint8_t>& out) {
  if (chars == nullptr) return;
  for (int i = 0; i < count; ++i) {
    const unsigned char ch = chars[i];
    for (const unsigned char c : {ch, kLineFeed}) {
      std::optional<BaudotCodes> codes = encodeChar(c, shift_);
      if (!codes) break;
      if (pageShiftDue_) {
        if (const std::optional<ShiftState> page = pageOf(c)) {
          if (!codes->shiftFirst) codes->shiftFirst = *page;
          pageShiftDue_ = false;
        }
      }
      if (codes->shiftFirst) renderCode(*codes->shiftFirst, out);
      renderCode(codes->code, out);
      if (ch != kCarriageReturn) break;
    }
  }
}

std::vector<DialStep> FskModem::dialPlan(const std::string& number) const {
  std::vector<DialStep> plan;
  for (char ch : number) {
    if (ch == ',') {
      DialStep pause;
      pause.kind = DialStep::Kind::Pause;
      pause.pauseMs = kDialPauseMs;
      plan.push_back(pause);
      continue;
    }
    const SampleSpan key = dialToneFor(ch);
    if (key.empty()) continue;
    DialStep step;
    step.kind = DialStep::Kind::Key;
    step.key = ch;
    step.samples = key;
    plan.push_back(step);
  }
  return plan;
}

}  // namespace quelto
