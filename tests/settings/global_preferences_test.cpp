#include "settings/global_preferences.h"

#include <gtest/gtest.h>

#include "settings/data_folders.h"
#include "settings/programmed_messages.h"
#include "settings/translation.h"
#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

using GlobalPreferencesTest = ScratchStore;

const std::vector<std::string> kInputs = {"Default", "USB Mic"};
const std::vector<std::string> kOutputs = {"Default", "Speakers", "HDMI"};

// Runs first in this binary: the remembered language index starts as the
// running language, French on an empty store.
TEST_F(GlobalPreferencesTest, EmptyStoreShowsTheDefaultsAndOkStoresThem) {
  setLanguage(kLanguageFrench);
  const GlobalPreferencesValues v = readGlobalPreferences();
  EXPECT_EQ(v.languageIndex, kLanguageFrench);
  EXPECT_FALSE(v.disableSplash);
  EXPECT_DOUBLE_EQ(v.durationDisplay, 1.1);
  EXPECT_DOUBLE_EQ(v.durationSlider, 3.0);
  // Nothing is lost without a question until the user says so.
  EXPECT_TRUE(v.confirmFileNew && v.confirmFileQuit && v.confirmEditCut && v.confirmOptionsRestart);
  EXPECT_FALSE(v.muteWaveOnQuit);
  EXPECT_EQ(v.inputDeviceName, "Default");
  EXPECT_EQ(v.outputDeviceName, "Default");
  EXPECT_FALSE(storeExists());

  const GlobalPreferencesStored stored = storeGlobalPreferences(v, kInputs, kOutputs);
  EXPECT_FALSE(stored.offerRestart);
  EXPECT_EQ(rows(), (std::map<std::string, std::string>{
                        {"ShowSlpashScreen", "1"},
                        {"SplashScreenDuration", "1.100000"},
                        {"ConfirmFileNew", "1"},
                        {"ConfirmFileQuit", "1"},
                        {"ConfirmEditCut", "1"},
                        {"ConfirmOptionsRestart", "1"},
                        {"MuteWaveOnQuit", "0"},
                        {"Language", "Français"},
                        {"WaveInputDevice", "Default"},
                        {"WaveOutputDevice", "Default"},
                    }));
}

TEST_F(GlobalPreferencesTest, OtherLanguageIsStoredRememberedAndOffersARestart) {
  setLanguage(kLanguageFrench);
  GlobalPreferencesValues v = readGlobalPreferences();
  v.languageIndex = kLanguageEnglish;
  v.disableSplash = true;
  v.durationDisplay = 2.5;
  v.confirmFileQuit = false;
  v.inputDevicePosition = 1;
  v.outputDevicePosition = 3;  // outside the list
  const GlobalPreferencesStored stored = storeGlobalPreferences(v, kInputs, kOutputs);
  EXPECT_TRUE(stored.offerRestart);
  EXPECT_EQ(stored.inputDeviceName, "USB Mic");
  EXPECT_EQ(stored.outputDeviceName, "Default");
  EXPECT_EQ(raw("Language"), "English");
  EXPECT_EQ(raw("ShowSlpashScreen"), "0");
  EXPECT_EQ(raw("SplashScreenDuration"), "2.500000");
  EXPECT_EQ(raw("ConfirmFileQuit"), "0");  // a stored value wins over the default
  EXPECT_EQ(raw("WaveInputDevice"), "USB Mic");
  // The running program keeps its language; the window shows the choice.
  EXPECT_EQ(currentLanguage(), kLanguageFrench);
  const GlobalPreferencesValues again = readGlobalPreferences();
  EXPECT_EQ(again.languageIndex, kLanguageEnglish);
  EXPECT_TRUE(again.disableSplash);
  EXPECT_DOUBLE_EQ(again.durationSlider, 2.5);
  EXPECT_FALSE(again.confirmFileQuit);
  // Choosing the running language again offers nothing.
  v.languageIndex = kLanguageFrench;
  EXPECT_FALSE(storeGlobalPreferences(v, kInputs, kOutputs).offerRestart);
}

