#include "audio/sample_format.h"
#include "modem/fsk_modem.h"
#include "modem/line_signal.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quelto {
namespace {

using testing::fskFrames;
using testing::fskWave;
using testing::tone;
using testing::toS16;
using testing::whiteNoise;

// One frame as 64 decisions, oldest first: 8 start decisions, 8 per data
// bit (value 16 first), 16 stop decisions. Individual slots can be
// overwritten to build borderline frames.
struct Frame {
  std::vector<int> d = std::vector<int>(64, 1);
  explicit Frame(int code) {
    for (int i = 0; i < 8; ++i) d[i] = -1;
    for (int j = 0; j < 5; ++j)
      for (int i = 0; i < 8; ++i) d[8 + 8 * j + i] = (code & (16 >> j)) ? 1 : -1;
  }
  // Sets the first `values.size()` decisions of slot `slot` (0 = start,
  // 1-5 = data bits, 6-7 = stop).
  Frame& slot(int slot, const std::vector<int>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) d[8 * slot + i] = values[i];
    return *this;
  }
};

// Pushes the decisions and returns every character they complete.
std::string push(FskModem& modem, const std::vector<int>& decisions) {
  std::string out;
  for (int d : decisions)
    if (std::optional<unsigned char> c = modem.pushDecision(d))
      out.push_back(static_cast<char>(*c));
  return out;
}

struct FramingCase {
  const char* name;
  FramingConfig config;
  std::vector<int> decisions;
  std::string text;
};

TEST(ReceiverFraming, AcceptsAndRejectsFramesAtTheThresholds) {
  const FramingConfig defaults;
  const std::vector<FramingCase> cases = {
      {"clean frame", defaults, Frame(24).d, "A"},
      {"start slot 7 spaces 1 mark", defaults, Frame(24).slot(0, {1}).d, "A"},
      {"start slot 6 spaces 2 marks", defaults, Frame(24).slot(0, {1, 1}).d, ""},
      {"data slot 7 marks 1 zero", defaults, Frame(24).slot(1, {0}).d, "A"},
      {"data slot 6 marks 2 spaces", defaults, Frame(24).slot(1, {-1, -1}).d, ""},
      {"data slot 6 marks 1 space 1 zero", defaults, Frame(24).slot(1, {-1, 0}).d, ""},
      {"data slot 7 spaces 1 mark", defaults, Frame(24).slot(3, {1}).d, "A"},
      {"stop window 12 marks", defaults, Frame(24).slot(7, {0, 0, 0, 0}).d, "A"},
      {"stop window 11 marks", defaults, Frame(24).slot(7, {0, 0, 0, 0, 0}).d, ""},
      {"start test off with threshold 0",
       {0, 12, 6},
       Frame(24).slot(0, {1, 1, 1, 1, 1, 1, 1, 1}).d,
       "A"},
      {"stop threshold above 16 rejects all", {-7, 17, 6}, Frame(24).d, ""},
      {"steady mark", defaults, std::vector<int>(200, 1), ""},
      {"steady space", defaults, std::vector<int>(200, -1), ""},
      {"no tone", defaults, std::vector<int>(200, 0), ""},
      {"shift codes give no character", defaults, Frame(FIGS).d, ""},
  };
  for (const FramingCase& c : cases) {
    FskModem modem(c.config);
    EXPECT_EQ(push(modem, c.decisions), c.text) << c.name;
  }
}

TEST(ReceiverFraming, ARejectedFrameSlidesOnAndTheRingRestartsAfterADecodedOne) {
  FskModem modem;
  // Noise before the frame: the hunt slides decision by decision.
  std::vector<int> decisions = {0, 1, -1, 0, 1};
  for (int code : {27, 1, 4, 1, 31, 1}) {  // FIGS 5 space 5 LTRS T
    const Frame f(code);
    decisions.insert(decisions.end(), f.d.begin(), f.d.end());
  }
  EXPECT_EQ(push(modem, decisions), "5 5T");
  EXPECT_EQ(modem.shift(), LTRS);

  // After a decoded frame the next test comes 64 - RestartCount decisions
  // later. One more mark after a frame still looks like the same frame
  // shifted by an eighth of a bit: only a ring restarted at 63 tests it.
  std::vector<int> frameAndOne = Frame(24).d;
  frameAndOne.push_back(1);
  FskModem standard;
  EXPECT_EQ(push(standard, frameAndOne), "A");
  FskModem eager(FramingConfig{-7, 12, 63});
  EXPECT_EQ(push(eager, frameAndOne), "AA");
}

TEST(ReceiverFraming, BaudChangeEmptiesTheRingThresholdChangeDoesNot) {
  std::vector<int> head = Frame(24).d;
  const int last = head.back();
  head.pop_back();

  FskModem modem;
  push(modem, head);
  modem.setBaud(BaudRate::Baud50);
  EXPECT_EQ(push(modem, {last}), "") << "a new rate starts an empty ring";

  FskModem same;
  push(same, head);
  same.setBaud(BaudRate::Baud45);
  same.setThreshold(58.0);
  EXPECT_EQ(push(same, {last}), "A") << "same rate and a new threshold keep the ring";
}

