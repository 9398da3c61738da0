// Device lists, name resolution and the diagnostic report in both languages.
#include "audio/device_list.h"
#include "audio/audio_settings.h"
#include "audio/memory_sound_device.h"
#include "settings/settings_store.h"
#include "settings/translation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace quelto {
namespace {

const std::string kNotSetIn = "The input device is not set in the preferences\n";
const std::string kNotSetOut = "The output device is not set in the preferences\n";
const std::string kNotFound = "This device cannot be found: the default device takes its place.\n";
const std::string kDigital =
    "The chosen device seems to be a digital one and may not work with Quelto.\nIf you receive "
    "no text from the other party, choose another device in the Global Preferences.\n";

std::string countIn(int n) {
  return "There are " + std::to_string(n) +
         " input devices on this computer.\nBetter choose the one Quelto is connected to.\n";
}

std::string countOut(int n) {
  return "There are " + std::to_string(n) +
         " output devices on this computer.\nBetter choose the one Quelto is connected to.\n";
}

TEST(DeviceListTest, ListsStartWithDefaultKeepWholeNamesAndFollowTheDevice) {
  const std::string longName = "HDA Intel PCH: ALC3246 Analog (hw:0,0)";
  MemorySoundDevice device({"USB Audio", longName}, {"Speakers"});
  DeviceLists lists(device);
  EXPECT_EQ(lists.inputList(), (std::vector<std::string>{"Default", "USB Audio", longName}));
  EXPECT_EQ(lists.outputList(), (std::vector<std::string>{"Default", "Speakers"}));

  // Two identical adapters stay two names, however long.
  const std::string adapter = "USB PnP Sound Device: Audio (hw:1,0)";
  const std::string twin = "USB PnP Sound Device: Audio (hw:2,0)";
  device.setDeviceNames({adapter, twin}, {"Speakers", adapter, twin});
  EXPECT_EQ(lists.inputList().size(), 3u) << "a snapshot until refreshed";
  lists.refresh();
  EXPECT_EQ(lists.inputList(), (std::vector<std::string>{"Default", adapter, twin}));
  EXPECT_EQ(lists.outputList(), (std::vector<std::string>{"Default", "Speakers", adapter, twin}));
}

TEST(DeviceListTest, NamesResolveToListIndexAndChosenDevice) {
  const DeviceLists lists({"Mic", "Line In", "Mic"}, {});
  struct Case {
    const char* name;
    int index;
  };
  for (const Case& c : {Case{"Default", 0}, Case{"Mic", 1}, Case{"Line In", 2}, Case{"line in", 0},
                        Case{"Gone", 0}, Case{"", 0}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(listIndex(lists.inputList(), c.name), c.index);
  }
  EXPECT_EQ(chosenDevice("Default"), "");
  EXPECT_EQ(chosenDevice("Line In"), "Line In");
  EXPECT_EQ(chosenDevice("default"), "default") << "only the exact word means the default";
}

TEST(DeviceListTest, AChosenDeviceThatIsMissingStaysAChoice) {
  const std::vector<std::string> list{"Default", "Built-in Audio", "USB Phone Adapter"};
  EXPECT_EQ(deviceChoices(list, "USB Phone Adapter"), list);
  EXPECT_EQ(deviceChoices(list, "Default"), list);
  EXPECT_EQ(deviceChoices(list, ""), list);
  EXPECT_EQ(deviceChoices(list, "usb phone adapter"),
            (std::vector<std::string>{"Default", "Built-in Audio", "USB Phone Adapter",
                                      "usb phone adapter"}))
      << "letter case counts, as when the device is opened";
  const std::vector<std::string> gone = deviceChoices({"Default"}, "USB Phone Adapter");
  EXPECT_EQ(gone, (std::vector<std::string>{"Default", "USB Phone Adapter"}));

  const std::string pattern = "Sound device not found: %s";
  EXPECT_EQ(deviceChoiceLabel("USB Phone Adapter", list, pattern), "USB Phone Adapter");
  EXPECT_EQ(deviceChoiceLabel("USB Phone Adapter", {"Default"}, pattern),
            "Sound device not found: USB Phone Adapter");
  EXPECT_EQ(deviceChoiceLabel("50%s off", {"Default"}, "Introuvable : %s !"),
            "Introuvable : 50%s off !")
      << "the name is put in once, never read as a pattern";
}

TEST(DeviceListTest, ReportTexts) {
  setLanguage(kLanguageEnglish);
  const DeviceLists oneEach({"Mic"}, {"Speakers"});
  const DeviceLists one({"Mic",
                         "Entr\xC3\xA9"
                         "e"},
                        {"Speakers"});
  const DeviceLists three({"Mic", "Line In", "My DIGITAL In"}, {"A", "B", "Digital Out"});
  struct Case {
    const char* what;
    std::string in, out;
    const DeviceLists& lists;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"one device each, nothing chosen: no count", "Default", "Default", oneEach,
       kNotSetIn + "\n" + kNotSetOut + "\n"},
      {"three devices each, nothing chosen", "Default", "Default", three,
       kNotSetIn + countIn(3) + "\n" + kNotSetOut + countOut(3) + "\n"},
      {"chosen devices that are not plugged in", "USB Phone Adapter", "USB Phone Adapter", three,
       "The input device is: USB Phone Adapter\n" + kNotFound +
           "\n\nThe output device is: USB Phone Adapter\n" + kNotFound + "\n"},
      {"named devices", "Line In", "B", three,
       "The input device is: Line In\n\n\nThe output device is: B\n\n"},
      {"digital input in any case warns; output never does", "My DIGITAL In", "Digital Out", three,
       "The input device is: My DIGITAL In\n\n" + kDigital +
           "\nThe output device is: Digital Out\n\n"},
      {"accented names come out in Windows-1252",
       "Entr\xC3\xA9"
       "e",
       "Default", one,
       "The input device is: Entr\xE9"
       "e\n\n\n" +
           kNotSetOut + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(diagnosticReport(c.in, c.out, c.lists), c.expected);
  }
  // The French interface gets the French report, accents in Windows-1252.
  setLanguage(kLanguageFrench);
  EXPECT_EQ(diagnosticReport("Line In", "USB Phone Adapter", three),
            "Le p\xE9riph\xE9rique d'entr\xE9"
            "e est : Line In\n\n\n"
            "Le p\xE9riph\xE9rique de sortie est : USB Phone Adapter\n"
            "Ce p\xE9riph\xE9rique est introuvable : le p\xE9riph\xE9rique par d\xE9"
            "faut le remplace.\n\n");
  const std::string notSet =
      "Le p\xE9riph\xE9rique d'entr\xE9"
      "e n'est pas d\xE9"
      "fini dans les pr\xE9"
      "f\xE9rences\nIl y a 3 ";
  EXPECT_EQ(diagnosticReport("Default", "Default", three).substr(0, notSet.size()), notSet);
  setLanguage(kLanguageEnglish);
}

class AudioSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) / "quelto-audio-settings";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    closeSettingsStore();
  }
  void TearDown() override {
    closeSettingsStore();
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
};

