// The robust receiver: Quelto's own signal through a seeded noisy line, the
// character rules it shares with the classic receiver, a very quiet line,
// and the inputs of a line without a TDD, which must frame nothing.
#include "modem/robust_receiver.h"
#include "modem/baudot.h"
#include "modem/fsk_modem.h"
#include "modem/line_signal.h"
#include "settings/global_settings.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace quelto {
namespace {

using namespace quelto::testing;

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> toS16(const std::vector<float>& samples) {
  std::vector<int16_t> out(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i)
    out[i] = static_cast<int16_t>(
        std::lround(std::clamp(samples[i], -1.0f, 32767.0f / 32768.0f) * 32768.0f));
  return out;
}

// Quelto's text at 22050 samples/s as one transmission the way a TDD sends
// it: 150 ms of mark, the characters (with their shift codes) back to back,
// then 300 ms of mark and silence, or nothing when it is cut off after its
// last stop bit.
enum class Ending { HeldThenSilent, CutOff };
std::vector<uint8_t> transmission(BaudRate baud, const std::string& text,
                                  Ending ending = Ending::HeldThenSilent) {
  FskModem tx;
  tx.setBaud(baud);
  auto mark = [](double seconds) {
    return tone(1400.0, static_cast<int>(seconds * kTextOutputRate), kTextOutputRate, 125.0);
  };
  std::vector<uint8_t> signal = mark(0.15);
  for (unsigned char ch : text) {
    const SampleSpan s = tx.renderChar(ch);
    signal.insert(signal.end(), s.data, s.data + s.length);
  }
  if (ending == Ending::CutOff) return signal;
  const std::vector<uint8_t> hold = mark(0.3);
  signal.insert(signal.end(), hold.begin(), hold.end());
  signal.resize(signal.size() + kOutputTrailerSamples, 128);
  return signal;
}

// A 22050 samples/s signal as an 8000 samples/s receiver hears it, scaled
// to a peak of `peak` (full scale 1).
std::vector<float> asHeard(const std::vector<uint8_t>& signal, float peak) {
  std::vector<float> line = resample(toFloat(signal), kTextOutputRate, kReceiveRate);
  float loudest = 0.0f;
  for (float v : line) loudest = std::max(loudest, std::fabs(v));
  for (float& v : line) v *= peak / loudest;
  return line;
}

// A transmission as the receiver hears it, with white noise at snrDb.
std::vector<float> queltoLine(BaudRate baud, const std::string& text, float peak = 0.25f,
                              double snrDb = INFINITY, unsigned seed = 1) {
  std::vector<float> line = asHeard(transmission(baud, text), peak);
  if (std::isfinite(snrDb)) addNoise(line, kReceiveRate, snrDb, seed);
  return line;
}

std::string receive(ReceiverKind kind, BaudRate baud, const std::vector<float>& line,
                    double sensitivity = 30.0) {
  FskModem rx;
  rx.setBaud(baud);
  rx.setThreshold(FskModem::thresholdForSensitivity(sensitivity));
  TextReceiver receiver(rx, kind);
  const std::vector<int16_t> samples = toS16(line);
  receiver.feed(samples.data(), samples.size());
  return receiver.finish();
}

// Words with figures among them, so that shift codes go out too.
std::string conversationText(std::size_t length, unsigned seed) {
  const std::vector<std::string> words = {"HELLO", "THE",  "CALL", "555-1234", "9:30", "ME",
                                          "GA",    "SK",   "OK",   "$15.00",   "WHO",  "THERE",
                                          "(12)",  "1/2,", "YES?", "PLEASE",   "NOW",  "3.5;"};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < length) text += words[rng() % words.size()] + " ";
  text.resize(length);
  while (text.back() == ' ') text.pop_back();
  return text;
}

