// The real PortAudio path, run through the audio test line (ALSA's file
// plugin, see test-line.asoundrc): what the stream plays lands in WAV files
// that the test reads back, and what it records comes from a file the test
// writes. No sound card is needed.
#include "audio/device_list.h"
#include "audio/portaudio_device.h"
#include "audio/rate_conversion.h"
#include "audio/sample_format.h"
#include "audio/sound_stream.h"
#include "modem/line_signal.h"
#include "modem/modem_control.h"
#include "tests/audio/line_simulator.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace quelto {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Wav {
  int rate = 0;
  std::vector<std::uint8_t> samples;
};

Wav readWav(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return {};
  std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_float(f, frames.data(), info.frames);
  sf_close(f);
  Wav wav{info.samplerate, {}};
  for (sf_count_t i = 0; i < got; ++i)
    wav.samples.push_back(static_cast<std::uint8_t>(
        std::clamp(std::lround(frames[static_cast<std::size_t>(i * info.channels)] * 128.0f) + 128,
                   0L, 255L)));
  return wav;
}

class PortAudioLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("quelto-line-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("QUELTO_LINE_OUT", (dir_ / "out").c_str(), 1);
    setenv("QUELTO_LINE_IN", (dir_ / "in.raw").c_str(), 1);
    setInput({});
  }
  void TearDown() override { fs::remove_all(dir_); }

  // What the line will feed on the next open of the input: raw signed
  // 16-bit little-endian, the stream's own format. Padded with silence:
  // past its end the plugin repeats the last samples.
  void setInput(std::vector<std::int16_t> samples) {
    samples.insert(samples.end(), 16000, 0);
    std::string bytes;
    for (std::int16_t s : samples) {
      bytes.push_back(static_cast<char>(static_cast<std::uint16_t>(s) & 0xff));
      bytes.push_back(static_cast<char>(static_cast<std::uint16_t>(s) >> 8));
    }
    std::ofstream(dir_ / "in.raw", std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  // Every file the line played into, in the order the streams were opened.
  std::vector<Wav> played() const {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().rfind("out-", 0) == 0) files.push_back(e.path());
    // out-R.wav, out-R.wav.0001, ...: order by the stream number, then rate.
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
      const auto num = [](const fs::path& p) {
        const std::string ext = p.extension().string();
        return ext == ".wav" ? 0 : std::atoi(ext.c_str() + 1);
      };
      return num(a) != num(b) ? num(a) < num(b) : a < b;
    });
    std::vector<Wav> wavs;
    for (const fs::path& f : files) wavs.push_back(readWav(f));
    return wavs;
  }

  fs::path dir_;
};

std::string decode(const std::vector<std::uint8_t>& samples, int rate,
                   BaudRate baud = BaudRate::Baud45) {
  const std::vector<std::uint8_t> line =
      convertRate8(samples.data(), samples.size(), rate, 8000, RateQuality::Best);
  FskModem receiver;
  receiver.setBaud(baud);
  return receiveText(receiver, line);
}

TEST_F(PortAudioLineTest, DevicesAreListedByName) {
  PortAudioDevice device;
  ASSERT_TRUE(device.hasInputDevice());
  const DeviceLists lists(device);
  EXPECT_EQ(lists.inputList().front(), "Default");
  EXPECT_GT(listIndex(lists.inputList(), "quelto_line_in"), 0);
  EXPECT_GT(listIndex(lists.outputList(), "quelto_line_out"), 0);
}

