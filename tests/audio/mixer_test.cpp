// Mixer levels: the settings rules and the arithmetic, over a fake mixer.
#include "audio/mixer.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quelto {
namespace {

const char* name(MixerLine line) {
  switch (line) {
    case MixerLine::Speakers:
      return "speakers";
    case MixerLine::Microphone:
      return "microphone";
    case MixerLine::WaveOutput:
      return "wave";
    case MixerLine::OwnPlayback:
      return "playback";
  }
  return "?";
}

// Records every call; the call numbered `failAt` (from 0) fails.
struct FakeMixer : Mixer {
  std::vector<std::string>& log;
  std::map<MixerLine, VolumeSetting>& volumes;
  int failAt;
  int calls = 0;

  FakeMixer(std::vector<std::string>& l, std::map<MixerLine, VolumeSetting>& v, int f)
      : log(l), volumes(v), failAt(f) {}

  bool fails() { return calls++ == failAt; }
  bool setMute(MixerLine line, bool muted) override {
    if (fails()) return false;
    log.push_back(std::string("mute ") + name(line) + (muted ? " on" : " off"));
    return true;
  }
  std::optional<VolumeSetting> volume(MixerLine line) override {
    if (fails()) return std::nullopt;
    return volumes.at(line);
  }
  bool setVolume(MixerLine line, unsigned value) override {
    if (fails()) return false;
    log.push_back(std::string("volume ") + name(line) + " " + std::to_string(value));
    volumes[line].value = value;
    return true;
  }
};

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) / "quelto-mixer";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    closeSettingsStore();
    volumes = {{MixerLine::Speakers, {0, 65535, 0}},
               {MixerLine::Microphone, {0, 100, 10}},
               {MixerLine::WaveOutput, {0, 31, 31}},
               {MixerLine::OwnPlayback, {0, 31, 31}}};
  }
  void TearDown() override {
    closeSettingsStore();
    std::filesystem::remove_all(dir_);
  }

  MixerOpener opener(int failAt = -1) {
    return [this, failAt] {
      ++opened;
      return std::make_unique<FakeMixer>(log, volumes, failAt);
    };
  }

  std::filesystem::path dir_;
  std::vector<std::string> log;
  std::map<MixerLine, VolumeSetting> volumes;
  int opened = 0;
};

TEST(MixerArithmetic, TargetsAndPercentages) {
  EXPECT_EQ(volumeTarget({0, 65535, 0}, 75), 49151u);
  EXPECT_EQ(volumeTarget({100, 200, 0}, 50), 150u);
  EXPECT_EQ(volumeTarget({0, 31, 0}, 100), 31u);
  for (int p : {5, 9, 101, -3}) EXPECT_EQ(sanitizeVolumePercent(p), 75) << p;
  for (int p : {10, 55, 100}) EXPECT_EQ(sanitizeVolumePercent(p), p) << p;
}

TEST_F(MixerTest, RaisesLevelsUnmutesAndMutesTheMicrophoneMonitoring) {
  volumes[MixerLine::OwnPlayback] = {0, 100, 90};  // already above 75 %: kept
  adjustMixer(opener());
  EXPECT_EQ(log, (std::vector<std::string>{"mute speakers off", "volume speakers 49151",
                                           "volume microphone 75", "mute microphone on",
                                           "mute playback off"}));
  EXPECT_EQ(volumes[MixerLine::OwnPlayback].value, 90u);
  EXPECT_TRUE(getSettingBool("AutoAdjustVolume", false));
  EXPECT_EQ(getSettingInt("MasterVolumePercent", 0), 75);
  EXPECT_EQ(getSettingInt("MicrophoneVolumePercent", 0), 75);
  EXPECT_EQ(getSettingInt("WaveVolumePercent", 0), 75);
}

TEST_F(MixerTest, OutOfRangePercentagesAreStoredBackAsTheDefault) {
  setSettingInt("MasterVolumePercent", 5);
  setSettingInt("MicrophoneVolumePercent", 40);
  setSettingInt("WaveVolumePercent", 250);
  adjustMixer(opener());
  EXPECT_EQ(getSettingInt("MasterVolumePercent", 0), 75);
  EXPECT_EQ(getSettingInt("MicrophoneVolumePercent", 0), 40);
  EXPECT_EQ(getSettingInt("WaveVolumePercent", 0), 75);
  EXPECT_EQ(volumes[MixerLine::Microphone].value, 40u);
}

TEST_F(MixerTest, SwitchedOffItNeitherReadsNorWritesNorOpensTheMixer) {
  setSettingBool("AutoAdjustVolume", false);
  setSettingInt("MasterVolumePercent", 5);
  adjustMixer(opener());
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(getSettingInt("MasterVolumePercent", 0), 5);
  EXPECT_EQ(getSettingInt("WaveVolumePercent", -1), -1);
}

TEST_F(MixerTest, TheFirstRefusedCallEndsTheAdjustmentLeavingEarlierChanges) {
  // Calls: 0 mute speakers, 1 read speakers, 2 set speakers, 3 read mic, ...
  adjustMixer(opener(3));
  EXPECT_EQ(log, (std::vector<std::string>{"mute speakers off", "volume speakers 49151"}));
  EXPECT_EQ(volumes[MixerLine::Microphone].value, 10u);

  log.clear();
  adjustMixer([] { return std::unique_ptr<Mixer>(); });  // no mixer at all: silent
  EXPECT_TRUE(log.empty());
}

TEST_F(MixerTest, TurnDownWaveOutputUnmutesAndSetsTheMinimum) {
  volumes[MixerLine::WaveOutput] = {3, 31, 20};
  turnDownWaveOutput(opener());
  EXPECT_EQ(log, (std::vector<std::string>{"mute wave off", "volume wave 3"}));

  log.clear();
  turnDownWaveOutput(opener(0));
  EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace quelto
