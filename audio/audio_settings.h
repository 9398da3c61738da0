// Start-up and preferences glue between the settings store and the sound
// stream: which devices to open and the two stream switches.
//
// Threads: user-interface thread (start-up, preferences dialog, the
// "&Diagnostic" command).
#pragma once

#include "audio/device_list.h"
#include "audio/sound_stream.h"

#include <string>

namespace quelto {

// Resolves "WaveInputDevice" and "WaveOutputDevice" (default "Default") to
// device numbers in `options`; start-up calls it before the modem starts.
void resolveConfiguredDevices(const DeviceLists& lists, StreamOptions& options = streamOptions());
// Reads "CloseWaveAfterWrite" and "AddPadBits" (default off) into `options`;
// start-up calls it once the profiles are restored.
void loadStreamSwitches(StreamOptions& options = streamOptions());

// The diagnostic report for the stored device names (Windows-1252 text).
std::string diagnosticReport(const DeviceLists& lists);

}  // namespace quelto
