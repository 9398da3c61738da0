#include "audio/system_sound_device.h"

#include "audio/portaudio_device.h"
#include "audio/pulse_device.h"

namespace quelto {

std::unique_ptr<SoundDevice> openSystemSoundDevice() {
  if (std::unique_ptr<PulseDevice> server = PulseDevice::connect()) return server;
  return std::make_unique<PortAudioDevice>();
}

}  // namespace quelto
