// The input and output device lists shown by the preferences, the mapping
// from a stored device name to the number the sound stream opens, and the
// diagnostic report of the "&Diagnostic" command.
//
// A list's entry 0 is "Default" (the system's default device); entries 1..N
// are the device names the sound device gives, whole and in its order. Lists
// built over a device follow it: refresh() has the device look again and
// takes its current devices, so the preferences show what is plugged in
// when they open.
#pragma once

#include "audio/sound_device.h"
// kDefaultDeviceName, the name stored for the system's default device.
#include "settings/global_preferences.h"

#include <string>
#include <vector>

namespace quelto {

class DeviceLists {
 public:
  // Takes the device's current lists; the device must outlive the lists.
  // User-interface thread.
  explicit DeviceLists(SoundDevice& device);
  // Fixed lists, for tests and for a program without a device.
  DeviceLists(std::vector<std::string> inputs, std::vector<std::string> outputs);

  // Has the device look for devices plugged in or out (SoundDevice::rescan)
  // and takes its lists again (fixed lists stay as they are).
  void refresh();

  const std::vector<std::string>& inputList() const { return inputs_; }
  const std::vector<std::string>& outputList() const { return outputs_; }

 private:
  // Takes the device's lists as they stand.
  void take();

  SoundDevice* device_ = nullptr;
  std::vector<std::string> inputs_;
  std::vector<std::string> outputs_;
};

// Position of the first entry exactly equal to `name` (letter case counts),
// or 0 ("Default") when there is none.
int listIndex(const std::vector<std::string>& list, const std::string& name);
// The entries of a device choice in the preferences: the list, then the
// stored device when the list lacks it (unplugged for now), so that the
// choice keeps showing it and storing the shown entry keeps it stored.
std::vector<std::string> deviceChoices(const std::vector<std::string>& list,
                                       const std::string& storedName);
// What the choice shows for one of its entries: the name itself when the
// list holds it, otherwise `notFoundPattern` ("Sound device not found: %s")
// with the name in place of its "%s".
std::string deviceChoiceLabel(const std::string& name, const std::vector<std::string>& list,
                              const std::string& notFoundPattern);
// The device a stored name asks the sound device for: "Default" is the
// empty name (the system's default device), any other name is itself.
std::string chosenDevice(const std::string& storedName);

// The report, in the interface language, about the stored device names ("WaveInputDevice",
// "WaveOutputDevice"), as the Windows-1252 text to add to the conversation
// as received characters. A named device that the lists do not hold is
// reported as not found.
std::string diagnosticReport(const std::string& inputName, const std::string& outputName,
                             const DeviceLists& lists);

}  // namespace quelto