TEST_F(GlobalPreferencesTest, DeviceNameAtPosition) {
  EXPECT_EQ(deviceNameAtPosition(kOutputs, 0), "Default");
  EXPECT_EQ(deviceNameAtPosition(kOutputs, 2), "HDMI");
  EXPECT_EQ(deviceNameAtPosition(kOutputs, 3), "Default");
  EXPECT_EQ(deviceNameAtPosition(kOutputs, -1), "Default");
  EXPECT_EQ(deviceNameAtPosition({}, 0), "Default");
}

TEST_F(GlobalPreferencesTest, SplashPlan) {
  EXPECT_TRUE(splashPlan().show);
  EXPECT_NEAR(splashPlan().seconds, 1.1, 1e-6);
  struct Case {
    const char* show;
    const char* duration;
    bool shown;
  };
  const Case cases[] = {{"1", "0", false},    {"1", "0.0005", false}, {"1", "0.002", true},
                        {"0", "2.0", false},  {"1", "-1", false},     {"1", "junk", true},
                        {"yes", "2.0", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.show) + " " + c.duration);
    setSettingString("ShowSlpashScreen", c.show);
    setSettingString("SplashScreenDuration", c.duration);
    EXPECT_EQ(splashPlan().show, c.shown);
  }
}

// The activity-log switch and "LogFilePrefix": what the window shows for a
// stored prefix, what OK stores for each position of the switch, and
// whether the running log must follow.
TEST_F(GlobalPreferencesTest, ActivityLogSwitchSetsOrClearsTheLogPrefix) {
  setenv("XDG_STATE_HOME", (dir() + "/state").c_str(), 1);
  const std::string folder = dir() + "/state/quelto/logs/";
  EXPECT_EQ(activityLogFolder(), folder);
  struct Case {
    std::optional<std::string> before;  // stored prefix; nothing: never stored
    bool shown;                         // the switch as the window opens
    bool keep;                          // the switch at OK
    std::string after;                  // stored prefix after OK
    bool switched;
  };
  const Case cases[] = {
      {std::nullopt, false, false, "", false},
      {std::nullopt, false, true, folder, true},
      {"", false, true, folder, true},
      {folder, true, true, folder, false},
      {folder, true, false, "", true},
      // A prefix typed into the store by hand is kept while the log stays on.
      {"/var/calls/log-", true, true, "/var/calls/log-", false},
      {"/var/calls/log-", true, false, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before.value_or("(unset)") + (c.keep ? " -> on" : " -> off"));
    deleteSettingTree("LogFilePrefix");
    if (c.before) setSettingString("LogFilePrefix", *c.before);
    GlobalPreferencesValues v = readGlobalPreferences();
    EXPECT_EQ(v.keepActivityLog, c.shown);
    v.keepActivityLog = c.keep;
    const GlobalPreferencesStored stored = storeGlobalPreferences(v, kInputs, kOutputs);
    EXPECT_EQ(stored.logFilePrefix, c.after);
    EXPECT_EQ(stored.logSwitched, c.switched);
    closeSettingsStore();
    EXPECT_EQ(getSettingString("LogFilePrefix", ""), c.after);
  }
  // Without XDG_STATE_HOME, or with a relative one, the folder is under HOME.
  for (const char* state : {"", "relative/state"}) {
    setenv("XDG_STATE_HOME", state, 1);
    EXPECT_EQ(activityLogFolder(), dir() + "/.local/state/quelto/logs/");
  }
  unsetenv("XDG_STATE_HOME");
}

TEST(ProgrammedMessagesTest, ButtonLabels) {
  EXPECT_EQ(programmedMessageLabel(0, "Hello GA"), "[F3] Hello GA");
  EXPECT_EQ(programmedMessageLabel(2, ""), "[F5] ");
  EXPECT_EQ(programmedMessageLabel(9, "x"), "[F12] x");
  EXPECT_EQ(programmedMessageLabel(10, "x"), "");
  EXPECT_EQ(programmedMessageLabel(-1, "x"), "");
  setLanguage(kLanguageFrench);
  EXPECT_STREQ(translate(Text::NotProgrammed), "Non programmé");
}

}  // namespace
}  // namespace quelto
