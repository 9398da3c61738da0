// The sound device the program uses: the desktop sound server when one
// answers, PortAudio over ALSA otherwise. Neither aborts for lack of sound:
// with no device at all the lists are empty and the modem reports that it
// cannot open the sound card until a device appears.
//
// Threads: call on the user-interface thread, before the modem starts.
#pragma once

#include "audio/sound_device.h"

#include <memory>

namespace quelto {

std::unique_ptr<SoundDevice> openSystemSoundDevice();

}  // namespace quelto
