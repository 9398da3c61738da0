// The program-wide settings: one named row each, with its stored name, its
// kind (the type of its default) and its default. Readers and writers name
// the row, so a stored name and its default are written down once, here.
// Profiles have their own field table (settings/profile.cpp); the window
// places have theirs (settings/window_geometry.cpp).
//
// Stored names never change: settings files and the scripts that seed them
// use them as they are. Where a name reads oddly, the row says why.
//
// Reads and writes follow the store's rules (settings/settings_store.h): a
// missing or unreadable value reads as the row's default.
#pragma once

#include <cstddef>
#include <string>

namespace quelto {

template <typename T>
struct GlobalSetting {
  const char* name;  // as stored
  T defaultValue;
};
using TextSetting = GlobalSetting<const char*>;
using IntegerSetting = GlobalSetting<int>;
using RealSetting = GlobalSetting<double>;
using FlagSetting = GlobalSetting<bool>;

namespace setting {

// "English" or "Français"; the first two bytes choose the interface language.
// Unset (empty) until the user chooses: the locale's language is used.
inline constexpr TextSetting kLanguage{"Language", ""};
// Misspelt since the first release; stores hold this spelling.
inline constexpr FlagSetting kShowSplashScreen{"ShowSlpashScreen", true};
// Seconds the splash window stays; the Global Preferences slider reads it
// with its own default (kSplashSliderDefault).
inline constexpr RealSetting kSplashScreenDuration{"SplashScreenDuration", 1.1};
inline constexpr FlagSetting kConfirmFileNew{"ConfirmFileNew", true};
inline constexpr FlagSetting kConfirmFileQuit{"ConfirmFileQuit", true};
inline constexpr FlagSetting kConfirmEditCut{"ConfirmEditCut", true};
inline constexpr FlagSetting kConfirmOptionsRestart{"ConfirmOptionsRestart", true};
// "Wave" names the sound output in every stored name below; kept as stored.
inline constexpr FlagSetting kMuteWaveOnQuit{"MuteWaveOnQuit", false};
// Device names as the device lists show them; "Default" is the system's.
inline constexpr TextSetting kWaveInputDevice{"WaveInputDevice", "Default"};
inline constexpr TextSetting kWaveOutputDevice{"WaveOutputDevice", "Default"};
inline constexpr FlagSetting kCloseWaveAfterWrite{"CloseWaveAfterWrite", false};
inline constexpr FlagSetting kAddPadBits{"AddPadBits", false};
inline constexpr FlagSetting kAutoAdjustVolume{"AutoAdjustVolume", true};
// Percent of a volume's range; outside 10..100 the default is used and stored.
inline constexpr IntegerSetting kMasterVolumePercent{"MasterVolumePercent", 75};
inline constexpr IntegerSetting kMicrophoneVolumePercent{"MicrophoneVolumePercent", 75};
inline constexpr IntegerSetting kWaveVolumePercent{"WaveVolumePercent", 75};
// The receiver's framing rules (FramingConfig in modem/fsk_modem.h, whose
// defaults these equal).
inline constexpr IntegerSetting kStartBitThreshold{"StartBitThreshold", -7};
inline constexpr IntegerSetting kStopBitThreshold{"StopBitThreshold", 12};
inline constexpr IntegerSetting kRestartCount{"RestartCount", 6};
// "VuMeter" is the level meter's first name; kept as stored. The defaults
// equal LevelMeter's (bar mode, offset 0, factor 12).
inline constexpr IntegerSetting kVuMeterLed{"VuMeterLed", 0};
inline constexpr IntegerSetting kVuMeterOffset{"VuMeterOffset", 0};
inline constexpr RealSetting kVuMeterFactor{"VuMeterFactor", 12.0};
// The number the next activity log file gets, and the log files' name prefix.
inline constexpr IntegerSetting kLogFileNextId{"LogFileNextId", 1};
inline constexpr TextSetting kLogFilePrefix{"LogFilePrefix", ""};
// "NProfiles" counts the ids in "Profiles" (comma-separated); both as stored.
inline constexpr IntegerSetting kProfileCount{"NProfiles", 1};
inline constexpr TextSetting kProfileIds{"Profiles", "0"};
// The demodulator the modem thread listens with, "classic" or "robust"
// (receiverName in modem/robust_receiver.h); an unknown name reads as the
// default receiver.
inline constexpr TextSetting kReceiver{"Receiver", "robust"};
// Typed text goes out as held-carrier transmissions (a mark lead-in and a
// mark hold around back-to-back characters); off: batches from silence.
inline constexpr FlagSetting kCarrierHold{"CarrierHold", true};
// The layout version the stored window places belong to.
inline constexpr IntegerSetting kUiVersion{"UIVersion", 0};
// The toolkit's three interface colours as "r,g,b"; empty: the toolkit's own.
inline constexpr TextSetting kDefaultBackground{"DefaultBackground", ""};
inline constexpr TextSetting kDefaultBackground2{"DefaultBackground2", ""};
inline constexpr TextSetting kDefaultForeground{"DefaultForeground", ""};

}  // namespace setting

// The rows above as one list, for checks over all of them.
enum class SettingKind { Text, Integer, Real, Flag };
struct GlobalSettingRow {
  const char* name;
  SettingKind kind;
  const char* text = nullptr;  // the default of a Text row
  int integer = 0;             // ... of an Integer row
  double real = 0.0;           // ... of a Real row
  bool flag = false;           // ... of a Flag row
};
struct GlobalSettingRows {
  const GlobalSettingRow* first;
  std::size_t count;
  const GlobalSettingRow* begin() const { return first; }
  const GlobalSettingRow* end() const { return first + count; }
};
GlobalSettingRows globalSettingRows();

std::string readSetting(const TextSetting& setting);
int readSetting(const IntegerSetting& setting);
double readSetting(const RealSetting& setting);
bool readSetting(const FlagSetting& setting);
// With a caller's default instead of the row's.
double readSetting(const RealSetting& setting, double defaultValue);

// Each returns kSettingWriteOk (0) or kSettingWriteFailed (-1).
int writeSetting(const TextSetting& setting, const std::string& value);
int writeSetting(const IntegerSetting& setting, int value);
int writeSetting(const RealSetting& setting, double value);
int writeSetting(const FlagSetting& setting, bool value);

}  // namespace quelto