// The error rate every receiver figure rests on: a lost or an extra
// character is one error, not a shift of the rest of the text.
TEST(CharacterErrorRate, CountsEachLostExtraOrChangedCharacterOnce) {
  struct Case {
    const char* sent;
    const char* heard;
    std::size_t distance;
  };
  const Case cases[] = {
      {"HELLO GA", "HELLO GA", 0},
      {"HELLO GA", "ELLO GA", 1},
      {"HELLO GA", "HELLO GAE", 1},
      {"HELLO GA", "HELLP GA", 1},
      {"KITTEN", "SITTING", 3},
      {"ABC", "", 3},
      {"", "ABC", 3},
      {"GA GA", "AG GA", 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(editDistance(c.sent, c.heard), c.distance) << c.sent << " / " << c.heard;
  EXPECT_DOUBLE_EQ(characterErrorRate("HELLO GA", "ELLO GA"), 1.0 / 8.0);
  EXPECT_DOUBLE_EQ(characterErrorRate("HELLO GA", "HELLO GA"), 0.0);
}

TEST(RobustReceiver, ReadsQueltoExactlyWhenCleanAtBothRates) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"HELLO GA", "HELLO GA"},
      {"call 555-1234 at 9:30, ok?", "CALL 555-1234 AT 9:30, OK?"},
      {"$12.50 (TAX) = \"ok\" / 'yes' + ; !", "$12.50 (TAX) = \"OK\" / 'YES' + ; !"},
      {"99 88\r\n77 X", "99 88 77 X"},  // CR dropped, LF as a space
      {"12345678901234567890 ABCDEFGH", "12345678901234567890 ABCDEFGH"},
      {"AB\bC", "AC"},
  };
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50})
    for (const auto& [typed, shown] : texts)
      for (double sensitivity : {0.0, 30.0, 60.0})
        EXPECT_EQ(receive(ReceiverKind::Robust, baud, queltoLine(baud, typed), sensitivity), shown)
            << "baud " << storedBaudRate(baud) << ", sensitivity " << sensitivity;
}

TEST(RobustReceiver, LoopbackAtMinus6dBLosesAtMostOnePercent) {
  struct Case {
    BaudRate baud;
    unsigned seed;
  };
  const std::vector<Case> cases = {{BaudRate::Baud45, 61}, {BaudRate::Baud45, 62},
                                   {BaudRate::Baud45, 63}, {BaudRate::Baud50, 61},
                                   {BaudRate::Baud50, 62}, {BaudRate::Baud50, 63}};
  for (const Case& c : cases) {
    const std::string text = conversationText(300, c.seed);
    const std::string heard =
        receive(ReceiverKind::Robust, c.baud, queltoLine(c.baud, text, 0.25f, -6.0, c.seed));
    const double cer = characterErrorRate(text, heard);
    EXPECT_LE(cer, 0.01) << "baud " << storedBaudRate(c.baud) << ", seed " << c.seed << ": "
                         << heard;
  }
}

// What reading with the sender's phase buys: at -9 dB a whole-bit decision
// on each bit's tone energies alone loses 1 to 2.5 % of the characters (1.2 %
// on these seeds; a damaged shift code garbles the word after it), Quelto's
// continuous-phase signal read with its phase at most 0.5 %.
TEST(RobustReceiver, ReadsWithTheSendersPhaseAtMinus9dB) {
  std::size_t errors = 0, sent = 0;
  for (unsigned seed : {91u, 92u, 93u}) {
    const std::string text = conversationText(400, seed);
    const std::string heard = receive(ReceiverKind::Robust, BaudRate::Baud45,
                                      queltoLine(BaudRate::Baud45, text, 0.25f, -9.0, seed));
    errors += editDistance(text, heard);
    sent += text.size();
  }
  EXPECT_LE(static_cast<double>(errors) / sent, 0.005) << errors << " errors in " << sent;
}

// A sender's frames at 8000 samples/s whose every bit starts at a random
// phase, as a codec that rebuilds the waveform may leave them: letters
// only, one LTRS first, 1.5 stop bits, with white noise at snrDb.
std::vector<float> phaseLostLine(const std::string& letters, double snrDb, unsigned seed) {
  const double bitLength = kReceiveRate / 45.45;
  std::vector<std::pair<bool, double>> bits = {{true, 10.0}};  // (mark, bits long)
  auto frame = [&bits](int code) {
    bits.push_back({false, 1.0});
    for (int b = 16; b >= 1; b >>= 1) bits.push_back({(code & b) != 0, 1.0});
    bits.push_back({true, 1.5});
  };
  ShiftState shift = LTRS;
  frame(LTRS);
  for (unsigned char ch : letters) frame(encodeChar(ch, shift)->code);
  bits.push_back({true, 10.0});
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> anyPhase(0.0, 2.0 * kPi);
  std::vector<float> line;
  double end = 0.0;
  for (const auto& [mark, length] : bits) {
    end += length * bitLength;
    const double step = 2.0 * kPi * (mark ? 1400.0 : 1800.0) / kReceiveRate;
    double phase = anyPhase(rng);
    while (static_cast<long>(line.size()) < std::lround(end)) {
      line.push_back(static_cast<float>(0.25 * std::sin(phase)));
      phase += step;
    }
  }
  if (std::isfinite(snrDb)) addNoise(line, kReceiveRate, snrDb, seed);
  return line;
}

