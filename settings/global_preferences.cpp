#include "settings/global_preferences.h"

#include "settings/data_folders.h"
#include "settings/global_settings.h"
#include "settings/settings_store.h"
#include "settings/translation.h"

namespace quelto {
namespace {

using namespace setting;

// -1 until the first use takes the running language.
int gRememberedLanguage = -1;

constexpr double kSplashMinimumSeconds = 0.001;

}  // namespace

int rememberedLanguageIndex() {
  if (gRememberedLanguage < 0) gRememberedLanguage = currentLanguage();
  return gRememberedLanguage;
}

GlobalPreferencesValues readGlobalPreferences() {
  GlobalPreferencesValues v;
  v.languageIndex = rememberedLanguageIndex();
  v.disableSplash = !readSetting(kShowSplashScreen);
  v.durationDisplay = readSetting(kSplashScreenDuration);
  v.durationSlider = readSetting(kSplashScreenDuration, kSplashSliderDefault);
  v.confirmFileNew = readSetting(kConfirmFileNew);
  v.confirmFileQuit = readSetting(kConfirmFileQuit);
  v.confirmEditCut = readSetting(kConfirmEditCut);
  v.confirmOptionsRestart = readSetting(kConfirmOptionsRestart);
  v.muteWaveOnQuit = readSetting(kMuteWaveOnQuit);
  v.keepActivityLog = !readSetting(kLogFilePrefix).empty();
  v.inputDeviceName = readSetting(kWaveInputDevice);
  v.outputDeviceName = readSetting(kWaveOutputDevice);
  return v;
}

std::string deviceNameAtPosition(const std::vector<std::string>& devices, int position) {
  if (position < 0 || position >= static_cast<int>(devices.size())) return kDefaultDeviceName;
  return devices[static_cast<std::size_t>(position)];
}

GlobalPreferencesStored storeGlobalPreferences(const GlobalPreferencesValues& values,
                                               const std::vector<std::string>& inputDevices,
                                               const std::vector<std::string>& outputDevices) {
  SettingsBatch batch;
  writeSetting(kShowSplashScreen, !values.disableSplash);
  writeSetting(kSplashScreenDuration, values.durationDisplay);
  writeSetting(kConfirmFileNew, values.confirmFileNew);
  writeSetting(kConfirmFileQuit, values.confirmFileQuit);
  writeSetting(kConfirmEditCut, values.confirmEditCut);
  writeSetting(kConfirmOptionsRestart, values.confirmOptionsRestart);
  writeSetting(kMuteWaveOnQuit, values.muteWaveOnQuit);
  // An index outside the list stands for the language languageName gives.
  const bool known = values.languageIndex >= 0 && values.languageIndex < languageCount();
  gRememberedLanguage = known ? values.languageIndex : (languageCount() > 1 ? 1 : 0);
  writeSetting(kLanguage, languageName(gRememberedLanguage));
  GlobalPreferencesStored stored;
  stored.inputDeviceName = deviceNameAtPosition(inputDevices, values.inputDevicePosition);
  stored.outputDeviceName = deviceNameAtPosition(outputDevices, values.outputDevicePosition);
  writeSetting(kWaveInputDevice, stored.inputDeviceName);
  writeSetting(kWaveOutputDevice, stored.outputDeviceName);
  const std::string prefix = readSetting(kLogFilePrefix);
  stored.logFilePrefix = !values.keepActivityLog ? std::string()
                         : prefix.empty()        ? activityLogFolder()
                                                 : prefix;
  stored.logSwitched = stored.logFilePrefix.empty() != prefix.empty();
  if (stored.logSwitched) writeSetting(kLogFilePrefix, stored.logFilePrefix);
  batch.finish();
  stored.offerRestart = gRememberedLanguage != currentLanguage();
  return stored;
}

SplashPlan splashPlan() {
  SplashPlan plan;
  if (!readSetting(kShowSplashScreen)) return plan;
  const float seconds = static_cast<float>(readSetting(kSplashScreenDuration));
  if (!(seconds > kSplashMinimumSeconds)) return plan;
  plan.show = true;
  plan.seconds = seconds;
  return plan;
}

}  // namespace quelto
