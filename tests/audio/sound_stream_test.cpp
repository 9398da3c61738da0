// SoundStream over the in-memory device: the half-duplex rules, reopening,
// pads and trailer, the failure table, capture mode and the raw dump.
#include "audio/sound_stream.h"
#include "audio/memory_sound_device.h"
#include "audio/sample_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quelto {
namespace {

using Kind = MemorySoundDevice::EventKind;

class SoundStreamTest : public ::testing::Test {
 protected:
  SoundStreamTest()
      : device({"Mic A", "Mic B"}, {"Speaker A", "Speaker B", "Speaker C"}),
        stream(device, options, capture, [this](int ms) { pauses.push_back(ms); }) {}

  // The device calls in order, reads left out and a run of plays (the
  // pieces of one write) counted as one.
  std::vector<Kind> kinds() const {
    std::vector<Kind> k;
    for (const auto& e : device.events())
      if (e.kind != Kind::Read && !(e.kind == Kind::Play && !k.empty() && k.back() == Kind::Play))
        k.push_back(e.kind);
    return k;
  }

  MemorySoundDevice::Event lastOf(Kind kind) const {
    MemorySoundDevice::Event last{kind};
    for (const auto& e : device.events())
      if (e.kind == kind) last = e;
    return last;
  }

  std::size_t read(std::size_t n) {
    block.assign(n, 0);
    return stream.readInput(block.data(), n);
  }

  std::size_t write(std::size_t n, std::uint8_t value = 200) {
    samples.assign(n, value);
    return stream.writeOutput(samples.data(), n);
  }

  MemorySoundDevice device;
  StreamOptions options;
  SignalCapture capture;
  std::vector<int> pauses;
  SoundStream stream;
  std::vector<std::int16_t> block;
  std::vector<std::uint8_t> samples;
};

TEST_F(SoundStreamTest, ReadAndWriteNeverLeaveBothDevicesOpen) {
  EXPECT_EQ(read(1408), 1408u);
  EXPECT_EQ(stream.mode(), StreamMode::InputOpen);
  EXPECT_EQ(write(100), 100u);
  EXPECT_EQ(stream.mode(), StreamMode::OutputOpen);
  EXPECT_EQ(read(1408), 1408u);
  EXPECT_EQ(kinds(),
            (std::vector<Kind>{Kind::OpenInput, Kind::CloseInput, Kind::OpenOutput, Kind::Play,
                               Kind::Drain, Kind::CloseOutput, Kind::OpenInput}));
  EXPECT_EQ(lastOf(Kind::OpenInput).rate, 8000);
  EXPECT_EQ(lastOf(Kind::OpenInput).length, 1408u);
  EXPECT_EQ(lastOf(Kind::OpenOutput).rate, 22050);
  EXPECT_EQ(stream.status(), StreamStatus::Ok);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(SoundStreamTest, InputStaysOpenBetweenReadsAndReopensOnBlockLengthChange) {
  read(1408);
  read(1408);
  EXPECT_EQ(device.count(Kind::OpenInput), 1u);
  read(1280);  // the baud rate changed
  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::OpenInput, Kind::CloseInput, Kind::OpenInput}));
  EXPECT_EQ(lastOf(Kind::OpenInput).length, 1280u);
}

TEST_F(SoundStreamTest, InputFollowsTheChosenDeviceByNameAndUsesTheDefaultWhileItIsMissing) {
  read(1408);
  EXPECT_EQ(lastOf(Kind::OpenInput).device, "");
  options.inputDevice.set("Mic B");
  read(1408);
  EXPECT_EQ(device.count(Kind::OpenInput), 2u);
  EXPECT_EQ(lastOf(Kind::OpenInput).device, "Mic B");
  EXPECT_FALSE(options.inputDeviceMissing);

  device.setDeviceNames({"Mic A"}, {"Speaker A"});  // Mic B unplugged
  read(1408);
  EXPECT_EQ(stream.inputDeviceInUse(), "");
  EXPECT_EQ(lastOf(Kind::OpenInput).device, "");
  EXPECT_EQ(options.inputDevice.get(), "Mic B");  // the choice is kept
  EXPECT_TRUE(options.inputDeviceMissing);
  // Further reads while it is missing do not reopen again and again.
  const std::size_t before = device.count(Kind::OpenInput);
  read(1408);
  EXPECT_EQ(device.count(Kind::OpenInput), before);

  device.setDeviceNames({"Mic A", "Mic B"}, {"Speaker A"});  // plugged in again
  read(1408);
  EXPECT_EQ(lastOf(Kind::OpenInput).device, "Mic B");
  EXPECT_FALSE(options.inputDeviceMissing);

  options.inputDevice.set("mic b");  // names are exact: letter case counts
  read(1408);
  EXPECT_EQ(lastOf(Kind::OpenInput).device, "");
  EXPECT_TRUE(options.inputDeviceMissing);
}