// A signal that does not keep its phase reads as well as the per-bit
// decisions read it: exactly when clean, within 1 % at -6 dB.
TEST(RobustReceiver, ReadsASignalThatLostItsPhase) {
  const std::string letters = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG AND WHO IS THERE GA";
  EXPECT_EQ(receive(ReceiverKind::Robust, BaudRate::Baud45, phaseLostLine(letters, INFINITY, 1)),
            letters);
  std::string text;
  for (int i = 0; i < 5; ++i) text += letters + " ";
  for (unsigned seed : {71u, 72u, 73u}) {
    const std::string heard =
        receive(ReceiverKind::Robust, BaudRate::Baud45, phaseLostLine(text, -6.0, seed));
    EXPECT_LE(characterErrorRate(text, heard), 0.01) << "seed " << seed << ": " << heard;
  }
}

TEST(RobustReceiver, ReadsASignalFarBelowFullScale) {
  // Peaks at 0.15 % of full scale (about -57 dBFS), a weak line on a card
  // with its input turned down: about 49 steps of 16-bit input.
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50})
    EXPECT_EQ(receive(ReceiverKind::Robust, baud, queltoLine(baud, "WEAK LINE 123", 0.0015f)),
              "WEAK LINE 123")
        << "baud " << storedBaudRate(baud);
}

TEST(RobustReceiver, SharesTheClassicReceiversCharacterRules) {
  // H CR LF I at 1.5 stop bits, in one call over the whole signal: the
  // carriage return goes, the line feed is a space, the first character is
  // the result and the last one waits in the pending slot.
  const std::vector<uint8_t> frames = fskFrames({5, 2, 8, 12}, 45.45, 1.5);
  std::vector<int16_t> signal(400, 0);
  for (uint8_t v : frames) signal.push_back(static_cast<int16_t>((v - 128) * 256));
  signal.resize(signal.size() + 1408, 0);
  FskModem modem;
  RobustReceiver robust(modem);
  EXPECT_EQ(robust.demodulateBlock(signal.data(), static_cast<int>(signal.size())), 'H');
  EXPECT_EQ(modem.takePending(), std::optional<unsigned char>('I'));

  // Shift codes change the page of the modem both directions share.
  FskModem shifted;
  std::vector<int16_t> figures;
  for (uint8_t v : fskFrames({FIGS, 29, LTRS, 29}, 45.45, 2.0))  // FIGS Q LTRS Q
    figures.push_back(static_cast<int16_t>((v - 128) * 256));
  TextReceiver receiver(shifted, ReceiverKind::Robust);
  receiver.feed(figures.data(), figures.size());
  EXPECT_EQ(receiver.finish(), "1Q");
  EXPECT_EQ(shifted.shift(), LTRS);
}

// The receiver sums four slices side by side where a block holds them whole
// and one sample at a time where a block's end cuts a slice; both must read
// the same, so a slice mixed with the wrong phase or from the wrong samples
// on either path, or at the seam between them, changes the text. Noisy, so
// that decisions are close.
TEST(RobustReceiver, ReadsTheSameWhateverTheBlockLengths) {
  struct Case {
    const char* name;
    std::vector<int> lengths;  // taken in turn
  };
  const std::vector<Case> cases = {
      {"one sample at a time", {1}},
      {"slices cut everywhere", {7, 44, 1, 45, 43, 176, 13}},
      {"blocks longer and shorter than usual", {1000, 45, 1408, 3, 88}},
  };
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    std::vector<float> line = queltoLine(baud, conversationText(100, 7), 0.25f, -6.0, 7);
    line.resize(line.size() + 2 * kMaxReceiveBlockLength, 0.0f);
    const std::string whole = receive(ReceiverKind::Robust, baud, line);
    ASSERT_GT(whole.size(), 90u);
    const std::vector<int16_t> samples = toS16(line);
    for (const Case& c : cases) {
      FskModem modem;
      modem.setBaud(baud);
      modem.setThreshold(FskModem::thresholdForSensitivity(30.0));
      RobustReceiver robust(modem);
      std::string text;
      std::size_t next = 0;
      for (std::size_t at = 0; at < samples.size(); ++next) {
        const int n = static_cast<int>(
            std::min<std::size_t>(c.lengths[next % c.lengths.size()], samples.size() - at));
        if (const std::optional<unsigned char> ch = robust.demodulateBlock(&samples[at], n))
          text += static_cast<char>(*ch);
        if (const std::optional<unsigned char> ch = modem.takePending())
          text += static_cast<char>(*ch);
        at += static_cast<std::size_t>(n);
      }
      EXPECT_EQ(text, whole) << c.name << ", baud " << storedBaudRate(baud);
    }
  }
}

