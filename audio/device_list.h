// The input and output device lists shown by the preferences, the mapping
// from a stored device name to the number the sound stream opens, and the
// diagnostic report of the "&Diagnostic" command.
//
// A list's entry 0 is "Default" (the system's default device, number -1);
// entries 1..N are the system's device names in device-number order, cut to
// 31 bytes. The lists are built once, at start-up, and never refreshed.
#pragma once

#include "audio/sound_device.h"
// kDefaultDeviceName, the name stored for the system's default device.
#include "settings/global_preferences.h"

#include <string>
#include <vector>

namespace quelto {

inline constexpr std::size_t kDeviceNameMax = 31;

class DeviceLists {
 public:
  // Takes the snapshot; call on the user-interface thread.
  explicit DeviceLists(const SoundDevice& device);
  DeviceLists(std::vector<std::string> inputs, std::vector<std::string> outputs);

  const std::vector<std::string>& inputList() const { return inputs_; }
  const std::vector<std::string>& outputList() const { return outputs_; }

 private:
  std::vector<std::string> inputs_;
  std::vector<std::string> outputs_;
};

// Position of the first entry exactly equal to `name` (letter case counts),
// or 0 ("Default") when there is none.
int listIndex(const std::vector<std::string>& list, const std::string& name);
// listIndex - 1: "Default" and unknown names give -1.
int deviceNumber(const std::vector<std::string>& list, const std::string& name);

// The French report about the stored device names ("WaveInputDevice",
// "WaveOutputDevice"), as the Windows-1252 text to add to the conversation
// as received characters.
std::string diagnosticReport(const std::string& inputName, const std::string& outputName,
                             const DeviceLists& lists);

}  // namespace quelto
