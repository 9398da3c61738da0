#include "modem/fsk_modem.h"
#include "modem/line_signal.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace quelto {
namespace {

using namespace quelto::testing;

// What Quelto puts on the line at 22050/s, as a receiver sampling at 8000/s
// hears it, optionally with white noise. With QUELTO_TEST_AUDIO_DIR set,
// every line signal is also written there as a WAV file to listen to.
std::vector<uint8_t> overTheLine(const std::vector<uint8_t>& sent, double snrDb = INFINITY,
                                 unsigned seed = 1) {
  std::vector<float> line = resample(toFloat(sent), kTextOutputRate, kReceiveRate);
  for (float& v : line) v *= 0.25f;  // room for the noise below full scale
  if (std::isfinite(snrDb)) addNoise(line, kReceiveRate, snrDb, seed);
  std::vector<uint8_t> heard = toU8(line);
  if (const char* dir = std::getenv("QUELTO_TEST_AUDIO_DIR")) {
    static int count = 0;
    writeWavU8(std::string(dir) + "/loopback-" + std::to_string(++count) + ".wav", heard,
               kReceiveRate);
  }
  return heard;
}

struct LoopCase {
  std::string typed;
  std::string shown;
};

const std::vector<LoopCase> kTexts = {
    {"HELLO GA", "HELLO GA"},
    {"A1 B", "A1 B"},
    {"call 555-1234 at 9:30, ok?", "CALL 555-1234 AT 9:30, OK?"},
    {"$12.50 (TAX) = \"ok\" / 'yes' + ; !", "$12.50 (TAX) = \"OK\" / 'YES' + ; !"},
    {"99 88\r\n77 X", "99 88 77 X"},  // CR dropped, LF as a space
    {"\xE9t\xE9 \xE0 l'\xEEle, gar\xE7on", "ETE A L'ILE, GARCON"},
    {"12345678901234567890 ABCDEFGH", "12345678901234567890 ABCDEFGH"},
    {"AB\bC", "AC"},
};

TEST(Loopback, TextCrossingShiftsComesBackExactlyAtBothRates) {
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    for (const LoopCase& c : kTexts) {
      FskModem tx;
      tx.setBaud(baud);
      const std::vector<uint8_t> heard = overTheLine(renderTextSignal(tx, c.typed));
      for (double sensitivity : {30.0, 50.0}) {
        FskModem rx;
        rx.setBaud(baud);
        rx.setThreshold(FskModem::thresholdForSensitivity(sensitivity));
        EXPECT_EQ(receiveText(rx, heard), c.shown)
            << "baud " << storedBaudRate(baud) << " sensitivity " << sensitivity;
      }
    }
  }
}

TEST(Loopback, SurvivesNoiseAtSixDecibels) {
  for (BaudRate baud : {BaudRate::Baud45, BaudRate::Baud50}) {
    FskModem tx;
    tx.setBaud(baud);
    const std::string typed = "THE 5 BOXING WIZARDS JUMP QUICKLY 1234567890 GA SK";
    const std::vector<uint8_t> heard = overTheLine(renderTextSignal(tx, typed), 6.0, 7);
    FskModem rx;
    rx.setBaud(baud);
    rx.setThreshold(58.0);
    EXPECT_EQ(receiveText(rx, heard), typed)
        << "baud " << storedBaudRate(baud);
  }
}

TEST(SignalHelpers, GeneratorsMeasureAsIntended) {
  // A tone of amplitude 100 has power 5000 at its own frequency only.
  const std::vector<uint8_t> t = tone(1400, 8000, 8000, 100);
  EXPECT_NEAR(tonePower(t.data(), 8000, 1400, 8000), 5000, 50);
  EXPECT_LT(tonePower(t.data(), 8000, 1800, 8000), 5);
  // Frames are (1 + 5 + stop) bits of rate / baud samples.
  EXPECT_EQ(fskFrames({1, 2}, 50, 2.0).size(), 2u * 8 * 160);
  EXPECT_NEAR(static_cast<double>(fskFrames(std::vector<int>(10, 0), 45.45, 1.5).size()),
              10 * 7.5 * 8000 / 45.45, 1.0);
  // The noise really is at the asked SNR, measured against the tone power.
  std::vector<float> line = toFloat(tone(1400, 80000, 8000, 50));
  const std::vector<float> clean = line;
  addNoise(line, 8000, 3.0, 5);
  double noise = 0.0;
  for (std::size_t i = 0; i < line.size(); ++i)
    noise += (line[i] - clean[i]) * (line[i] - clean[i]);
  noise /= line.size();
  EXPECT_NEAR(10 * std::log10(activeSignalPower(clean, 8000) / noise), 3.0, 0.1);
  // Resampling keeps the tone's frequency.
  const std::vector<uint8_t> down =
      toU8(resample(toFloat(tone(1800, 22050, 22050, 100)), 22050, 8000));
  EXPECT_NEAR(tonePower(down.data() + 100, 7000, 1800, 8000), 5000, 300);
}

}  // namespace
}  // namespace quelto