// Keys typed one by one into a held carrier, as the program sends them:
// each key goes out when it is typed, so a character may start right after
// the one before or anywhere in the mark that follows it. Locked to the
// beat of the characters before, the receiver must still find each one
// where it starts, not where the beat expected it.
TEST(RobustReceiver, ReadsKeysTypedAtAnyMomentOfAHeldCarrier) {
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    for (unsigned seed : {1u, 2u, 3u}) {
      const std::string text = conversationText(200, seed);
      std::mt19937 rng(seed);
      // Half the keys come a random 0 to 2 bits after the stop bits end.
      std::uniform_real_distribution<double> pauseBits(0.0, 2.0);
      const double bitSamples = samplesPerTransmitBit(baud);
      FskModem tx;
      tx.setBaud(baud);
      tx.beginTransmission();
      std::vector<uint8_t> signal;
      tx.renderMark(kTextOutputRate / 5, signal);
      for (unsigned char key : text) {
        tx.renderTransmitted(&key, 1, signal);
        if (rng() % 2) tx.renderMark(static_cast<int>(pauseBits(rng) * bitSamples), signal);
      }
      tx.renderMark(kTextOutputRate / 2, signal);
      signal.resize(signal.size() + kOutputTrailerSamples, 128);
      const std::vector<float> clean = asHeard(signal, 0.25f);
      for (double snr : {static_cast<double>(INFINITY), 10.0}) {
        std::vector<float> line = clean;
        if (std::isfinite(snr)) addNoise(line, kReceiveRate, snr, seed);
        EXPECT_EQ(receive(ReceiverKind::Robust, baud, line), text)
            << "baud " << storedBaudRate(baud) << ", seed " << seed << ", SNR " << snr;
      }
    }
  }
}

// A line that carries noise all along: the noise before and after a
// transmission frames nothing, and where the transmission begins no frame
// reaches back into the noise for its start bit. 12 dB below the tone, as
// the two-modem line test runs it.
TEST(RobustReceiver, NoiseAroundATransmissionAddsNothing) {
  const std::string text = "YES I READ YOU, 99 OK? GA SK";
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50})
    for (unsigned seed = 1; seed <= 12; ++seed) {
      const float peak = 0.25f;
      std::mt19937 rng(seed);
      std::vector<float> line(2000 + rng() % 8000, 0.0f);
      const std::vector<float> sent = queltoLine(baud, text, peak);
      line.insert(line.end(), sent.begin(), sent.end());
      line.resize(line.size() + kReceiveRate, 0.0f);
      const double sigma = peak / std::sqrt(2.0) / std::pow(10.0, 12.0 / 20.0);
      const std::vector<float> noise = whiteNoise(line.size(), sigma, 900 + seed);
      for (std::size_t i = 0; i < line.size(); ++i) line[i] += noise[i];
      EXPECT_EQ(receive(ReceiverKind::Robust, baud, line), text)
          << "baud " << storedBaudRate(baud) << ", seed " << seed;
    }
}

// A transmission cut off right after its last stop bit, straight into
// noise from a quarter of the tone's power to 16 times it: locked to the
// transmission's beat, the receiver reads frames with a lower presence
// gate, and the noise that follows must not pass it.
TEST(RobustReceiver, ATransmissionCutOffIntoNoiseEndsWithItsLastCharacter) {
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50})
    for (unsigned seed = 1; seed <= 8; ++seed) {
      const std::string text = conversationText(40, seed);
      const std::vector<float> sent = asHeard(transmission(baud, text, Ending::CutOff), 0.25f);
      const double tonePower = 0.25 * 0.25 / 2.0;
      for (double share : {0.25, 1.0, 4.0, 16.0}) {
        std::vector<float> line = sent;
        const std::vector<float> noise =
            whiteNoise(10 * kReceiveRate, std::sqrt(share * tonePower), 950 + seed);
        line.insert(line.end(), noise.begin(), noise.end());
        EXPECT_EQ(receive(ReceiverKind::Robust, baud, line), text)
            << "baud " << storedBaudRate(baud) << ", seed " << seed << ", noise " << share
            << " x the tone's power";
      }
    }
}

