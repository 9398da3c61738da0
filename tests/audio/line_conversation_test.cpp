// Two modems hold a conversation over the simulated line, both ways, at both
// rates, clean and with noise.
#include "audio/rate_conversion.h"
#include "tests/audio/line_simulator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quelto {
namespace {

using namespace std::chrono_literals;

TEST(LineNoiseTest, NoiseHasThePowerItsRatioAsksFor) {
  LineNoise noise(12.0, 7);
  std::vector<std::int16_t> silence(200000, 0);
  noise.add(silence.data(), silence.size());
  double sum = 0, energy = 0;
  for (std::int16_t s : silence) {
    sum += s / 256.0;
    energy += (s / 256.0) * (s / 256.0);
  }
  const double mean = sum / silence.size();
  const double power = energy / silence.size() - mean * mean;
  // A full-scale tone has power 125^2 / 2 on the 8-bit scale; 12 dB below
  // is 493.
  EXPECT_NEAR(10 * std::log10(125.0 * 125.0 / 2 / power), 12.0, 0.2);
  EXPECT_NEAR(mean, 0.0, 0.3);
}

TEST(LineNoiseTest, ResamplingKeepsTheToneFrequency) {
  std::vector<std::uint8_t> tone(22050);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] =
        static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(2 * M_PI * 1400 * i / 22050.0)));
  const std::vector<std::uint8_t> line =
      convertRate8(tone.data(), tone.size(), 22050, 8000, RateQuality::Best);
  EXPECT_NEAR(static_cast<double>(line.size()), 8000, 2);
  int crossings = 0;
  for (std::size_t i = 1001; i < 7000; ++i) crossings += (line[i - 1] < 128) != (line[i] < 128);
  // 1400 Hz over 5999 samples at 8000/s: 2 crossings per cycle.
  EXPECT_NEAR(crossings, 2 * 1400 * 5999 / 8000.0, 4);
}

struct LineCase {
  BaudRate baud;
  std::optional<double> snrDb;
};

class LineConversationTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineConversationTest, BothWaysEveryCharacterInOrder) {
  const LineCase c = GetParam();
  LineSimulator::Options options;
  options.snrDb = c.snrDb;
  LineSimulator line(options);
  line.a().control->setLineParameters(30, c.baud);
  line.b().control->setLineParameters(30, c.baud);
  ASSERT_TRUE(line.start());

  const std::string hello = "HELLO THIS IS A 123-456 (TEST) GA";
  LineSimulator::type(line.a(), hello);
  EXPECT_EQ(LineSimulator::receive(line.b(), hello.size(), 60s), hello);

  // Like a person at a real TDD, answer once the far end has stopped
  // sending and listens again: the line is half duplex.
  ASSERT_TRUE(LineSimulator::waitListening(line.a(), 10s));
  const std::string reply = "YES I READ YOU, 99 OK? GA SK";
  LineSimulator::type(line.b(), reply);
  EXPECT_EQ(LineSimulator::receive(line.a(), reply.size(), 60s), reply);
}

INSTANTIATE_TEST_SUITE_P(Rates, LineConversationTest,
                         ::testing::Values(LineCase{BaudRate::Baud45, std::nullopt},
                                           LineCase{BaudRate::Baud50, std::nullopt},
                                           LineCase{BaudRate::Baud45, 12.0},
                                           LineCase{BaudRate::Baud50, 12.0}),
                         [](const ::testing::TestParamInfo<LineCase>& info) {
                           return std::string(info.param.baud == BaudRate::Baud45 ? "Baud45"
                                                                                  : "Baud50") +
                                  (info.param.snrDb ? "Snr12dB" : "Clean");
                         });

}  // namespace
}  // namespace quelto
