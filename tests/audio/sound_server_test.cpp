// The sound-server device on a desktop-like server of the test's own (see
// test_sound_server.h): built-in speakers and microphone plus a USB phone
// adapter. A call on the adapter chosen by name, the mixer on the chosen
// devices, devices plugged in and out while the program runs, and what the
// command-line tool lists.
#include "audio/audio_settings.h"
#include "audio/device_list.h"
#include "audio/mixer.h"
#include "audio/pulse_device.h"
#include "modem/line_signal.h"
#include "modem/modem_control.h"
#include "settings/settings_store.h"
#include "tests/audio/test_sound_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

namespace quelto {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kAdapter = "USB Phone Adapter";
const std::string kBuiltIn = "Built-in Audio Analog Stereo";

bool contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// Largest distance from silence (128) in 8-bit samples.
int peak(const std::vector<std::uint8_t>& samples) {
  int p = 0;
  for (std::uint8_t s : samples) p = std::max(p, std::abs(static_cast<int>(s) - 128));
  return p;
}

// The longest run of silence between the first and the last sound, in
// milliseconds: a line that went quiet inside a transmission.
double longestGapMs(const std::vector<std::uint8_t>& samples8000) {
  const auto loud = [](std::uint8_t s) { return std::abs(static_cast<int>(s) - 128) > 8; };
  const auto first = std::find_if(samples8000.begin(), samples8000.end(), loud);
  const auto last = std::find_if(samples8000.rbegin(), samples8000.rend(), loud).base();
  std::size_t longest = 0, run = 0;
  for (auto it = first; it < last; ++it) {
    run = std::abs(static_cast<int>(*it) - 128) <= 4 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return 1000.0 * static_cast<double>(longest) / Recorder::kRate;
}

std::string decode(const std::vector<std::uint8_t>& samples8000) {
  FskModem receiver;
  return receiveText(receiver, samples8000);
}

// The far end's text as 22050 samples/s line signal.
std::vector<std::uint8_t> farEnd(const std::string& text) {
  FskModem sender;
  return renderTextSignal(sender, text);
}

std::string received(ModemControl& control) {
  std::string text;
  for (const QueuedChar& q : control.takeReceived()) text.push_back(static_cast<char>(q.character));
  return text;
}

bool idleAndListening(ModemControl& control) {
  ModemControl::Lock lock(control);
  return lock.sendQueue().empty() && control.modemState() == ModemState::Listening;
}

class SoundServerTest : public ::testing::Test {
 protected:
  // One server for the suite: starting one takes seconds. Every test
  // leaves the devices as it found them.
  static void SetUpTestSuite() { server_ = new TestSoundServer; }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(server_->ok()) << server_->log();
    dir_ = fs::path(::testing::TempDir()) / "quelto-sound-server-test";
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    closeSettingsStore();
    device_ = PulseDevice::connect(30s);
    ASSERT_NE(device_, nullptr);
  }
  void TearDown() override {
    device_.reset();
    closeSettingsStore();
    fs::remove_all(dir_);
  }

  // Sends `text` from a modem thread that is listening and waits until it
  // has gone out; returns what each of `sinks` carried meanwhile.
  std::map<std::string, std::vector<std::uint8_t>> send(ModemControl& control,
                                                        const std::string& text,
                                                        const std::vector<std::string>& sinks) {
    std::vector<std::unique_ptr<Recorder>> recorders;
    for (const std::string& sink : sinks) {
      recorders.push_back(std::make_unique<Recorder>(sink + ".monitor"));
      EXPECT_TRUE(recorders.back()->ok()) << sink;
      // Recording before the text goes out, so none of it is missed.
      EXPECT_TRUE(recorders.back()->recordMore(Recorder::kRate / 5, 30s)) << sink;
    }
    control.queueTyped(text);
    EXPECT_TRUE(waitUntil([&] { return idleAndListening(control); }, 90s)) << "still sending";
    // What was drained is on its way through the server: half a second more.
    std::map<std::string, std::vector<std::uint8_t>> heard;
    for (std::size_t i = 0; i < sinks.size(); ++i) {
      EXPECT_TRUE(recorders[i]->recordMore(Recorder::kRate / 2, 30s)) << sinks[i];
      heard[sinks[i]] = recorders[i]->samples();
    }
    return heard;
  }

  static TestSoundServer* server_;
  fs::path dir_;
  std::unique_ptr<PulseDevice> device_;
};

TestSoundServer* SoundServerTest::server_ = nullptr;

TEST_F(SoundServerTest, DevicesAreListedByWhatTheServerShowsAndTheToolListsTheSame) {
  // Monitors are not inputs a user picks.
  EXPECT_EQ(device_->inputDeviceNames(), (std::vector<std::string>{kBuiltIn, kAdapter}));
  const std::vector<std::string> outputs = device_->outputDeviceNames();
  EXPECT_EQ(outputs.size(), 5u);
  for (const std::string& name : {kBuiltIn, kAdapter, std::string("Built-in Microphone Feed"),
                                  std::string("USB Phone Adapter Feed")})
    EXPECT_TRUE(contains(outputs, name)) << name;

  // The tool's lines, in the preferences' order, names as stored.
  const char* tool = std::getenv("QUELTO_MODEM_TOOL");
  if (!tool) GTEST_SKIP() << "quelto-modem is not built";
  std::string out;
  FILE* pipe = popen((std::string(tool) + " devices").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  EXPECT_EQ(pclose(pipe), 0);
  const DeviceLists lists(*device_);
  std::string expected;
  for (const std::string& name : lists.inputList()) expected += "input\t" + name + "\n";
  for (const std::string& name : lists.outputList()) expected += "output\t" + name + "\n";
  EXPECT_EQ(out, expected);
  EXPECT_EQ(lists.inputList().front(), "Default");
}

TEST_F(SoundServerTest, DevicesPluggedInWhileRunningJoinTheListsAndTwinsOpenTheirOwnDevice) {
  DeviceLists lists(*device_);
  // A second adapter of the same kind: the same description.
  const int twin = server_->loadModule(
      R"(module-null-sink sink_name=twin sink_properties='device.description="USB Phone Adapter"')");
  ASSERT_GE(twin, 0);
  const int twinKept =
      server_->loadModule("module-loopback source=twin.monitor sink=keeper latency_msec=20");
  const std::string first = kAdapter + " (adapter)";
  const std::string second = kAdapter + " (twin)";
  EXPECT_TRUE(waitUntil([&] { return contains(device_->outputDeviceNames(), second); }))
      << "the subscription brings the new device";
  lists.refresh();
  EXPECT_TRUE(contains(lists.outputList(), first));
  EXPECT_TRUE(contains(lists.outputList(), second));
  EXPECT_FALSE(contains(lists.outputList(), kAdapter)) << "two adapters, two names";
  EXPECT_TRUE(contains(lists.inputList(), kAdapter)) << "the twin's monitor is no input";

  // Each listed name opens its own device.
  {
    Recorder adapterHears("adapter.monitor");
    Recorder twinHears("twin.monitor");
    ASSERT_TRUE(adapterHears.ok());
    ASSERT_TRUE(twinHears.ok());
    // A sink just plugged in may take a while to deliver to a recorder.
    ASSERT_TRUE(twinHears.recordMore(Recorder::kRate / 5, 30s));
    const std::vector<std::uint8_t> tone = farEnd("TWIN");
    ASSERT_TRUE(device_->openOutput(second, 22050));
    ASSERT_TRUE(device_->play(tone.data(), tone.size()));
    ASSERT_TRUE(device_->drainOutput());
    device_->closeOutput();
    ASSERT_TRUE(twinHears.recordMore(Recorder::kRate / 2, 30s));
    ASSERT_TRUE(adapterHears.recordMore(Recorder::kRate / 2, 30s));
    EXPECT_EQ(decode(twinHears.samples()), "TWIN");
    EXPECT_LE(peak(adapterHears.samples()), 2);
  }

  // Unplugged, it leaves the lists; the first adapter gets its plain name back.
  ASSERT_TRUE(server_->unloadModule(twinKept));
  ASSERT_TRUE(server_->unloadModule(twin));
  EXPECT_TRUE(waitUntil([&] { return !contains(device_->outputDeviceNames(), second); }));
  lists.refresh();
  EXPECT_TRUE(contains(lists.outputList(), kAdapter));
  EXPECT_FALSE(contains(lists.outputList(), first));
}

TEST_F(SoundServerTest, ACallOnTheAdapterChosenByNameUsesOnlyTheAdapter) {
  StreamOptions options;
  options.inputDevice.set(kAdapter);
  options.outputDevice.set(kAdapter);
  SignalCapture capture;
  std::mutex mutex;
  ModemControl control(mutex);
  control.start(*device_, {&options, &capture, {}});
  ASSERT_TRUE(waitUntil([&] { return server_->recordersOf("adapter_mic") == 1; }))
      << "the modem listens to the adapter's microphone";
  EXPECT_EQ(server_->recordersOf("builtin_mic"), 0);

  // The far end talks on the adapter; someone else talks into the built-in
  // microphone at the same time.
  const std::string far = "HELLO FROM THE FAR END GA";
  std::thread other(
      [] { TestSoundServer::play("builtin_feed", farEnd("WRONG MICROPHONE"), 22050); });
  EXPECT_TRUE(TestSoundServer::play("adapter_feed", farEnd(far), 22050));
  other.join();
  std::string heard;
  waitUntil([&] {
    heard += received(control);
    return heard.size() >= far.size();
  });
  EXPECT_EQ(heard, far);

  // The answer goes out on the adapter, and nothing on the speakers.
  const std::string typed = "THANK YOU GA";
  auto out = send(control, typed, {"adapter", "speakers"});
  EXPECT_EQ(decode(out["adapter"]), typed)
      << "longest gap " << longestGapMs(out["adapter"]) << " ms";
  EXPECT_LE(peak(out["speakers"]), 2);
  EXPECT_FALSE(options.inputDeviceMissing);
  EXPECT_FALSE(options.outputDeviceMissing);
}

TEST_F(SoundServerTest, TheMixerRaisesOnlyTheChosenDevices) {
  for (const char* sink : {"adapter", "speakers"}) {
    server_->pactl(std::string("set-sink-volume ") + sink + " 30%");
    server_->pactl(std::string("set-sink-mute ") + sink + " 1");
  }
  for (const char* source : {"adapter_mic", "builtin_mic"}) {
    server_->pactl(std::string("set-source-volume ") + source + " 20%");
    server_->pactl(std::string("set-source-mute ") + source + " 1");
  }
  setSettingString("WaveInputDevice", kAdapter);
  setSettingString("WaveOutputDevice", kAdapter);
  setSettingInt("MasterVolumePercent", 60);
  setSettingInt("MicrophoneVolumePercent", 70);
  setSettingInt("WaveVolumePercent", 50);
  const MixerOpener mixer = chosenDevicesMixer(*device_);
  adjustMixer(mixer);

  EXPECT_EQ(server_->volumePercent("sink", "adapter"), 60);
  EXPECT_FALSE(server_->muted("sink", "adapter"));
  EXPECT_EQ(server_->volumePercent("source", "adapter_mic"), 70);
  EXPECT_FALSE(server_->muted("source", "adapter_mic")) << "the line input must record";
  EXPECT_EQ(server_->volumePercent("sink", "speakers"), 30);
  EXPECT_TRUE(server_->muted("sink", "speakers"));
  EXPECT_EQ(server_->volumePercent("source", "builtin_mic"), 20);
  EXPECT_TRUE(server_->muted("source", "builtin_mic"));

  // Never lowered.
  server_->pactl("set-sink-volume adapter 90%");
  adjustMixer(mixer);
  EXPECT_EQ(server_->volumePercent("sink", "adapter"), 90);

  // The end of the program turns the adapter down, not the speakers.
  server_->pactl("set-sink-mute speakers 0");
  turnDownWaveOutput(mixer);
  EXPECT_TRUE(server_->volumePercent("sink", "adapter") == 0 || server_->muted("sink", "adapter"));
  EXPECT_EQ(server_->volumePercent("sink", "speakers"), 30);
  EXPECT_FALSE(server_->muted("sink", "speakers"));

  for (const char* sink : {"adapter", "speakers"}) {
    server_->pactl(std::string("set-sink-volume ") + sink + " 100%");
    server_->pactl(std::string("set-sink-mute ") + sink + " 0");
  }
  for (const char* source : {"adapter_mic", "builtin_mic"}) {
    server_->pactl(std::string("set-source-volume ") + source + " 100%");
    server_->pactl(std::string("set-source-mute ") + source + " 0");
  }
}

TEST_F(SoundServerTest, TheProgramsOwnPlaybackIsRaisedAndUnmutedWhenItOpensNeverLowered) {
  // The server gives a program's new stream the volume and mute its last
  // one had, as a desktop does after the user turned the program down.
  const int restore = server_->loadModule("module-stream-restore restore_device=false");
  ASSERT_GE(restore, 0);
  const std::vector<std::uint8_t> tone = farEnd("E");
  // Opens the output on the adapter and plays through it: what the device
  // asks of the server on opening has been done once the tone is drained.
  const auto openAndPlay = [&] {
    EXPECT_TRUE(device_->openOutput(kAdapter, 22050));
    EXPECT_TRUE(device_->play(tone.data(), tone.size()));
    EXPECT_TRUE(device_->drainOutput());
    return server_->playbackStream("Quelto line output");
  };
  const auto userSets = [&](const TestSoundServer::Stream& stream, int percent, bool muted) {
    const std::string index = std::to_string(stream.index);
    server_->pactl("set-sink-input-volume " + index + " " + std::to_string(percent) + "%");
    server_->pactl("set-sink-input-mute " + index + (muted ? " 1" : " 0"));
    device_->closeOutput();
  };

  TestSoundServer::Stream stream = openAndPlay();
  ASSERT_GE(stream.index, 0);
  userSets(stream, 20, true);
  stream = openAndPlay();
  EXPECT_EQ(stream.volumePercent, 20) << "the server remembers the user's level";
  EXPECT_TRUE(stream.muted);
  device_->closeOutput();

  setSettingString("WaveOutputDevice", kAdapter);
  setSettingInt("WaveVolumePercent", 50);
  adjustMixer(chosenDevicesMixer(*device_));
  EXPECT_EQ(server_->playbackStream("Quelto line output").index, -1)
      << "no stream yet when the mixer runs";
  stream = openAndPlay();
  EXPECT_EQ(stream.volumePercent, 50);
  EXPECT_FALSE(stream.muted);

  // Louder than the setting: kept.
  userSets(stream, 90, false);
  stream = openAndPlay();
  EXPECT_EQ(stream.volumePercent, 90);
  EXPECT_EQ(server_->volumePercent("sink", "adapter"), 100) << "the sink is not the stream";
  device_->closeOutput();
  EXPECT_TRUE(server_->unloadModule(restore));
}

TEST_F(SoundServerTest, AnAdapterUnpluggedMidCallIsReplacedByTheDefaultUntilItReturns) {
  StreamOptions options;
  options.inputDevice.set(kAdapter);
  options.outputDevice.set(kAdapter);
  SignalCapture capture;
  std::mutex mutex;
  ModemControl control(mutex);
  control.start(*device_, {&options, &capture, {}});
  ASSERT_TRUE(waitUntil([&] { return server_->recordersOf("adapter_mic") == 1; }));
  EXPECT_EQ(missingSoundDevice(options), "");

  // Unplugged while listening: the default microphone takes over, and the
  // status names the missing adapter.
  ASSERT_TRUE(server_->unplugAdapter());
  EXPECT_TRUE(waitUntil([&] { return server_->recordersOf("builtin_mic") == 1; }))
      << "listening goes on on the default input";
  EXPECT_TRUE(options.inputDeviceMissing);
  EXPECT_EQ(missingSoundDevice(options), kAdapter);
  EXPECT_TRUE(waitUntil([&] { return control.modemState() == ModemState::Listening; }));
  EXPECT_EQ(options.inputDevice.get(), kAdapter) << "the choice is kept";

  // Meanwhile text goes to the default output.
  const std::string meanwhile = "ON THE SPEAKERS";
  auto first = send(control, meanwhile, {"speakers"});
  EXPECT_EQ(decode(first["speakers"]), meanwhile)
      << "longest gap " << longestGapMs(first["speakers"]) << " ms";
  EXPECT_TRUE(options.outputDeviceMissing);

  // Plugged in again: the adapter is used again, and nothing is missing.
  ASSERT_TRUE(server_->plugAdapter());
  EXPECT_TRUE(waitUntil([&] { return server_->recordersOf("adapter_mic") == 1; }))
      << "listening comes back to the adapter";
  EXPECT_EQ(server_->recordersOf("builtin_mic"), 0);
  const std::string back = "BACK ON THE ADAPTER";
  auto second = send(control, back, {"adapter", "speakers"});
  EXPECT_EQ(decode(second["adapter"]), back)
      << "longest gap " << longestGapMs(second["adapter"]) << " ms";
  EXPECT_LE(peak(second["speakers"]), 2);
  EXPECT_EQ(missingSoundDevice(options), "");
}

}  // namespace
}  // namespace quelto
