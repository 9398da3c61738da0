// Start-up and preferences glue between the settings store and the sound
// stream: which devices to open and the two stream switches.
//
// Threads: user-interface thread (start-up, preferences dialog, the
// "&Diagnostic" command).
#pragma once

#include "audio/device_list.h"
#include "audio/mixer.h"
#include "audio/sound_stream.h"

#include <string>

namespace quelto {

// Takes "WaveInputDevice" and "WaveOutputDevice" (default "Default") as the
// chosen devices of `options`; start-up calls it before the modem starts.
void loadDeviceChoices(StreamOptions& options = streamOptions());
// Opens the mixer of the devices "WaveInputDevice" and "WaveOutputDevice"
// name at the time of the call.
MixerOpener chosenDevicesMixer(SoundDevice& device);
// Reads "CloseWaveAfterWrite" and "AddPadBits" (default off) into `options`;
// start-up calls it once the profiles are restored.
void loadStreamSwitches(StreamOptions& options = streamOptions());

// The chosen device that the stream found missing at its last open (the
// input first), or "" when every chosen device is there.
std::string missingSoundDevice(const StreamOptions& options);

// The diagnostic report for the stored device names (Windows-1252 text).
std::string diagnosticReport(const DeviceLists& lists);

}  // namespace quelto
