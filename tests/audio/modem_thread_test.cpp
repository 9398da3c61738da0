// The modem thread over the in-memory device: pass order, batches, the
// receive queue, announcements, faults and recovery.
#include "audio/announcements.h"
#include "audio/memory_sound_device.h"
#include "modem/line_signal.h"
#include "modem/modem_control.h"
#include "tests/audio/line_simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace quelto {
namespace {

using namespace std::chrono_literals;
using Kind = MemorySoundDevice::EventKind;

// 8000 samples/s line signal of `text` as another TDD would send it.
std::vector<std::uint8_t> lineSignal(const std::string& text, int baud = kBaud45) {
  FskModem sender;
  sender.setBaud(baud);
  const std::vector<std::uint8_t> s = renderTextSignal(sender, text);
  std::vector<std::uint8_t> line = resampleTo(s.data(), s.size(), 22050, 8000);
  line.insert(line.end(), 4000, 128);
  return line;
}

class ModemThreadTest : public ::testing::Test {
 protected:
  ModemThreadTest() : control(mutex) { device.setPace(20.0); }

  void start() { control.start(device, {&options, &capture, {}}); }

  void type(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    for (unsigned char ch : text) control.sendQueue.push_back({ch, QueuedChar::kTyped});
  }

  template <typename Pred>
  bool waitFor(Pred pred, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }

  bool waitForDevice(const std::function<bool(const MemorySoundDevice&)>& pred) {
    return device.waitUntil(pred, 10s);
  }

  std::vector<MemorySoundDevice::Event> plays() const {
    std::vector<MemorySoundDevice::Event> p;
    for (const auto& e : device.events())
      if (e.kind == Kind::Play) p.push_back(e);
    return p;
  }

  std::mutex mutex;
  MemorySoundDevice device;
  StreamOptions options;
  SignalCapture capture;
  ModemControl control;
};

TEST_F(ModemThreadTest, FirstPassAppliesTheInitialSettingsThenListens) {
  EXPECT_EQ(control.modemState(), ModemState::Listening);
  EXPECT_EQ(control.shift, LTRS);
  EXPECT_EQ(control.settingsChanged, 1);
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 2; }));
  const auto events = device.events();
  EXPECT_EQ(events.front().kind, Kind::OpenInput);
  EXPECT_EQ(events.front().length, 1408u);  // baud selector 1
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(control.settingsChanged, 0);
  EXPECT_EQ(control.requestedShift, 0);
}

TEST_F(ModemThreadTest, LineParametersAndShiftRequestsReachTheModem) {
  control.setLineParameters(30, kBaud50);
  EXPECT_DOUBLE_EQ(control.threshold, 58.0);
  EXPECT_STREQ(control.toggleBaudRate(), "45 &bauds");
  EXPECT_STREQ(control.toggleBaudRate(), "50 &bauds");
  control.forceFigures();
  EXPECT_EQ(control.requestedShift, FIGS);
  start();
  ASSERT_TRUE(waitFor([&] { return control.shift == FIGS; }));
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  EXPECT_EQ(device.events().front().length, 1280u);

  // Toggling back reopens the input with the 45.45-baud block.
  control.toggleBaudRate();
  control.forceLetters();
  ASSERT_TRUE(waitFor([&] { return control.shift == LTRS; }));
  ASSERT_TRUE(waitForDevice(
      [](const MemorySoundDevice& d) { return d.countLocked(Kind::OpenInput) >= 2; }));
  for (const auto& e : device.events())
    if (e.kind == Kind::OpenInput && e.length == 1408u) return;
  ADD_FAILURE() << "input never reopened at 1408";
}

TEST_F(ModemThreadTest, TwentyCharactersGoOutAsBatchesOfEightEightFour) {
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  type("ABCDEFGHIJKLMNOPQRST");
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Drain) >= 3; }));
  ASSERT_TRUE(waitFor([&] {
    std::lock_guard<std::mutex> lock(mutex);
    return control.sendQueue.empty();
  }));
  std::vector<std::size_t> lengths;
  for (const auto& e : plays()) {
    lengths.push_back(e.length);
    EXPECT_EQ(e.rate, 22050);
  }
  EXPECT_EQ(lengths, (std::vector<std::size_t>{8 * 3880, 4096, 8 * 3880, 4096, 4 * 3880, 4096}));

  // What went out decodes as what was typed.
  const std::vector<std::uint8_t> played = device.playedSamples();
  const std::vector<std::uint8_t> line = resampleTo(played.data(), played.size(), 22050, 8000);
  FskModem receiver;
  EXPECT_EQ(receiveText(receiver, line.data(), line.size()), "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(ModemThreadTest, ADialRequestGoesBeforeTheNextBatch) {
  device.setPace(4.0);  // time enough to ask while the first batch plays
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  type("ABCDEFGHIJKLMNOP");
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Play) >= 1; }));
  {
    std::lock_guard<std::mutex> lock(mutex);
    control.dialString = "(5)";
  }
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Drain) >= 3; }));
  const auto p = plays();
  ASSERT_GE(p.size(), 6u);
  EXPECT_EQ(p[0].length, 8 * 3880u);
  EXPECT_EQ(p[2].rate, 8000);
  EXPECT_EQ(p[2].length, 4800u);
  EXPECT_EQ(p[4].rate, 22050);
  EXPECT_EQ(p[4].length, 8 * 3880u);
}

