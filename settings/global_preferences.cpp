#include "settings/global_preferences.h"

#include "settings/settings_store.h"
#include "settings/translation.h"

namespace quelto {
namespace {

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
  v.disableSplash = !getSettingBool("ShowSlpashScreen", true);
  v.durationDisplay = getSettingDouble("SplashScreenDuration", kSplashDurationDefault);
  v.durationSlider = getSettingDouble("SplashScreenDuration", kSplashSliderDefault);
  v.confirmFileNew = getSettingBool("ConfirmFileNew", true);
  v.confirmFileQuit = getSettingBool("ConfirmFileQuit", true);
  v.confirmEditCut = getSettingBool("ConfirmEditCut", true);
  v.confirmOptionsRestart = getSettingBool("ConfirmOptionsRestart", true);
  v.muteWaveOnQuit = getSettingBool("MuteWaveOnQuit", false);
  v.inputDeviceName = getSettingString("WaveInputDevice", kDefaultDeviceName);
  v.outputDeviceName = getSettingString("WaveOutputDevice", kDefaultDeviceName);
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
  setSettingBool("ShowSlpashScreen", !values.disableSplash);
  setSettingDouble("SplashScreenDuration", values.durationDisplay);
  setSettingBool("ConfirmFileNew", values.confirmFileNew);
  setSettingBool("ConfirmFileQuit", values.confirmFileQuit);
  setSettingBool("ConfirmEditCut", values.confirmEditCut);
  setSettingBool("ConfirmOptionsRestart", values.confirmOptionsRestart);
  setSettingBool("MuteWaveOnQuit", values.muteWaveOnQuit);
  // An index outside the list stands for the language languageName gives.
  const bool known = values.languageIndex >= 0 && values.languageIndex < languageCount();
  gRememberedLanguage = known ? values.languageIndex : (languageCount() > 1 ? 1 : 0);
  setSettingString("Language", languageName(gRememberedLanguage));
  GlobalPreferencesStored stored;
  stored.inputDeviceName = deviceNameAtPosition(inputDevices, values.inputDevicePosition);
  stored.outputDeviceName = deviceNameAtPosition(outputDevices, values.outputDevicePosition);
  setSettingString("WaveInputDevice", stored.inputDeviceName);
  setSettingString("WaveOutputDevice", stored.outputDeviceName);
  batch.finish();
  stored.offerRestart = gRememberedLanguage != currentLanguage();
  return stored;
}

SplashPlan splashPlan() {
  SplashPlan plan;
  if (!getSettingBool("ShowSlpashScreen", true)) return plan;
  const float seconds =
      static_cast<float>(getSettingDouble("SplashScreenDuration", kSplashDurationDefault));
  if (!(seconds > kSplashMinimumSeconds)) return plan;
  plan.show = true;
  plan.seconds = seconds;
  return plan;
}

}  // namespace quelto