TEST_F(PortAudioLineTest, WritesArePlayedWholeTrailerIncludedAndReadsRecordTheLine) {
  // Every bit of the 16-bit samples reaches the reader.
  std::vector<std::int16_t> fed(3000);
  for (std::size_t i = 0; i < fed.size(); ++i)
    fed[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(i * 4093 + 1));
  setInput(fed);

  PortAudioDevice device;
  StreamOptions options;
  SignalCapture capture;
  SoundStream stream(device, options, capture);

  FskModem modem;
  const std::vector<std::uint8_t> text = renderTextSignal(modem, "QUELTO 123");
  // renderTextSignal adds the trailer the stream adds itself: play the batch.
  const std::size_t batch = text.size() - kOutputTrailerSamples;
  ASSERT_EQ(stream.writeOutput(text.data(), batch), batch);
  stream.setOutputRate(8000);
  const SampleSpan key = modem.dialToneFor('5');
  ASSERT_EQ(stream.writeOutput(key.data, static_cast<std::size_t>(key.length)), 4800u);
  stream.setOutputRate(22050);

  std::vector<std::int16_t> block(1408);
  ASSERT_EQ(stream.readInput(block.data(), 1408), 1408u);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), fed.begin()));
  ASSERT_EQ(stream.readInput(block.data(), 1408), 1408u);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), fed.begin() + 1408));
  EXPECT_EQ(stream.status(), StreamStatus::Ok);

  const std::vector<Wav> wavs = played();
  ASSERT_EQ(wavs.size(), 2u);
  EXPECT_EQ(wavs[0].rate, 22050);
  ASSERT_GE(wavs[0].samples.size(), batch + kOutputTrailerSamples);
  EXPECT_TRUE(std::equal(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(batch),
                         wavs[0].samples.begin()));
  EXPECT_TRUE(std::all_of(wavs[0].samples.begin() + static_cast<std::ptrdiff_t>(batch),
                          wavs[0].samples.end(), [](std::uint8_t s) { return s == 128; }));
  EXPECT_EQ(decode(wavs[0].samples, 22050), "QUELTO 123");
  EXPECT_EQ(wavs[1].rate, 8000);
  ASSERT_GE(wavs[1].samples.size(), 4800u + kOutputTrailerSamples);
  EXPECT_TRUE(std::equal(key.data, key.data + key.length, wavs[1].samples.begin()));
}

TEST_F(PortAudioLineTest, TheModemThreadReceivesAndSendsThroughTheLine) {
  // The far end's signal, made by the command-line tool when it is built,
  // otherwise by the same library code.
  const std::string heard = "GOOD MORNING 2 YOU";
  std::vector<std::uint8_t> far;
  if (const char* tool = std::getenv("QUELTO_MODEM_TOOL")) {
    const fs::path wav = dir_ / "far.wav";
    const std::string cmd = std::string(tool) + " encode -o " + wav.string() + " '" + heard + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const Wav w = readWav(wav);
    ASSERT_EQ(w.rate, 22050);
    far = convertRate8(w.samples.data(), w.samples.size(), 22050, 8000, RateQuality::Best);
    fs::remove(wav);
  } else {
    FskModem sender;
    const std::vector<std::uint8_t> s = renderTextSignal(sender, heard);
    far = convertRate8(s.data(), s.size(), 22050, 8000, RateQuality::Best);
  }
  setInput(widenSamples(far));

  PortAudioDevice device;
  StreamOptions options;
  SignalCapture capture;
  std::mutex mutex;
  {
    ModemControl control(mutex);
    control.start(device, {&options, &capture, {}});

    std::string received;
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (received.size() < heard.size() && std::chrono::steady_clock::now() < end) {
      for (const QueuedChar& q : control.takeReceived())
        received.push_back(static_cast<char>(q.character));
      std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(received, heard);

    setInput({});  // the input starts the file again after playing
    const std::string typed = "THANK YOU GA";
    control.queueTyped(typed);
    const auto sent = std::chrono::steady_clock::now() + 20s;
    bool done = false;
    while (!done && std::chrono::steady_clock::now() < sent) {
      std::this_thread::sleep_for(10ms);
      ModemControl::Lock lock(control);
      done = lock.sendQueue().empty() && control.modemState() == ModemState::Listening;
    }
    EXPECT_TRUE(done);
  }

  std::vector<std::uint8_t> all;
  for (const Wav& w : played()) {
    EXPECT_EQ(w.rate, 22050);
    all.insert(all.end(), w.samples.begin(), w.samples.end());
  }
  EXPECT_EQ(decode(all, 22050), "THANK YOU GA");
}

}  // namespace
}  // namespace quelto
