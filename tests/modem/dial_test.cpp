#include "modem/fsk_modem.h"
#include "modem/line_signal.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace quelto {
namespace {

using testing::tonePower;

TEST(DialTones, EachKeyHasItsTwoTonesThenSilence) {
  struct Key {
    char ch;
    double low, high;
  };
  const std::vector<Key> keys = {{'0', 941, 1336}, {'1', 697, 1209}, {'2', 697, 1336},
                                 {'3', 697, 1477}, {'4', 770, 1209}, {'5', 770, 1336},
                                 {'6', 770, 1477}, {'7', 852, 1209}, {'8', 852, 1336},
                                 {'9', 852, 1477}, {'*', 941, 1209}, {'#', 941, 1477}};
  const std::vector<double> all = {697, 770, 852, 941, 1209, 1336, 1477, 1633};
  FskModem modem;
  for (const Key& k : keys) {
    const SampleSpan s = modem.dialToneFor(k.ch);
    ASSERT_EQ(s.length, 4800) << k.ch;
    EXPECT_EQ(s.data[0], 128) << k.ch;
    for (int i = 0; i < 2400; ++i) {
      ASSERT_GE(s.data[i], 38);
      ASSERT_LE(s.data[i], 218);
    }
    for (int i = 2400; i < 4800; ++i) ASSERT_EQ(s.data[i], 128) << k.ch << " gap at " << i;
    // The high group 0 to 2 dB above the low group (telephone twist), the
    // two together peaking at 90 as before; no other key tone.
    const double low = tonePower(s.data, 2400, k.low, kDialRate);
    const double high = tonePower(s.data, 2400, k.high, kDialRate);
    const double twistDb = 10.0 * std::log10(high / low);
    EXPECT_GT(twistDb, 0.0) << k.ch;
    EXPECT_LT(twistDb, 2.0) << k.ch;
    EXPECT_NEAR(std::sqrt(2.0 * low) + std::sqrt(2.0 * high), 90.0, 2.0) << k.ch;
    int top = 0;
    for (int i = 0; i < 2400; ++i) top = std::max(top, std::abs(s.data[i] - 128));
    EXPECT_GE(top, 85) << k.ch << ": the tones still add up to the full peak";
    for (double f : all) {
      if (f != k.low && f != k.high) {
        EXPECT_LT(tonePower(s.data, 2400, f, kDialRate), 20) << k.ch << " " << f;
      }
    }
  }
  for (char other : {':', ';', 'A', ' ', '-', '(', '+', 'p', '\0'})
    EXPECT_TRUE(modem.dialToneFor(other).empty());
}

std::string describe(const std::vector<DialStep>& plan) {
  std::string out;
  for (const DialStep& s : plan) {
    if (s.kind == DialStep::Kind::Pause) {
      EXPECT_EQ(s.pauseMs, 500);
      out += ',';
    } else {
      EXPECT_EQ(s.samples.length, 4800);
      out += s.key;
    }
  }
  return out;
}

TEST(DialPlan, KeepsKeysAndPausesAndSkipsEverythingElse) {
  FskModem modem;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"9,5551234", "9,5551234"},
      {"(514) 555-1234", "5145551234"},
      {"*67#,,0", "*67#,,0"},
      {"1:2;3 ext. 4", "1234"},
      {"", ""},
      {"CALL ME", ""},
  };
  for (const auto& [number, plan] : cases)
    EXPECT_EQ(describe(modem.dialPlan(number)), plan) << number;
  const std::vector<DialStep> plan = modem.dialPlan("5");
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].samples.data, modem.dialToneFor('5').data)
      << "steps point into the modem's table";
}

TEST(DialPlan, DialSignalIsKeysWithTrailersAndPausesOfSilence) {
  FskModem modem;
  const std::vector<uint8_t> signal = renderDialSignal(modem, "9,5");
  ASSERT_EQ(signal.size(), 2u * (4800 + 4096) + 4000);
  const SampleSpan nine = modem.dialToneFor('9');
  const SampleSpan five = modem.dialToneFor('5');
  EXPECT_TRUE(std::equal(nine.data, nine.data + 4800, signal.begin()));
  for (std::size_t i = 4800; i < 4800 + 4096 + 4000; ++i) ASSERT_EQ(signal[i], 128);
  EXPECT_TRUE(std::equal(five.data, five.data + 4800, signal.begin() + 4800 + 4096 + 4000));
}

}  // namespace
}  // namespace quelto
