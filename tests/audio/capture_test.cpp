// Signal capture: "ABC" typed in capture mode, the WAV file it saves, and the
// cases where nothing is written.
#include "audio/memory_sound_device.h"
#include "audio/signal_capture.h"
#include "audio/sound_stream.h"
#include "modem/fsk_modem.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quelto {
namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::vector<std::uint8_t> slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

TEST(CaptureTest, TypingAbcFillsTheBufferAndSavesAnExactWav) {
  MemorySoundDevice device;
  StreamOptions options;
  options.addPadBits = true;  // pads and trailer never reach the capture
  SignalCapture capture;
  capture.setCaptureMode(true);
  SoundStream stream(device, options, capture, [](int) {});

  FskModem modem;
  const unsigned char abc[] = {'A', 'B', 'C'};
  std::vector<std::uint8_t> batch(kBatchBufferSize);
  const int n = modem.renderBatch(abc, 3, batch.data(), kBatchBufferSize);
  ASSERT_EQ(n, 3 * 3880);
  EXPECT_EQ(stream.writeOutput(batch.data(), static_cast<std::size_t>(n)), 11640u);
  EXPECT_TRUE(device.playedSamples().empty());

  const std::string path = ::testing::TempDir() + "quelto-abc.wav";
  std::remove(path.c_str());
  const mode_t oldMask = ::umask(022);
  ASSERT_TRUE(capture.saveCapture(path));
  ::umask(oldMask);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the capture holds the call's text";
  const std::vector<std::uint8_t> wav = slurp(path);
  ASSERT_EQ(wav.size(), 44u + 11640u);
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(le32(wav, 4), 11676u);
  EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(le32(wav, 16), 16u);
  EXPECT_EQ(le16(wav, 20), 1);
  EXPECT_EQ(le16(wav, 22), 1);
  EXPECT_EQ(le32(wav, 24), 22050u);
  EXPECT_EQ(le32(wav, 28), 22050u);
  EXPECT_EQ(le16(wav, 32), 1);
  EXPECT_EQ(le16(wav, 34), 8);
  EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
  EXPECT_EQ(le32(wav, 40), 11640u);
  EXPECT_TRUE(std::equal(wav.begin() + 44, wav.end(), batch.begin()));
  EXPECT_EQ(capture.captured().size(), 11640u);  // saving keeps the buffer
  std::remove(path.c_str());
}

TEST(CaptureTest, NothingIsWrittenWithoutCaptureModeOrSamplesOrAWritableFile) {
  const std::string path = ::testing::TempDir() + "quelto-none.wav";
  std::remove(path.c_str());
  SignalCapture capture;
  const std::uint8_t s[3] = {1, 2, 3};

  capture.append(s, 3);
  EXPECT_FALSE(capture.saveCapture(path));  // capture mode off
  capture.setCaptureMode(true);
  capture.clearCapture();
  EXPECT_FALSE(capture.saveCapture(path));  // empty buffer
  EXPECT_FALSE(std::filesystem::exists(path));

  capture.append(s, 3);
  EXPECT_FALSE(capture.saveCapture(::testing::TempDir() + "no-such-dir/x.wav"));
  EXPECT_TRUE(capture.saveCapture(path));
  EXPECT_EQ(slurp(path).size(), 47u);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace quelto
