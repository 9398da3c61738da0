#include "audio/audio_settings.h"

#include "settings/settings_store.h"

namespace quelto {

void resolveConfiguredDevices(const DeviceLists& lists, StreamOptions& options) {
  options.configuredInputDevice =
      deviceNumber(lists.inputList(), getSettingString("WaveInputDevice", kDefaultDeviceName));
  options.configuredOutputDevice =
      deviceNumber(lists.outputList(), getSettingString("WaveOutputDevice", kDefaultDeviceName));
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
