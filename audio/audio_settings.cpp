#include "audio/audio_settings.h"

#include "settings/settings_store.h"

namespace quelto {

namespace {

std::string storedDevice(const char* name) {
  return chosenDevice(getSettingString(name, kDefaultDeviceName));
}

}  // namespace

void loadDeviceChoices(StreamOptions& options) {
  options.inputDevice.set(storedDevice("WaveInputDevice"));
  options.outputDevice.set(storedDevice("WaveOutputDevice"));
}

MixerOpener chosenDevicesMixer(SoundDevice& device) {
  return [&device] {
    return device.openMixer(storedDevice("WaveInputDevice"), storedDevice("WaveOutputDevice"));
  };
}

std::string missingSoundDevice(const StreamOptions& options) {
  if (options.inputDeviceMissing) return options.inputDevice.get();
  if (options.outputDeviceMissing) return options.outputDevice.get();
  return std::string();
}

void loadStreamSwitches(StreamOptions& options) {
  options.closeWaveAfterWrite = getSettingBool("CloseWaveAfterWrite", false);
  options.addPadBits = getSettingBool("AddPadBits", false);
}

std::string diagnosticReport(const DeviceLists& lists) {
  return diagnosticReport(getSettingString("WaveInputDevice", kDefaultDeviceName),
                          getSettingString("WaveOutputDevice", kDefaultDeviceName), lists);
}

}  // namespace quelto
