// A machine without sound: no sound server answers and the ALSA
// configuration is empty. The program's sound device must neither abort nor
// hang; the modem reports that it cannot open the sound card and recovers
// once a device appears.
//
// Run with ALSA_CONFIG_PATH naming a file of the test's (QUELTO_ALSA_CONFIG,
// empty at the start) and PULSE_SERVER naming a socket nobody listens on.
#include "audio/device_list.h"
#include "audio/system_sound_device.h"
#include "modem/modem_control.h"
#include "tests/audio/test_sound_server.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace quelto {
namespace {

using namespace std::chrono_literals;

// A PCM that needs no card and no other configuration: output into
// nothing, input from a file of silence.
std::string pcm(const std::string& name, const std::string& silence) {
  return "pcm." + name +
         " {\n"
         "  type asym\n"
         "  playback.pcm { type file slave.pcm { type null } file \"/dev/null\" format \"raw\" }\n"
         "  capture.pcm { type file slave.pcm { type null } file \"/dev/null\" infile \"" +
         silence +
         "\" format \"raw\" }\n"
         "}\n";
}

std::string lineConfig(const std::string& silence) {
  return pcm("!default", silence);
}

// A new file in the configuration's place: ALSA sees a change by the file's
// identity and its time in whole seconds, and a change may come within the
// same second.
void replaceConfig(const std::string& config, const std::string& text) {
  const std::string next = config + ".next";
  std::ofstream(next, std::ios::trunc) << text;
  ASSERT_EQ(std::rename(next.c_str(), config.c_str()), 0);
}

TEST(NoSoundTest, StartsWithoutSoundReportsItAndRecoversWhenADeviceAppears) {
  const char* config = std::getenv("QUELTO_ALSA_CONFIG");
  ASSERT_NE(config, nullptr);
  std::ofstream(config, std::ios::trunc).flush();

  const std::unique_ptr<SoundDevice> device = openSystemSoundDevice();
  ASSERT_NE(device, nullptr);
  DeviceLists lists(*device);
  EXPECT_EQ(lists.inputList(), std::vector<std::string>{"Default"});
  EXPECT_EQ(lists.outputList(), std::vector<std::string>{"Default"});

  // The command-line tool lists the default devices and succeeds.
  if (const char* tool = std::getenv("QUELTO_MODEM_TOOL")) {
    std::string out;
    FILE* pipe = popen((std::string(tool) + " devices").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::array<char, 256> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
      out.append(buffer.data(), n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(out, "input\tDefault\noutput\tDefault\n");
  }

  // The modem says it cannot open the sound card ("Could not open
  // soundcard !" in the window) and keeps looking.
  StreamOptions options;
  SignalCapture capture;
  std::mutex mutex;
  ModemControl control(mutex);
  control.start(*device, {&options, &capture, {}});
  EXPECT_TRUE(waitUntil([&] { return control.modemState() == ModemState::Unavailable; }));

  // A device appears: the modem takes it up and listens.
  const std::string silence = std::string(config) + ".silence";
  std::ofstream(silence, std::ios::binary) << std::string(16000 * 20, '\0');
  replaceConfig(config, lineConfig(silence));
  EXPECT_TRUE(waitUntil([&] { return control.modemState() == ModemState::Listening; }, 120s));
  lists.refresh();
  EXPECT_EQ(lists.inputList().front(), "Default");
  EXPECT_GT(lists.inputList().size(), 1u) << "the new device is listed";
  std::remove(silence.c_str());
}

TEST(NoSoundTest, ADevicePluggedInWhileListeningIsListedWhenThePreferencesOpen) {
  const char* config = std::getenv("QUELTO_ALSA_CONFIG");
  ASSERT_NE(config, nullptr);
  const std::string silence = std::string(config) + ".silence";
  std::ofstream(silence, std::ios::binary) << std::string(16000 * 20, '\0');
  replaceConfig(config, lineConfig(silence));

  const std::unique_ptr<SoundDevice> device = openSystemSoundDevice();
  ASSERT_NE(device, nullptr);
  DeviceLists lists(*device);
  StreamOptions options;
  SignalCapture capture;
  std::mutex mutex;
  ModemControl control(mutex);
  control.start(*device, {&options, &capture, {}});
  ASSERT_TRUE(waitUntil([&] { return control.modemState() == ModemState::Listening; }, 120s));

  // An adapter plugged in while the modem listens, and chosen: the sound
  // library saw the devices when it started, and sees this one only when
  // asked to look again, as the preferences do when they open.
  replaceConfig(config, lineConfig(silence) + pcm("phone_adapter", silence));
  options.inputDevice.set("phone_adapter");
  EXPECT_TRUE(waitUntil([&] { return options.inputDeviceMissing.load(); }));
  lists.refresh();
  EXPECT_GT(listIndex(lists.inputList(), "phone_adapter"), 0);
  EXPECT_GT(listIndex(lists.outputList(), "phone_adapter"), 0);
  EXPECT_TRUE(waitUntil([&] {
    return !options.inputDeviceMissing && control.modemState() == ModemState::Listening;
  })) << "the modem listens to the adapter";
  std::remove(silence.c_str());
}

}  // namespace
}  // namespace quelto
