#include "modem/fsk_modem.h"
#include "modem/line_signal.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace quelto {
namespace {

using testing::tonePower;

// Reads the bits of a rendered character back by comparing the two tones'
// power in each bit (middle 80% of it), so a waveform is checked for what
// it puts on the line rather than against a copy of its own formula.
std::vector<bool> bitsOf(const SampleSpan& w, int samplesPerBit) {
  std::vector<bool> bits;
  for (int at = 0; at + samplesPerBit <= w.length; at += samplesPerBit) {
    const uint8_t* mid = w.data + at + samplesPerBit / 10;
    const int n = samplesPerBit * 8 / 10;
    const double mark = tonePower(mid, n, 1400, kTextOutputRate);
    const double space = tonePower(mid, n, 1800, kTextOutputRate);
    EXPECT_GT(std::max(mark, space), 50 * std::min(mark, space)) << "one clean tone per bit";
    bits.push_back(mark > space);
  }
  return bits;
}

TEST(TransmitWaveforms, EveryCodeAtBothRatesHasTheRightBitsLengthAndLevels) {
  const CharacterWaveforms& w = characterWaveforms();
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    const int bit = samplesPerTransmitBit(baud);
    for (int code = 0; code < 32; ++code) {
      const SampleSpan s = w.of(baud, code);
      ASSERT_EQ(s.length, baud == BaudRate::Baud45 ? 3880 : 3528);
      std::vector<bool> want = {false};
      for (int b = 16; b >= 1; b >>= 1) want.push_back((code & b) != 0);
      want.insert(want.end(), {true, true});
      EXPECT_EQ(bitsOf(s, bit), want) << "baud " << storedBaudRate(baud) << " code " << code;
      EXPECT_EQ(s.data[0], 128) << "every character starts at phase 0";
      for (int i = 0; i < s.length; ++i) {
        ASSERT_GE(s.data[i], 3);
        ASSERT_LE(s.data[i], 253);
        // Phase-continuous: no step larger than the space tone's.
        if (i > 0) {
          ASSERT_LE(std::abs(s.data[i] - s.data[i - 1]), 66) << code << " at " << i;
        }
      }
    }
  }
  // Known values: code 0 at 45.45 baud starts 128, trunc(125 sin 0.51291...) + 128.
  EXPECT_EQ(w.of(BaudRate::Baud45, 0).data[1], 189);
  EXPECT_TRUE(w.of(BaudRate::Baud45, 32).empty());
  EXPECT_TRUE(w.of(BaudRate::Baud50, -1).empty());
}

TEST(TransmitRender, ShiftCodesAreRenderedInFrontOfTheCharacter) {
  const CharacterWaveforms& w = characterWaveforms();
  FskModem modem;
  modem.setShift(FIGS);
  SampleSpan s = modem.renderChar('t');
  ASSERT_EQ(s.length, 7760);
  EXPECT_EQ(std::vector<uint8_t>(s.data, s.data + 3880),
            std::vector<uint8_t>(w.of(BaudRate::Baud45, LTRS).data,
                                 w.of(BaudRate::Baud45, LTRS).data + 3880));
  EXPECT_EQ(
      std::vector<uint8_t>(s.data + 3880, s.data + 7760),
      std::vector<uint8_t>(w.of(BaudRate::Baud45, 1).data, w.of(BaudRate::Baud45, 1).data + 3880));
  EXPECT_EQ(modem.shift(), LTRS);

  EXPECT_EQ(modem.renderChar('T').length, 3880);
  EXPECT_TRUE(modem.renderChar('@').empty());
  EXPECT_EQ(modem.shift(), LTRS) << "a rejected character leaves the page alone";
  modem.setBaud(BaudRate::Baud50);
  EXPECT_EQ(modem.renderChar('7').length, 2 * 3528);
}

