// The Global Preferences window's values as a plain struct: what the window
// shows when it opens and what its OK button stores, in that order, so the
// rules run without a window. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "settings/global_settings.h"

namespace quelto {

// Default of "SplashScreenDuration" for the "sec." display, and the default
// the "Duration" slider reads it with: the two disagree until the slider is
// first moved, as the window always did.
constexpr double kSplashDurationDefault = setting::kSplashScreenDuration.defaultValue;
constexpr double kSplashSliderDefault = 3.0;

// The device choices list "Default" first, then the device names.
constexpr const char* kDefaultDeviceName = setting::kWaveInputDevice.defaultValue;

struct GlobalPreferencesValues {
  int languageIndex = 0;                            // position in the "&Language" choice
  bool disableSplash = false;                       // "&Disable": not "ShowSlpashScreen"
  double durationDisplay = kSplashDurationDefault;  // "sec." display
  double durationSlider = kSplashSliderDefault;     // "Duration" slider
  bool confirmFileNew = false;
  bool confirmFileQuit = false;
  bool confirmEditCut = false;
  bool confirmOptionsRestart = false;
  bool muteWaveOnQuit = false;
  // "Keep an &activity log": on when "LogFilePrefix" is not empty.
  bool keepActivityLog = false;
  // Filled when reading: the stored names, which the window turns into
  // positions with the device lists' name lookup.
  std::string inputDeviceName = kDefaultDeviceName;
  std::string outputDeviceName = kDefaultDeviceName;
  // Read when storing: the positions chosen in the two device choices.
  int inputDevicePosition = 0;
  int outputDevicePosition = 0;
};

// The language index the window shows: currentLanguage() until the first
// OK, then the last index chosen (kept for the whole run, so the window
// shows the choice before the restart that makes it effective).
int rememberedLanguageIndex();

// The values the window shows (showGlobalPreferences).
GlobalPreferencesValues readGlobalPreferences();

// What storing decided.
struct GlobalPreferencesStored {
  std::string inputDeviceName;   // as stored in "WaveInputDevice"
  std::string outputDeviceName;  // as stored in "WaveOutputDevice"
  bool offerRestart = false;     // the language differs from the running one
  std::string logFilePrefix;     // "LogFilePrefix" as stored; empty: no log
  bool logSwitched = false;      // the log was turned on or off: apply it now
};

// applyGlobalPreferences: stores every setting in order, remembers the
// language index, stores "Language" = languageName(index), and the device
// names at the chosen positions of the lists ("Default" when a position is
// outside the list). All in one SettingsBatch.
// The activity-log switch: turned on with an empty "LogFilePrefix" stores
// activityLogFolder(); on with a prefix already set (typed into the store by
// hand) keeps that prefix; off stores an empty prefix.
GlobalPreferencesStored storeGlobalPreferences(const GlobalPreferencesValues& values,
                                               const std::vector<std::string>& inputDevices,
                                               const std::vector<std::string>& outputDevices);

// The entry at position, or "Default" when position is outside the list.
std::string deviceNameAtPosition(const std::vector<std::string>& devices, int position);

// The splash window: shown when "ShowSlpashScreen" (default true) is set
// and "SplashScreenDuration" (default 1.1, read as a float) is above 0.001.
struct SplashPlan {
  bool show = false;
  double seconds = 0.0;
};
SplashPlan splashPlan();

}  // namespace quelto