TEST(ReceiverPowers, MatchTheKnownFiguresAndDecisions) {
  std::vector<uint8_t> silent(22, 128);
  TonePowers p = measureSubWindow(widenSamples(silent).data(), 22);
  EXPECT_TRUE(p.silent);
  EXPECT_EQ(p.peak, 0);

  // No level gate: one sample of 129 at the start still has a "tone".
  std::vector<uint8_t> blip(22, 128);
  blip[0] = 129;
  p = measureSubWindow(widenSamples(blip).data(), 22);
  EXPECT_NEAR(p.space, 44.1, 0.05);
  EXPECT_NEAR(p.mark, 44.8, 0.05);
  FskModem modem;
  EXPECT_EQ(modem.decisionFor(p), 1) << "threshold 40";
  modem.setThreshold(FskModem::thresholdForSensitivity(30));
  EXPECT_DOUBLE_EQ(modem.threshold(), 58.0);
  EXPECT_EQ(modem.decisionFor(p), 0) << "threshold 58";

  // Clean tones, any phase and amplitude.
  for (double phase : {0.0, 1.0, 2.5}) {
    for (double amplitude : {10.0, 120.0}) {
      std::vector<uint8_t> mark = tone(1400, 22, 8000, amplitude, phase);
      p = measureSubWindow(widenSamples(mark).data(), 22);
      EXPECT_NEAR(p.mark, 497, 25);  // 473..514 with the phase
      EXPECT_LT(p.space, 15);
      EXPECT_EQ(modem.decisionFor(p), 1);
      std::vector<uint8_t> space = tone(1800, 22, 8000, amplitude, phase);
      p = measureSubWindow(widenSamples(space).data(), 22);
      EXPECT_NEAR(p.space, 488, 15);
      EXPECT_LT(p.mark, 15);
      EXPECT_EQ(modem.decisionFor(p), -1);
    }
  }
  // At 50 baud a sub-window is 20 samples: about 400.
  std::vector<uint8_t> mark = tone(1400, 20, 8000, 100, 0.3);
  EXPECT_NEAR(measureSubWindow(widenSamples(mark).data(), 20).mark, 400, 20);
}

TEST(ReceiverBlocks, SilenceAndSteadyTonesGiveNoCharacters) {
  FskModem modem;
  const std::vector<int16_t> silence(1408, 0);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(modem.demodulateBlock(silence.data(), 1408));
  EXPECT_EQ(modem.peak(), 0.0);
  for (double hz : {1400.0, 1800.0}) {
    const std::vector<int16_t> steady = widenSamples(tone(hz, 1408 * 10, 8000, 90));
    for (int i = 0; i < 10; ++i)
      EXPECT_FALSE(modem.demodulateBlock(steady.data() + 1408 * i, 1408)) << hz;
  }
  // Degenerate blocks are safe and give nothing.
  EXPECT_FALSE(modem.demodulateBlock(nullptr, 1408));
  EXPECT_FALSE(modem.demodulateBlock(silence.data(), 0));
  EXPECT_FALSE(modem.demodulateBlock(silence.data(), 21));
}

TEST(ReceiverBlocks, PeakIsTheLastSubWindowsLargestDeviation) {
  FskModem modem;
  std::vector<uint8_t> block(1408, 128);
  block[10] = 250;        // first sub-window: +122
  block[1408 - 5] = 78;   // last sub-window: -50
  block[1408 - 3] = 170;  //                  +42
  modem.demodulateBlock(widenSamples(block).data(), 1408);
  EXPECT_EQ(modem.peak(), 50.0);
  modem.setBaud(BaudRate::Baud50);
  std::vector<uint8_t> block50(1280, 128);
  block50[1280 - 20] = 0;  // first sample of the last 20-sample sub-window
  modem.demodulateBlock(widenSamples(block50).data(), 1280);
  EXPECT_EQ(modem.peak(), 128.0);
}

TEST(ReceiverBlocks, LineControlsAreMappedBeforeDelivery) {
  // H CR LF I: the carriage return never arrives, the line feed is a space.
  FskModem modem;
  std::vector<uint8_t> signal(500, 128);
  const std::vector<uint8_t> frames = fskFrames({5, 2, 8, 12}, 45.45, 2.0);
  signal.insert(signal.end(), frames.begin(), frames.end());
  EXPECT_EQ(receiveText(modem, signal), "H I");
}