TEST(TransmitRender, BatchesHoldUpToEightCharactersAndSkipRejectedOnes) {
  std::vector<uint8_t> out(kBatchBufferSize);
  FskModem modem;
  modem.setBaud(BaudRate::Baud50);
  const std::string eight = "ABCDEFGH";
  auto chars = [](const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
  };
  EXPECT_EQ(modem.renderBatch(chars(eight), 8, out.data(), kBatchBufferSize), 28224);
  EXPECT_EQ(modem.renderBatch(chars("ABCDEFGHIJ"), 10, out.data(), kBatchBufferSize), 28224)
      << "only eight characters per batch";
  EXPECT_EQ(modem.renderBatch(chars("A@B"), 3, out.data(), kBatchBufferSize), 2 * 3528);

  // The worst case fills the documented buffer: 8 characters each with a shift.
  modem.setBaud(BaudRate::Baud45);
  EXPECT_EQ(modem.renderBatch(chars("1A2B3C4D"), 8, out.data(), kBatchBufferSize), 62080);
  // A buffer too small for the batch gets the characters that fit whole.
  EXPECT_EQ(modem.renderBatch(chars("ABC"), 3, out.data(), 3880 * 2 + 100), 3880 * 2);
}

TEST(TransmitRender, TextSignalIsBatchesEachFollowedByTheTrailer) {
  FskModem modem;
  modem.setBaud(BaudRate::Baud50);
  const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
  const std::vector<uint8_t> signal = renderTextSignal(modem, twenty);
  ASSERT_EQ(signal.size(), 3u * 4096 + 20u * 3528);
  // Batches of 8, 8 and 4 characters, each followed by silence.
  std::size_t at = 0;
  for (int batch : {8, 8, 4}) {
    at += static_cast<std::size_t>(batch) * 3528;
    for (std::size_t i = at; i < at + 4096; ++i) ASSERT_EQ(signal[i], 128) << "trailer at " << i;
    EXPECT_NE(signal[at - 1], 128);
    at += 4096;
  }
  EXPECT_TRUE(renderTextSignal(modem, "").empty());
}

TEST(TransmitHeldCarrier, OneUnbrokenToneThatPutsAFarEndBackInStep) {
  struct Case {
    std::string typed;
    ShiftState farEndPage;  // the page a far end that lost a shift is on
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"HELLO", FIGS, "HELLO"},                           // LTRS sent though we are in letters
      {" 123", LTRS, " 123"},                             // the first page character is the one
      {"THANK YOU\rSEE YOU", LTRS, "THANK YOU SEE YOU"},  // Enter is CR LF
      {"A", FIGS, "A"},
  };
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    for (const Case& c : cases) {
      FskModem tx;
      tx.setBaud(baud);
      const std::vector<uint8_t> signal = renderHeldCarrierSignal(tx, c.typed);
      const std::size_t body = signal.size() - kOutputTrailerSamples;
      // Lead-in and hold of mark around the characters, then the trailer.
      const double markPower = tonePower(signal.data(), kLeadInSamples, 1400, 22050);
      EXPECT_GT(markPower, 7000) << "lead-in is mark";
      EXPECT_GT(tonePower(signal.data() + body - kHoldSamples, kHoldSamples, 1400, 22050), 7000)
          << "hold is mark";
      for (std::size_t i = body; i < signal.size(); ++i) ASSERT_EQ(signal[i], 128);
      // Continuous phase: no step between two samples larger than the
      // fastest tone makes (125 x 2 pi x 1800 / 22050 = 64, plus rounding).
      for (std::size_t i = 1; i < body; ++i)
        ASSERT_LE(std::abs(signal[i] - signal[i - 1]), 66) << c.typed << " at " << i;

      FskModem rx;
      rx.setBaud(baud);
      rx.setShift(c.farEndPage);
      rx.setThreshold(58.0);
      const std::vector<uint8_t> line =
          testing::toU8(testing::resample(testing::toFloat(signal), 22050, 8000));
      EXPECT_EQ(receiveText(rx, line), c.shown) << c.typed;
    }
  }
}

TEST(ReceiveUnshiftOnSpace, ASpaceReturnsToLettersOnlyWhenAsked) {
  // "CALL 911 NOW" as a sender that counts on unshift-on-space sends it:
  // FIGS before 911, no LTRS after the space.
  const std::vector<int> codes = {14, 24, 9, 9, 4, 27, 3, 29, 29, 4, 6, 3, 25};
  std::vector<uint8_t> signal(500, 128);
  const std::vector<uint8_t> frames = testing::fskFrames(codes, 45.45, 1.5);
  signal.insert(signal.end(), frames.begin(), frames.end());
  for (const auto& [on, shown] :
       {std::pair{true, "CALL 911 NOW"}, std::pair{false, "CALL 911 ,92"}}) {
    FskModem rx;
    rx.setUnshiftOnSpace(on);
    EXPECT_EQ(receiveText(rx, signal), shown);
  }
}

}  // namespace
}  // namespace quelto