TEST_F(SoundStreamTest, OutputFollowsTheChosenDeviceAndReturnsToItWhenItComesBack) {
  write(10);
  options.outputDevice.set("Speaker C");
  write(10);
  EXPECT_EQ(device.count(Kind::OpenOutput), 2u);
  EXPECT_EQ(device.playbacks().back().device, "Speaker C");

  device.setDeviceNames({"Mic A"}, {"Speaker A", "Speaker B"});
  write(10);
  EXPECT_EQ(options.outputDevice.get(), "Speaker C");
  EXPECT_TRUE(options.outputDeviceMissing);
  EXPECT_EQ(stream.outputDeviceInUse(), "");
  EXPECT_EQ(device.playbacks().back().device, "");
  write(10);
  EXPECT_EQ(device.count(Kind::OpenOutput), 3u);  // settled: no more reopening

  device.setDeviceNames({"Mic A"}, {"Speaker A", "Speaker B", "Speaker C"});
  write(10);
  EXPECT_EQ(device.playbacks().back().device, "Speaker C");
  EXPECT_FALSE(options.outputDeviceMissing);
}

TEST_F(SoundStreamTest, OutputStaysOpenAtOneRateAndReopensWhenTheRateChanges) {
  write(10);
  write(10);
  EXPECT_EQ(device.count(Kind::OpenOutput), 1u);
  stream.setOutputRate(8000);
  write(10);
  stream.setOutputRate(22050);
  write(10);
  const auto sessions = device.playbacks();
  ASSERT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions[0].rate, 22050);
  EXPECT_EQ(sessions[1].rate, 8000);
  EXPECT_EQ(sessions[2].rate, 22050);
  EXPECT_EQ(sessions[0].samples.size(), 2 * (10 + 4096u));
}

TEST_F(SoundStreamTest, PadsAndTrailerSurroundEveryBlock) {
  struct Case {
    bool pads;
  };
  for (const Case& c : {Case{false}, Case{true}}) {
    SCOPED_TRACE(c.pads);
    device.clearRecord();
    options.addPadBits = c.pads;
    ASSERT_EQ(write(3000, 7), 3000u);
    // Handed to the device in pieces of at most 50 ms, so that a stop
    // request is seen between them.
    for (const auto& e : device.events()) {
      if (e.kind != Kind::Play) continue;
      EXPECT_LE(e.length, 22050u / 20);
    }
    EXPECT_EQ(device.count(Kind::Drain), 1u);

    const std::vector<std::uint8_t> played = device.playedSamples();
    std::vector<std::uint8_t> expected;
    if (c.pads) expected.insert(expected.end(), 352, 128);
    expected.insert(expected.end(), 3000, 7);
    if (c.pads) expected.insert(expected.end(), 352, 128);
    expected.insert(expected.end(), 4096, 128);
    EXPECT_EQ(played, expected);
  }
}

TEST_F(SoundStreamTest, CloseWaveAfterWriteOpensTheOutputAfreshForEveryWrite) {
  options.closeWaveAfterWrite = true;
  write(10);
  write(10);
  EXPECT_EQ(kinds(),
            (std::vector<Kind>{Kind::OpenOutput, Kind::Play, Kind::Drain, Kind::CloseOutput,
                               Kind::OpenOutput, Kind::Play, Kind::Drain, Kind::CloseOutput}));
  EXPECT_EQ(stream.mode(), StreamMode::Closed);
}

