// Device lists, name resolution and the French diagnostic report.
#include "audio/device_list.h"
#include "audio/audio_settings.h"
#include "audio/memory_sound_device.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace quelto {
namespace {

const std::string kNotSetIn = "Le peripherique d'entree n'est pas defini dans les preferences\n";
const std::string kNotSetOut = "Le peripherique de sortie n'est pas defini dans les preferences\n";
const std::string kNotFound =
    "Ce peripherique est introuvable: le peripherique par defaut le remplace.\n";
const std::string kDigital =
    "Le peripherique selectionne semble etre de type numerique et peut etre incompatible avec "
    "Quelto.\nSi vous ne recevez pas de texte de votre interlocuteur, essayez de choisir un "
    "autre periquerique dans les preferences globales.\n";

std::string countIn(int n) {
  return "Il y a " + std::to_string(n) +
         " peripheriques d'entree installes sur cet ordinateur.\nIl serait preferable de "
         "choisir celui ou est branche Quelto.\n";
}

std::string countOut(int n) {
  return "Il y a " + std::to_string(n) +
         " peripheriques de sortie installes sur cet ordinateur.\nIl serait preferable de "
         "choisir celui ou est branche Quelto.\n";
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
       "Le peripherique d'entree est: USB Phone Adapter\n" + kNotFound +
           "\n\nLe peripherique de sortie est: USB Phone Adapter\n" + kNotFound + "\n"},
      {"named devices", "Line In", "B", three,
       "Le peripherique d'entree est: Line In\n\n\nLe peripherique de sortie est: B\n\n"},
      {"digital input in any case warns; output never does", "My DIGITAL In", "Digital Out", three,
       "Le peripherique d'entree est: My DIGITAL In\n\n" + kDigital +
           "\nLe peripherique de sortie est: Digital Out\n\n"},
      {"accented names come out in Windows-1252",
       "Entr\xC3\xA9"
       "e",
       "Default", one,
       "Le peripherique d'entree est: Entr\xE9"
       "e\n\n\n" +
           kNotSetOut + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(diagnosticReport(c.in, c.out, c.lists), c.expected);
  }
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
  EXPECT_EQ(diagnosticReport(lists),
            "Le peripherique d'entree est: Line In\n\n\n"
            "Le peripherique de sortie est: line out\n" +
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
