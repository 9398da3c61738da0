#include "settings/global_settings.h"

#include <iterator>

#include "settings/settings_store.h"

namespace quelto {
namespace {

constexpr GlobalSettingRow row(const TextSetting& s) {
  return {s.name, SettingKind::Text, s.defaultValue};
}
constexpr GlobalSettingRow row(const IntegerSetting& s) {
  return {s.name, SettingKind::Integer, nullptr, s.defaultValue};
}
constexpr GlobalSettingRow row(const RealSetting& s) {
  return {s.name, SettingKind::Real, nullptr, 0, s.defaultValue};
}
constexpr GlobalSettingRow row(const FlagSetting& s) {
  return {s.name, SettingKind::Flag, nullptr, 0, 0.0, s.defaultValue};
}

using namespace setting;
constexpr GlobalSettingRow kRows[] = {
    row(kLanguage),
    row(kShowSplashScreen),
    row(kSplashScreenDuration),
    row(kConfirmFileNew),
    row(kConfirmFileQuit),
    row(kConfirmEditCut),
    row(kConfirmOptionsRestart),
    row(kMuteWaveOnQuit),
    row(kWaveInputDevice),
    row(kWaveOutputDevice),
    row(kCloseWaveAfterWrite),
    row(kAddPadBits),
    row(kAutoAdjustVolume),
    row(kMasterVolumePercent),
    row(kMicrophoneVolumePercent),
    row(kWaveVolumePercent),
    row(kStartBitThreshold),
    row(kStopBitThreshold),
    row(kRestartCount),
    row(kVuMeterLed),
    row(kVuMeterOffset),
    row(kVuMeterFactor),
    row(kLogFileNextId),
    row(kLogFilePrefix),
    row(kProfileCount),
    row(kProfileIds),
    row(kReceiver),
    row(kCarrierHold),
    row(kUiVersion),
    row(kDefaultBackground),
    row(kDefaultBackground2),
    row(kDefaultForeground),
};

}  // namespace

GlobalSettingRows globalSettingRows() {
  return {kRows, std::size(kRows)};
}

std::string readSetting(const TextSetting& setting) {
  return getSettingString(setting.name, setting.defaultValue);
}
int readSetting(const IntegerSetting& setting) {
  return getSettingInt(setting.name, setting.defaultValue);
}
double readSetting(const RealSetting& setting) {
  return getSettingDouble(setting.name, setting.defaultValue);
}
bool readSetting(const FlagSetting& setting) {
  return getSettingBool(setting.name, setting.defaultValue);
}
double readSetting(const RealSetting& setting, double defaultValue) {
  return getSettingDouble(setting.name, defaultValue);
}

int writeSetting(const TextSetting& setting, const std::string& value) {
  return setSettingString(setting.name, value);
}
int writeSetting(const IntegerSetting& setting, int value) {
  return setSettingInt(setting.name, value);
}
int writeSetting(const RealSetting& setting, double value) {
  return setSettingDouble(setting.name, value);
}
int writeSetting(const FlagSetting& setting, bool value) {
  return setSettingBool(setting.name, value);
}

}  // namespace quelto