TEST_F(SoundStreamTest, FailureTable) {
  enum class Op { Read, ReadTooLong, Write };
  struct Row {
    const char* what;
    std::atomic<bool> MemorySoundDevice::*fault;
    Op op;
    StreamStatus status;
    std::vector<int> pauses;
    StreamMode modeAfter;
  };
  const std::vector<Row> rows = {
      {"read longer than 8192",
       nullptr,
       Op::ReadTooLong,
       StreamStatus::BufferFailed,
       {},
       StreamMode::Closed},
      {"input cannot be opened",
       &MemorySoundDevice::failOpenInput,
       Op::Read,
       StreamStatus::OpenFailed,
       {500},
       StreamMode::Closed},
      {"input read breaks",
       &MemorySoundDevice::failRead,
       Op::Read,
       StreamStatus::BufferFailed,
       {100},
       StreamMode::Closed},
      {"output cannot be opened",
       &MemorySoundDevice::failOpenOutput,
       Op::Write,
       StreamStatus::OpenFailed,
       {100},
       StreamMode::Closed},
      {"output buffer refused",
       &MemorySoundDevice::failPlay,
       Op::Write,
       StreamStatus::BufferFailed,
       {100},
       StreamMode::Closed},
      {"output does not drain",
       &MemorySoundDevice::failDrain,
       Op::Write,
       StreamStatus::BufferFailed,
       {100},
       StreamMode::Closed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MemorySoundDevice dev;
    StreamOptions opts;
    SignalCapture cap;
    std::vector<int> slept;
    SoundStream s(dev, opts, cap, [&](int ms) { slept.push_back(ms); });
    if (row.fault) (dev.*row.fault) = true;
    std::vector<std::uint8_t> buf(9000, 128);
    std::vector<std::int16_t> in(9000, 0);
    const std::size_t n = row.op == Op::ReadTooLong ? s.readInput(in.data(), 8193)
                          : row.op == Op::Read      ? s.readInput(in.data(), 1408)
                                                    : s.writeOutput(buf.data(), 500);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(s.status(), row.status);
    EXPECT_EQ(slept, row.pauses);
    EXPECT_EQ(s.mode(), row.modeAfter);
    EXPECT_FALSE(dev.inputOpen());
    EXPECT_FALSE(dev.outputOpen());

    // The next operation tries again and clears the status.
    if (row.fault) (dev.*row.fault) = false;
    const std::size_t again =
        row.op == Op::Write ? s.writeOutput(buf.data(), 500) : s.readInput(in.data(), 1408);
    EXPECT_GT(again, 0u);
    EXPECT_EQ(s.status(), StreamStatus::Ok);
  }
}

TEST_F(SoundStreamTest, ARefusedTrailerStillFailsTheWholeWrite) {
  device.failPlayAfter = 1;  // the block is accepted, the trailer refused
  EXPECT_EQ(write(100), 0u);
  EXPECT_EQ(stream.status(), StreamStatus::BufferFailed);
  EXPECT_EQ(device.count(Kind::Drain), 0u);
}

TEST_F(SoundStreamTest, CaptureModePlaysNothingWhileInputStillRecords) {
  capture.setCaptureMode(true);
  std::vector<std::int16_t> in(1408, -1234);
  device.feedInput(in);
  EXPECT_EQ(write(300, 9), 300u);
  EXPECT_EQ(read(1408), 1408u);
  EXPECT_EQ(block, in);
  EXPECT_EQ(device.count(Kind::OpenOutput), 0u);
  EXPECT_TRUE(device.playedSamples().empty());
  EXPECT_EQ(capture.captured(), std::vector<std::uint8_t>(300, 9));  // no pads, no trailer
}

TEST_F(SoundStreamTest, CaptureConvertsDialTonesAndAnnouncementsToTheTextRate) {
  // One second of 941 + 1336 Hz (the key 0) at 8000 samples/s must fill one
  // second of the 22050 samples/s capture and keep its two tones, or the
  // saved file plays it 2.76 times too fast and high.
  capture.setCaptureMode(true);
  std::vector<std::uint8_t> key(8000);
  for (std::size_t i = 0; i < key.size(); ++i)
    key[i] =
        static_cast<std::uint8_t>(128 + std::lround(42 * std::sin(2 * M_PI * 941 * i / 8000.0) +
                                                    48 * std::sin(2 * M_PI * 1336 * i / 8000.0)));
  EXPECT_EQ(write(100, 9), 100u);
  stream.setOutputRate(8000);
  EXPECT_EQ(stream.writeOutput(key.data(), key.size()), key.size());
  const std::vector<std::uint8_t> captured = capture.captured();
  ASSERT_NEAR(static_cast<double>(captured.size()), 100 + 22050, 2);
  EXPECT_TRUE(std::all_of(captured.begin(), captured.begin() + 100, [](auto v) { return v == 9; }));
  // Goertzel power at 22050 samples/s over the converted second.
  auto power = [&](double hz) {
    double s1 = 0, s2 = 0;
    const double c = 2 * std::cos(2 * M_PI * hz / 22050);
    const std::size_t n = captured.size() - 100;
    for (std::size_t i = 100; i < captured.size(); ++i) {
      const double s0 = (captured[i] - 128) + c * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - c * s1 * s2) * 2 / (double(n) * n);
  };
  EXPECT_NEAR(power(941), 42 * 42 / 2.0, 60);
  EXPECT_NEAR(power(1336), 48 * 48 / 2.0, 60);
  EXPECT_LT(power(941 * 2.75625), 10.0) << "played as if it were 22050 samples/s";
}

TEST_F(SoundStreamTest, AStopRequestEndsAWriteBetweenTwoPieces) {
  // A device whose play takes as long as its samples: the stop comes while
  // the first piece plays, and the write ends before the next one, with no
  // trailer and no drain, and without calling it a failure.
  bool stop = false;
  SoundStream s(device, options, capture, {}, [&] { return stop; });
  device.setPlayListener([&](int, const std::uint8_t*, std::size_t) { stop = true; });
  std::vector<std::uint8_t> tenSeconds(80000, 200);
  s.setOutputRate(8000);
  EXPECT_EQ(s.writeOutput(tenSeconds.data(), tenSeconds.size()), 0u);
  EXPECT_TRUE(s.stopped());
  EXPECT_EQ(s.status(), StreamStatus::Ok);
  EXPECT_EQ(device.count(Kind::Play), 1u);
  EXPECT_EQ(device.playedSamples().size(), 400u) << "one piece of 50 ms";
  EXPECT_EQ(device.count(Kind::Drain), 0u);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(SoundStreamTest, RawDumpHoldsExactlyTheBlocksReadInEightBits) {
  const std::string path = ::testing::TempDir() + "quelto-dump.raw";
  ASSERT_TRUE(capture.openRawDump(path));
  // Every 8-bit value, each widened and then given low bits that the 8-bit
  // dump must drop, not round: -32768 + 255 must stay 0, 32767 must be 255.
  std::vector<std::int16_t> fed;
  for (int i = 0; i < 1408 + 1280; ++i)
    fed.push_back(
        static_cast<std::int16_t>(widenSample(static_cast<std::uint8_t>(i * 7)) + (i * 13) % 256));
  device.feedInput(fed);
  read(1408);
  EXPECT_EQ(block, std::vector<std::int16_t>(fed.begin(), fed.begin() + 1408))
      << "the receiver gets the 16-bit samples untouched";
  write(50);  // nothing written to the dump while playing
  read(1280);
  std::vector<std::int16_t> tooLong(9000);
  stream.readInput(tooLong.data(), 9000);  // a refused read adds nothing
  capture.closeRawDump();

  std::ifstream f(path, std::ios::binary);
  const std::vector<std::uint8_t> dumped((std::istreambuf_iterator<char>(f)), {});
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 1408 + 1280; ++i) expected.push_back(static_cast<std::uint8_t>(i * 7));
  EXPECT_EQ(dumped, expected);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace quelto