// 60 s of a pair of tones switched on and off, as exchanges play them.
std::vector<float> callTone(double low, double high, double on, double off) {
  std::vector<float> out(60 * kReceiveRate, 0.0f);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kReceiveRate;
    if (std::fmod(t, on + off) < on)
      out[i] = static_cast<float>(0.1 * std::sin(2 * kPi * low * t) +
                                  0.1 * std::sin(2 * kPi * high * t));
  }
  return out;
}

TEST(RobustReceiver, FramesNothingFromALineWithoutATdd) {
  struct Case {
    const char* name;
    std::vector<float> line;
  };
  const std::vector<Case> cases = {
      {"digital silence", std::vector<float>(60 * kReceiveRate, 0.0f)},
      {"white noise at -40 dBFS", whiteNoise(60 * kReceiveRate, 0.01, 71)},
      {"white noise at -20 dBFS", whiteNoise(60 * kReceiveRate, 0.1, 72)},
      {"white noise at -6 dBFS", whiteNoise(60 * kReceiveRate, 0.5, 73)},
      {"dial tone", callTone(350, 440, 60, 0)},
      {"ringing", callTone(440, 480, 2, 4)},
      {"busy", callTone(480, 620, 0.5, 0.5)},
  };
  for (const Case& c : cases)
    for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50})
      EXPECT_EQ(receive(ReceiverKind::Robust, baud, c.line), "")
          << c.name << ", baud " << storedBaudRate(baud);
}

TEST(RobustReceiver, ThresholdSetsAPurityGateThatFallsWithIt) {
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    const double clean = subWindowLength(baud) * subWindowLength(baud);
    double previous = INFINITY;
    for (double t : {clean + 100.0, clean, clean - 1.0, 300.0, 71.0, 70.0, 58.0, 30.0, 10.0, 0.0}) {
      const double gate = RobustReceiver::purityForThreshold(t, baud);
      if (t < clean) {
        EXPECT_LT(gate, previous) << "threshold " << t;
      } else {
        EXPECT_EQ(gate, INFINITY) << "threshold " << t;
      }
      previous = gate;
    }
    EXPECT_NEAR(RobustReceiver::purityForThreshold(FskModem::thresholdForSensitivity(30.0), baud),
                0.064, 0.001);
  }
}

TEST(RobustReceiver, ThresholdKeepsItsMeaning) {
  auto heard = [](BaudRate baud, const std::vector<float>& line, double threshold) {
    FskModem rx;
    rx.setBaud(baud);
    rx.setThreshold(threshold);
    TextReceiver receiver(rx, ReceiverKind::Robust);
    const std::vector<int16_t> samples = toS16(line);
    receiver.feed(samples.data(), samples.size());
    return receiver.finish();
  };
  const std::string text = "TEST 1 OK GA";
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    const std::string b = "baud " + std::to_string(storedBaudRate(baud));
    // A clean tone's normalised power: no tone reaches a threshold there.
    const double clean = subWindowLength(baud) * subWindowLength(baud);
    const std::vector<float> line = queltoLine(baud, text);
    EXPECT_EQ(heard(baud, line, clean - 40.0), text) << b;
    EXPECT_EQ(heard(baud, line, clean), "") << b;
    EXPECT_EQ(heard(baud, line, 600.0), "") << b;
    // Higher sensitivity (lower threshold) reads a line that lower
    // sensitivity leaves alone.
    const std::vector<float> weak = queltoLine(baud, text, 0.25f, -9.0, 5);
    EXPECT_EQ(heard(baud, weak, FskModem::thresholdForSensitivity(0.0)), "") << b;
    EXPECT_LE(characterErrorRate(text, heard(baud, weak, FskModem::thresholdForSensitivity(70.0))),
              0.1)
        << b;
  }
}

TEST(ReceiverChoice, NamesAreExactAndAnythingElseIsNone) {
  EXPECT_EQ(receiverKindFromName("classic"), ReceiverKind::Classic);
  EXPECT_EQ(receiverKindFromName("robust"), ReceiverKind::Robust);
  for (const char* other : {"", "Robust", "CLASSIC", "robust ", "fast", "1"})
    EXPECT_EQ(receiverKindFromName(other), std::nullopt) << other;
  for (ReceiverKind k : {ReceiverKind::Classic, ReceiverKind::Robust})
    EXPECT_EQ(receiverKindFromName(receiverName(k)), k);
  // The settings table sits below the modem and spells its default out.
  EXPECT_EQ(receiverKindFromName(setting::kReceiver.defaultValue), kDefaultReceiver);
}

}  // namespace
}  // namespace quelto
