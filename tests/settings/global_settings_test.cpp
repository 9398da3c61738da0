#include "settings/global_settings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/settings_store.h"
#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

using GlobalSettingsTest = ScratchStore;

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Stores written by earlier versions hold these names (the store compares
// them without regard to case): a renamed row would lose the user's setting.
TEST_F(GlobalSettingsTest, StoredNamesAreTheOnesStoresHoldAndEachIsUsedOnce) {
  const std::set<std::string> stored = {"Language",
                                        "ShowSlpashScreen",
                                        "SplashScreenDuration",
                                        "ConfirmFileNew",
                                        "ConfirmFileQuit",
                                        "ConfirmEditCut",
                                        "ConfirmOptionsRestart",
                                        "MuteWaveOnQuit",
                                        "WaveInputDevice",
                                        "WaveOutputDevice",
                                        "CloseWaveAfterWrite",
                                        "AddPadBits",
                                        "AutoAdjustVolume",
                                        "MasterVolumePercent",
                                        "MicrophoneVolumePercent",
                                        "WaveVolumePercent",
                                        "StartBitThreshold",
                                        "StopBitThreshold",
                                        "RestartCount",
                                        "VuMeterLed",
                                        "VuMeterOffset",
                                        "VuMeterFactor",
                                        "LogFileNextId",
                                        "LogFilePrefix",
                                        "NProfiles",
                                        "Profiles",
                                        "Receiver",
                                        "CarrierHold",
                                        "UIVersion",
                                        "DefaultBackground",
                                        "DefaultBackground2",
                                        "DefaultForeground"};
  std::set<std::string> names, folded;
  for (const GlobalSettingRow& row : globalSettingRows()) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_TRUE(folded.insert(lowerCase(row.name)).second) << "differs only in case: " << row.name;
    EXPECT_EQ(lowerCase(row.name).rfind("profiles\\", 0), std::string::npos) << row.name;
  }
  EXPECT_EQ(names, stored);
}

// Each kind: an empty store and an unreadable value give the row's default,
// a written value reads back, and the value is stored under the row's name.
TEST_F(GlobalSettingsTest, EachKindReadsItsDefaultWhenMissingOrUnreadable) {
  EXPECT_EQ(readSetting(setting::kLanguage), "") << "unset: the locale decides";
  EXPECT_EQ(readSetting(setting::kRestartCount), 6);
  EXPECT_DOUBLE_EQ(readSetting(setting::kSplashScreenDuration), 1.1);
  EXPECT_DOUBLE_EQ(readSetting(setting::kSplashScreenDuration, 3.0), 3.0);
  EXPECT_TRUE(readSetting(setting::kShowSplashScreen));
  EXPECT_FALSE(storeExists()) << "a read never writes";

  setSettingString("RestartCount", "junk");
  setSettingString("SplashScreenDuration", "nan");
  setSettingString("ShowSlpashScreen", "yes");
  EXPECT_EQ(readSetting(setting::kRestartCount), 6);
  EXPECT_DOUBLE_EQ(readSetting(setting::kSplashScreenDuration), 1.1);
  EXPECT_FALSE(readSetting(setting::kShowSplashScreen)) << "true only for a text starting with 1";

  ASSERT_EQ(writeSetting(setting::kLanguage, "English"), kSettingWriteOk);
  ASSERT_EQ(writeSetting(setting::kRestartCount, -3), kSettingWriteOk);
  ASSERT_EQ(writeSetting(setting::kSplashScreenDuration, 2.5), kSettingWriteOk);
  ASSERT_EQ(writeSetting(setting::kShowSplashScreen, true), kSettingWriteOk);
  EXPECT_EQ(readSetting(setting::kLanguage), "English");
  EXPECT_EQ(readSetting(setting::kRestartCount), -3);
  EXPECT_DOUBLE_EQ(readSetting(setting::kSplashScreenDuration), 2.5);
  EXPECT_TRUE(readSetting(setting::kShowSplashScreen));
  EXPECT_EQ(raw("ShowSlpashScreen"), "1");
  EXPECT_EQ(raw("RestartCount"), "-3");
}

}  // namespace
}  // namespace quelto