TEST(ReceiverBlocks, TwoCharactersCompletedInOneBlockAreBothDelivered) {
  // With 1.5 stop bits a character is 1320 samples, shorter than a 1408
  // block, so some leading offsets complete two frames in one block.
  const std::vector<uint8_t> frames = fskFrames({20, 1, 18, 14, 16, 28, 6}, 45.45, 1.5);  // STDCEUN
  bool sawTwoInOneBlock = false;
  for (int lead = 0; lead < 1408; lead += 11) {
    std::vector<uint8_t> signal(lead, 128);
    signal.insert(signal.end(), frames.begin(), frames.end());
    signal.resize(signal.size() + 2 * 1408, 128);
    const std::vector<int16_t> wide = widenSamples(signal);

    FskModem modem;
    std::string text;
    for (std::size_t at = 0; at + 1408 <= wide.size(); at += 1408) {
      std::optional<unsigned char> first = modem.demodulateBlock(wide.data() + at, 1408);
      if (!first) continue;
      text.push_back(static_cast<char>(*first));
      if (std::optional<unsigned char> second = modem.takePending()) {
        sawTwoInOneBlock = true;
        text.push_back(static_cast<char>(*second));
      }
      EXPECT_EQ(modem.pending(), 0) << "taking the pending character empties the slot";
    }
    EXPECT_EQ(text, "STDCEUN") << "lead " << lead;
  }
  EXPECT_TRUE(sawTwoInOneBlock);
}

TEST(ReceiverBlocks, TextReceiverDeliversBackspaceAsAnErasure) {
  // A B backspace C, then a backspace with nothing left to erase first.
  for (int piece : {1, 97, 1408, 100000}) {
    FskModem modem;
    std::vector<uint8_t> signal(300, 128);
    const std::vector<uint8_t> frames = fskFrames({0, 24, 19, 0, 14}, 45.45, 2.0);
    signal.insert(signal.end(), frames.begin(), frames.end());
    const std::vector<int16_t> wide = widenSamples(signal);
    TextReceiver receiver(modem);
    for (std::size_t at = 0; at < wide.size(); at += piece)
      receiver.feed(wide.data() + at, std::min<std::size_t>(piece, wide.size() - at));
    EXPECT_EQ(receiver.finish(), "AC") << "fed in pieces of " << piece;
  }
}

TEST(ReceiverBlocks, FiftyBaudAndSlightlyOffRatesDecode) {
  struct Case {
    double baud;
    BaudRate selector;
    double stop;
  };
  for (const Case& c : {Case{45.45, BaudRate::Baud45, 2.0}, Case{45.45, BaudRate::Baud45, 1.5},
                        Case{50.0, BaudRate::Baud50, 2.0}, Case{50.0, BaudRate::Baud50, 1.5},
                        Case{45.0, BaudRate::Baud45, 1.5}, Case{45.9, BaudRate::Baud45, 2.0}}) {
    FskModem modem;
    modem.setBaud(c.selector);
    modem.setThreshold(58.0);
    // THE QUICK 1234 : T H E space Q U I C K space FIGS 1 2 3 4
    std::vector<uint8_t> signal(777, 128);
    const std::vector<uint8_t> frames =
        fskFrames({31, 1, 5, 16, 4, 29, 28, 12, 14, 30, 4, 27, 29, 25, 16, 10}, c.baud, c.stop);
    signal.insert(signal.end(), frames.begin(), frames.end());
    EXPECT_EQ(receiveText(modem, signal), "THE QUICK 1234")
        << c.baud << " baud, " << c.stop << " stop bits";
  }
}

TEST(ReceiverSixteenBit, WeakSignalsDecodeWhileSilenceAndNoiseGiveNothing) {
  // THE QUICK 1234, after a little silence.
  const std::vector<int> codes = {31, 1, 5, 16, 4, 29, 28, 12, 14, 30, 4, 27, 29, 25, 16, 10};
  struct Level {
    const char* name;
    double peak;  // in 16-bit units
  };
  // 0.15 % of full scale is about -57 dBFS: 49 steps of 16 bits, less than
  // one step of 8 bits, so an 8-bit input would have heard only silence.
  for (const Level& level :
       {Level{"0.15 % of full scale", 0.0015 * 32767}, Level{"1 % of full scale", 0.01 * 32767},
        Level{"full scale", 32767}}) {
    for (const auto& [selector, baud] :
         {std::pair{BaudRate::Baud45, 45.45}, std::pair{BaudRate::Baud50, 50.0}}) {
      std::vector<double> wave(777, 0.0);
      const std::vector<double> frames = fskWave(codes, baud, 1.5);
      wave.insert(wave.end(), frames.begin(), frames.end());
      FskModem modem;
      modem.setBaud(selector);
      modem.setThreshold(58.0);
      const std::vector<int16_t> input = toS16(wave, level.peak);
      EXPECT_EQ(receiveText(modem, input.data(), input.size()), "THE QUICK 1234")
          << level.name << ", baud " << baud;
    }
  }

  // Thirty seconds of digital silence, and of white noise from below one
  // 16-bit step to a level that clips, at both stock thresholds.
  const std::size_t count = 30 * 8000;
  for (double sigma : {0.0, 0.4, 3.0, 60.0, 2000.0, 20000.0}) {
    const std::vector<float> noise = whiteNoise(count, sigma, 11);
    const std::vector<double> wide(noise.begin(), noise.end());
    const std::vector<int16_t> input = toS16(wide, 1.0);
    for (double threshold : {40.0, 58.0}) {
      FskModem modem;
      modem.setThreshold(threshold);
      EXPECT_EQ(receiveText(modem, input.data(), input.size()), "")
          << "noise sigma " << sigma << ", threshold " << threshold;
    }
  }
}

}  // namespace
}  // namespace quelto