TEST_F(AudioSettingsTest, StoredNamesAndSwitchesReachTheStreamOptions) {
  const DeviceLists lists({"Mic", "Line In"}, {"Speakers", "Line Out"});
  StreamOptions options;
  options.inputDevice.set("left over");
  loadDeviceChoices(options);
  loadStreamSwitches(options);
  EXPECT_EQ(options.inputDevice.get(), "");
  EXPECT_EQ(options.outputDevice.get(), "");
  EXPECT_FALSE(options.closeWaveAfterWrite);
  EXPECT_FALSE(options.addPadBits);

  setSettingString("WaveInputDevice", "Line In");
  setSettingString("WaveOutputDevice", "line out");  // letter case differs: not that device
  setSettingBool("CloseWaveAfterWrite", true);
  setSettingBool("AddPadBits", true);
  loadDeviceChoices(options);
  loadStreamSwitches(options);
  EXPECT_EQ(options.inputDevice.get(), "Line In");
  EXPECT_EQ(options.outputDevice.get(), "line out");
  EXPECT_TRUE(options.closeWaveAfterWrite);
  EXPECT_TRUE(options.addPadBits);
  setLanguage(kLanguageEnglish);
  EXPECT_EQ(diagnosticReport(lists),
            "The input device is: Line In\n\n\n"
            "The output device is: line out\n" +
                kNotFound + "\n");

  // What the status text names: the missing input first, then the output.
  EXPECT_EQ(missingSoundDevice(options), "");
  options.outputDeviceMissing = true;
  EXPECT_EQ(missingSoundDevice(options), "line out");
  options.inputDeviceMissing = true;
  EXPECT_EQ(missingSoundDevice(options), "Line In");
}

}  // namespace
}  // namespace quelto