TEST_F(ModemThreadTest, ReceivedBackspaceTakesBackAnUndeliveredCharacterOrIsDelivered) {
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  device.feedInput(lineSignal("AB\b"));
  ASSERT_TRUE(waitFor([&] { return device.pendingInput() == 0; }));
  std::this_thread::sleep_for(100ms);
  {
    std::lock_guard<std::mutex> lock(mutex);
    const std::vector<QueuedChar> got = control.takeReceived();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].character, 'A');
    EXPECT_EQ(got[0].flags, QueuedChar::kReceived);
  }
  device.feedInput(lineSignal("\b"));
  ASSERT_TRUE(waitFor([&] {
    std::lock_guard<std::mutex> lock(mutex);
    return !control.receiveQueue.empty();
  }));
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(control.receiveQueue.size(), 1u);
  EXPECT_EQ(control.receiveQueue[0].character, kBackspace);
}

TEST_F(ModemThreadTest, SignalIndicatorAndInputLevelFollowTheInput) {
  start();
  std::vector<std::uint8_t> tone(16000);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] =
        static_cast<std::uint8_t>(128 + std::lround(60 * std::sin(2 * M_PI * 1400 * i / 8000.0)));
  device.feedInput(tone);
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::SignalPresent; }));
  EXPECT_GE(control.inputLevel, 58);
  EXPECT_LE(control.inputLevel, 60);
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::Listening; }));
  EXPECT_EQ(control.inputLevel, 0);
}

TEST_F(ModemThreadTest, AnAnnouncementWaitsForTheTypedText) {
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  const Announcement& english = announcements()[1];
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (unsigned char ch : std::string("HELLO GA"))
      control.sendQueue.push_back({ch, QueuedChar::kTyped});
    for (unsigned char ch : std::string("HELLO"))
      control.sendQueue.push_back({ch, QueuedChar::kTyped});
  }
  ASSERT_TRUE(control.requestAnnouncement(english.samples, english.sampleCount));
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::Announcing; }));
  EXPECT_FALSE(control.requestAnnouncement(english.samples, english.sampleCount));
  ASSERT_TRUE(waitFor([&] {
    std::lock_guard<std::mutex> lock(mutex);
    return control.announcementLength == 0;
  }));
  EXPECT_EQ(control.modemState(), ModemState::Listening);
  const auto sessions = device.playbacks();
  ASSERT_GE(sessions.size(), 2u);
  EXPECT_EQ(sessions[0].rate, 22050);
  EXPECT_EQ(sessions[0].samples.size(), 8 * 3880 + 4096 + 5 * 3880 + 4096u);
  EXPECT_EQ(sessions[1].rate, 8000);
  const std::vector<std::uint8_t> spoken(english.samples, english.samples + english.sampleCount);
  EXPECT_TRUE(std::equal(spoken.begin(), spoken.end(), sessions[1].samples.begin()));
  EXPECT_EQ(sessions[1].samples.size(), english.sampleCount + 4096u);
  // After it has played, a new request is accepted.
  EXPECT_TRUE(control.requestAnnouncement(english.samples, english.sampleCount));
}

TEST_F(ModemThreadTest, NoInputDeviceShowsUnavailableUntilOneAppears) {
  device.noInputDevice = true;
  start();
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::Unavailable; }));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(device.count(Kind::OpenInput), 0u);
  device.noInputDevice = false;
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::Listening; }));
}

TEST_F(ModemThreadTest, DeviceFaultsShowInTheStateAndTheThreadRecovers) {
  struct Case {
    std::atomic<bool> MemorySoundDevice::*fault;
    ModemState shown;
    bool sending;
  };
  for (const Case& c : {Case{&MemorySoundDevice::failOpenInput, ModemState::Unavailable, false},
                        Case{&MemorySoundDevice::failRead, ModemState::Fault, false},
                        Case{&MemorySoundDevice::failOpenOutput, ModemState::Unavailable, true},
                        Case{&MemorySoundDevice::failPlay, ModemState::Fault, true}}) {
    std::mutex m;
    MemorySoundDevice dev;
    dev.setPace(20.0);
    ModemControl ctl(m);
    (dev.*c.fault) = true;
    ctl.start(dev, {&options, &capture, {}});
    if (c.sending) {
      std::lock_guard<std::mutex> lock(m);
      ctl.sendQueue.push_back({'A', QueuedChar::kTyped});
    }
    ASSERT_TRUE(waitFor([&] { return ctl.modemState() == c.shown; })) << int(c.shown);
    (dev.*c.fault) = false;
    ASSERT_TRUE(waitFor([&] { return ctl.modemState() == ModemState::Listening; }));
    if (c.sending) {
      // The character of the failed batch is lost, not retried.
      std::lock_guard<std::mutex> lock(m);
      EXPECT_TRUE(ctl.sendQueue.empty());
    }
  }
}

TEST(ModemControlQueue, StopSendingEmptiesTheQueueOnlyWhileSomethingIsUntaken) {
  std::mutex m;
  ModemControl control(m);
  const QueuedChar taken{'A', QueuedChar::kTaken};
  const QueuedChar typed{'B', QueuedChar::kTyped};

  control.sendQueue = {taken, taken};
  EXPECT_FALSE(control.stopSending());
  EXPECT_EQ(control.sendQueue.size(), 2u);

  control.sendQueue = {taken, typed, typed};
  EXPECT_TRUE(control.stopSending());
  EXPECT_TRUE(control.sendQueue.empty());

  control.receiveQueue = {{'X', QueuedChar::kReceived}, {'Y', QueuedChar::kReceived}};
  const std::vector<QueuedChar> got = control.takeReceived();
  EXPECT_EQ(got.size(), 2u);
  EXPECT_TRUE(control.receiveQueue.empty());
}

TEST(StartModemDeathTest, ASecondStartEndsTheProgramWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        MemorySoundDevice device;
        device.setPace(20.0);
        const auto first = startModem(device);
        const auto second = startModem(device);
        std::exit(0);
      },
      ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace quelto
