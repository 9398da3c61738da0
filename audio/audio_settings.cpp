#include "audio/audio_settings.h"

#include "settings/global_settings.h"

namespace quelto {

namespace {

std::string storedDevice(const TextSetting& setting) {
  return chosenDevice(readSetting(setting));
}

}  // namespace

void loadDeviceChoices(StreamOptions& options) {
  options.inputDevice.set(storedDevice(setting::kWaveInputDevice));
  options.outputDevice.set(storedDevice(setting::kWaveOutputDevice));
}

MixerOpener chosenDevicesMixer(SoundDevice& device) {
  return [&device] {
    return device.openMixer(storedDevice(setting::kWaveInputDevice),
                            storedDevice(setting::kWaveOutputDevice));
  };
}

std::string missingSoundDevice(const StreamOptions& options) {
  if (options.inputDeviceMissing) return options.inputDevice.get();
  if (options.outputDeviceMissing) return options.outputDevice.get();
  return std::string();
}

void loadStreamSwitches(StreamOptions& options) {
  options.closeWaveAfterWrite = readSetting(setting::kCloseWaveAfterWrite);
  options.addPadBits = readSetting(setting::kAddPadBits);
}

std::string diagnosticReport(const DeviceLists& lists) {
  return diagnosticReport(readSetting(setting::kWaveInputDevice),
                          readSetting(setting::kWaveOutputDevice), lists);
}

}  // namespace quelto
