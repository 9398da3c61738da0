// The modem thread over the in-memory device: pass order, batches, the
// receive queue, announcements, faults and recovery.
#include "audio/announcements.h"
#include "audio/memory_sound_device.h"
#include "audio/rate_conversion.h"
#include "modem/line_signal.h"
#include "modem/modem_control.h"
#include "tests/audio/line_simulator.h"
#include "tests/modem/line_recording.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace quelto {
namespace {

using namespace std::chrono_literals;
using Kind = MemorySoundDevice::EventKind;

// 8000 samples/s line signal of `text` as another TDD would send it.
std::vector<std::uint8_t> lineSignal(const std::string& text, BaudRate baud = BaudRate::Baud45) {
  FskModem sender;
  sender.setBaud(baud);
  const std::vector<std::uint8_t> s = renderTextSignal(sender, text);
  std::vector<std::uint8_t> line = convertRate8(s.data(), s.size(), 22050, 8000, RateQuality::Best);
  line.insert(line.end(), 4000, 128);
  return line;
}

class ModemThreadTest : public ::testing::Test {
 protected:
  ModemThreadTest() : control(mutex) { device.setPace(20.0); }

  // The tests below check the batches from silence ("CarrierHold" off)
  // unless a test turns the held carrier on.
  void start() {
    ModemThreadOptions o{&options, &capture, {}};
    o.carrierHold = carrierHold;
    control.start(device, o);
  }
  bool carrierHold = false;

  void type(const std::string& text) { control.queueTyped(text); }

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

  // The writes: the plays between two drains joined (the stream hands
  // every write to the device in pieces).
  std::vector<MemorySoundDevice::Event> writes() const {
    std::vector<MemorySoundDevice::Event> w;
    bool open = false;
    for (const auto& e : device.events()) {
      if (e.kind == Kind::Drain) open = false;
      if (e.kind != Kind::Play) continue;
      if (!open) w.push_back({Kind::Play, "", e.rate, 0});
      open = true;
      w.back().length += e.length;
    }
    return w;
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
  {
    ModemControl::Lock lock(control);
    EXPECT_TRUE(lock.settingsChanged());
    EXPECT_EQ(lock.requestedShift(), LTRS);
  }
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 2; }));
  const auto events = device.events();
  EXPECT_EQ(events.front().kind, Kind::OpenInput);
  EXPECT_EQ(events.front().length, 1408u);  // 45.45 baud
  ModemControl::Lock lock(control);
  EXPECT_FALSE(lock.settingsChanged());
  EXPECT_EQ(lock.requestedShift(), std::nullopt);
}

TEST_F(ModemThreadTest, TheProfilesUnshiftOnSpaceReachesEitherReceiver) {
  // "CALL 911 NOW" from a sender that relies on unshift-on-space: figures
  // 9 1 1, a bare space (our own encoder puts a letters shift before it),
  // then N O W as the codes of their letters with no shift.
  std::vector<int> codes = {LTRS};
  ShiftState page = LTRS;
  for (unsigned char ch : std::string("CALL 911 NOW")) {
    const std::optional<BaudotCodes> c = encodeChar(ch, page);
    if (c->shiftFirst && ch != ' ') codes.push_back(*c->shiftFirst);
    codes.push_back(c->code);
  }
  for (ReceiverKind receiver : {ReceiverKind::Classic, ReceiverKind::Robust}) {
    for (bool on : {false, true}) {
      std::mutex m;
      MemorySoundDevice dev;
      dev.setPace(20.0);
      ModemControl ctl(m);
      ctl.setUnshiftOnSpace(on);
      ModemThreadOptions o{&options, &capture, {}};
      o.receiver = receiver;
      ctl.start(dev, o);
      ASSERT_TRUE(waitFor([&] { return dev.count(Kind::Read) >= 1; }));
      std::vector<std::uint8_t> line = testing::fskFrames(codes, 45.45, 2.0);
      line.insert(line.end(), 8000, 128);
      dev.feedInput8(line);
      ASSERT_TRUE(waitFor([&] { return dev.pendingInput() == 0; }));
      std::this_thread::sleep_for(300ms);
      std::string got;
      for (const QueuedChar& q : ctl.takeReceived()) got.push_back(static_cast<char>(q.character));
      EXPECT_EQ(got, on ? "CALL 911 NOW" : "CALL 911 ,92")
          << (on ? "on" : "off") << (receiver == ReceiverKind::Robust ? ", robust" : ", classic");
    }
  }
}

TEST_F(ModemThreadTest, LineParametersAndShiftRequestsReachTheModem) {
  control.setLineParameters(30, BaudRate::Baud50);
  EXPECT_DOUBLE_EQ(control.threshold(), 58.0);
  EXPECT_EQ(control.toggleBaudRate(), BaudRate::Baud45);
  EXPECT_EQ(control.toggleBaudRate(), BaudRate::Baud50);
  EXPECT_EQ(control.baudRate(), BaudRate::Baud50);
  control.forceFigures();
  EXPECT_EQ(ModemControl::Lock(control).requestedShift(), FIGS);
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
  ASSERT_TRUE(waitFor([&] { return ModemControl::Lock(control).sendQueue().empty(); }));
  std::vector<std::size_t> lengths;
  for (const auto& e : writes()) {
    lengths.push_back(e.length);
    EXPECT_EQ(e.rate, 22050);
  }
  EXPECT_EQ(lengths, (std::vector<std::size_t>{8 * 3880 + 4096, 8 * 3880 + 4096, 4 * 3880 + 4096}));

  // What went out decodes as what was typed.
  const std::vector<std::uint8_t> played = device.playedSamples();
  const std::vector<std::uint8_t> line =
      convertRate8(played.data(), played.size(), 22050, 8000, RateQuality::Best);
  FskModem receiver;
  EXPECT_EQ(receiveText(receiver, line), "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(ModemThreadTest, WithCarrierHoldTheTextGoesOutAsOneTransmission) {
  carrierHold = true;
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  const std::string typed = "AB 12\rCDEFGHIJKLMNOPQRST";
  type(typed);
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Drain) >= 1; }));
  ASSERT_TRUE(waitFor([&] { return ModemControl::Lock(control).sendQueue().empty(); }));
  ASSERT_TRUE(waitForDevice(
      [](const MemorySoundDevice& d) { return d.countLocked(Kind::OpenInput) >= 2; }));
  EXPECT_EQ(device.count(Kind::Drain), 1u) << "one transmission, drained once at its end";
  EXPECT_EQ(device.count(Kind::OpenOutput), 1u);

  // Exactly what quelto-modem encode writes for the same text: lead-in,
  // every batch back to back, the hold and the trailer.
  FskModem reference;
  EXPECT_EQ(device.playedSamples(), renderHeldCarrierSignal(reference, typed));
}

TEST(ModemControlReceive, TwoBackspacesAlwaysEraseTwo) {
  struct Case {
    std::string delivered;
    std::string queued;  // what the UI then finds in the receive queue
  };
  // A backspace takes back an undelivered character, never another
  // backspace: those are erasures the UI still has to make.
  for (const Case& c :
       {Case{"\b\b", "\b\b"}, Case{"AB\b\b", ""}, Case{"A\b\b", "\b"}, Case{"\b\bC", "\b\bC"}}) {
    std::mutex mutex;
    ModemControl control(mutex);
    ModemControl::Lock lock(control);
    for (unsigned char ch : c.delivered) lock.deliverReceived(ch);
    std::string queued;
    for (const QueuedChar& q : lock.takeReceived())
      queued.push_back(static_cast<char>(q.character));
    EXPECT_EQ(queued, c.queued) << "after delivering " << c.delivered.size() << " characters";
  }
}

TEST_F(ModemThreadTest, ADialRequestGoesBeforeTheNextBatch) {
  device.setPace(4.0);  // time enough to ask while the first batch plays
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  type("ABCDEFGHIJKLMNOP");
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Play) >= 1; }));
  control.requestDial("(5)");
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Drain) >= 3; }));
  const auto p = writes();
  ASSERT_GE(p.size(), 3u);
  EXPECT_EQ(p[0].length, 8 * 3880 + 4096u);
  EXPECT_EQ(p[1].rate, 8000);
  EXPECT_EQ(p[1].length, 4800 + 4096u);
  EXPECT_EQ(p[2].rate, 22050);
  EXPECT_EQ(p[2].length, 8 * 3880 + 4096u);
}

TEST_F(ModemThreadTest, ReceivedBackspaceTakesBackAnUndeliveredCharacterOrIsDelivered) {
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  device.feedInput8(lineSignal("AB\b"));
  ASSERT_TRUE(waitFor([&] { return device.pendingInput() == 0; }));
  std::this_thread::sleep_for(100ms);
  {
    const std::vector<QueuedChar> got = control.takeReceived();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].character, 'A');
    EXPECT_TRUE(got[0].received);
  }
  device.feedInput8(lineSignal("\b"));
  ASSERT_TRUE(waitFor([&] { return !ModemControl::Lock(control).receiveQueue().empty(); }));
  ModemControl::Lock lock(control);
  EXPECT_EQ(lock.receiveQueue().size(), 1u);
  EXPECT_EQ(lock.receiveQueue()[0].character, kBackspace);
}

TEST_F(ModemThreadTest, SignalIndicatorAndInputLevelFollowTheInput) {
  start();
  std::vector<std::uint8_t> tone(16000);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] =
        static_cast<std::uint8_t>(128 + std::lround(60 * std::sin(2 * M_PI * 1400 * i / 8000.0)));
  device.feedInput8(tone);
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::SignalPresent; }));
  EXPECT_GE(control.inputLevel, 58);
  EXPECT_LE(control.inputLevel, 60);
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::Listening; }));
  EXPECT_EQ(control.inputLevel, 0);
}

// The line events ride along the listening passes: a busy tone is
// published, a TDD answering ends it, and every one of its characters
// arrives as without the detector; dialling forgets what the line did.
TEST_F(ModemThreadTest, LineEventsArePublishedBesideTheReceivedText) {
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  device.feedInput(testing::LineRecording().cadence({480, 620}, -20, 500, 500, 3000).pcm16());
  ASSERT_TRUE(waitFor([&] { return control.lineEvent == std::uint8_t(LineEvent::Busy); }));
  device.feedInput8(lineSignal("HELLO GA"));
  ASSERT_TRUE(waitFor([&] { return control.lineEvent == std::uint8_t(LineEvent::Quiet); }));
  ASSERT_TRUE(waitFor([&] { return device.pendingInput() == 0; }));
  std::this_thread::sleep_for(100ms);
  std::string text;
  for (const QueuedChar& q : control.takeReceived()) text += static_cast<char>(q.character);
  EXPECT_EQ(text, "HELLO GA");

  device.feedInput(testing::LineRecording().tones({350, 440}, -20, 2000).pcm16());
  ASSERT_TRUE(waitFor([&] { return control.lineEvent == std::uint8_t(LineEvent::DialTone); }));
  control.requestDial("1");
  EXPECT_TRUE(waitFor([&] { return control.lineEvent == std::uint8_t(LineEvent::Quiet); }));
}

TEST_F(ModemThreadTest, AnAnnouncementWaitsForTheTypedText) {
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  const Announcement& english = announcements()[1];
  control.queueTyped("HELLO GA");
  control.queueTyped("HELLO");
  ASSERT_TRUE(control.requestAnnouncement(english.samples, english.sampleCount));
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::Announcing; }));
  EXPECT_FALSE(control.requestAnnouncement(english.samples, english.sampleCount));
  ASSERT_TRUE(waitFor([&] { return !ModemControl::Lock(control).announcementPending(); }));
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
    if (c.sending) ctl.queueTyped("A");
    ASSERT_TRUE(waitFor([&] { return ctl.modemState() == c.shown; })) << int(c.shown);
    (dev.*c.fault) = false;
    ASSERT_TRUE(waitFor([&] { return ctl.modemState() == ModemState::Listening; }));
    if (c.sending) {
      // The batch the device refused went out once it took it again.
      ASSERT_TRUE(waitFor([&] { return dev.count(Kind::Drain) >= 1; }));
      EXPECT_TRUE(ModemControl::Lock(ctl).sendQueue().empty());
      const std::vector<std::uint8_t> played = dev.playedSamples();
      FskModem receiver;
      EXPECT_EQ(receiveText(receiver, convertRate8(played.data(), played.size(), 22050, 8000,
                                                   RateQuality::Best)),
                "A");
      EXPECT_EQ(ctl.noticeCount.load(), 0u);
    }
  }
}

TEST_F(ModemThreadTest, TextTheDeviceRefusesForFiveSecondsIsReportedNotSent) {
  for (bool held : {false, true}) {
    SCOPED_TRACE(held ? "held carrier" : "batches from silence");
    std::mutex m;
    MemorySoundDevice dev;
    dev.setPace(20.0);
    ModemControl ctl(m);
    dev.failPlay = true;
    ModemThreadOptions o{&options, &capture, {}};
    o.carrierHold = held;
    ctl.start(dev, o);
    ASSERT_TRUE(waitFor([&] { return dev.count(Kind::Read) >= 1; }));
    const auto typed = std::chrono::steady_clock::now();
    ctl.queueTyped("HELLO GA");
    ASSERT_TRUE(waitFor([&] { return ctl.modemState() == ModemState::Fault; }));
    ctl.queueTyped("MORE");
    ASSERT_TRUE(waitFor([&] { return ctl.noticeCount.load() == 1; }, 15s));
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - typed).count();
    EXPECT_EQ(static_cast<ModemNotice>(ctl.notice.load()), ModemNotice::TextNotSent);
    EXPECT_GE(waited, 4.9) << "tried again for five seconds";
    // What was queued behind it would arrive with a piece missing: dropped.
    EXPECT_TRUE(ModemControl::Lock(ctl).sendQueue().empty());
    dev.failPlay = false;
    ASSERT_TRUE(waitFor([&] { return ctl.modemState() == ModemState::Listening; }));
    EXPECT_EQ(ctl.noticeCount.load(), 1u);
    EXPECT_TRUE(dev.playedSamples().empty());
  }
}

TEST_F(ModemThreadTest, ADialKeyThatCannotBePlayedStopsTheDialling) {
  start();
  ASSERT_TRUE(
      waitForDevice([](const MemorySoundDevice& d) { return d.countLocked(Kind::Read) >= 1; }));
  // The first key and its trailer go out in pieces of 400 samples (50 ms);
  // the first piece of the second key is refused.
  device.failPlayAfter = (4800 + 4096 + 399) / 400;
  control.requestDial("5551234");
  ASSERT_TRUE(waitFor([&] { return control.noticeCount.load() == 1; }));
  EXPECT_EQ(static_cast<ModemNotice>(control.notice.load()), ModemNotice::DialStopped);
  ASSERT_TRUE(waitFor([&] { return control.modemState() == ModemState::Listening; }));
  std::this_thread::sleep_for(200ms);
  std::size_t dialled = 0;
  for (const auto& p : device.playbacks())
    if (p.rate == 8000) dialled += p.samples.size();
  EXPECT_EQ(dialled, 4800 + 4096u) << "the key 5 alone: none of the keys after the failed one";
}

TEST_F(ModemThreadTest, QuitDoesNotWaitForADialOrAnAnnouncement) {
  // A device whose play takes as long as its samples last, as a card's
  // does once its queue is full. A ten-key dial takes 11 s and the
  // announcement several; the modem thread must stop within a piece.
  const Announcement& english = announcements()[1];
  for (bool dial : {true, false}) {
    SCOPED_TRACE(dial ? "dial" : "announcement");
    std::mutex m;
    MemorySoundDevice dev;
    std::atomic<std::size_t> played{0};
    dev.setPlayListener([&](int rate, const std::uint8_t*, std::size_t n) {
      std::this_thread::sleep_for(std::chrono::duration<double>(double(n) / rate));
      played += n;
    });
    auto ctl = std::make_unique<ModemControl>(m);
    ctl->start(dev, {&options, &capture, {}});
    ASSERT_TRUE(waitFor([&] { return dev.count(Kind::Read) >= 1; }));
    if (dial)
      ctl->requestDial("5145550199");
    else
      ASSERT_TRUE(ctl->requestAnnouncement(english.samples, english.sampleCount));
    ASSERT_TRUE(waitFor([&] { return played.load() >= 4000; }));
    const std::size_t before = played.load();
    const auto quit = std::chrono::steady_clock::now();
    ctl.reset();
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - quit).count();
    // At most the piece being played when Quit came, and the one started
    // just before the stop flag was seen.
    EXPECT_LE(played.load() - before, 800u);
    EXPECT_LT(took, 2.0) << "the modem thread waited for the " << (dial ? "dial" : "announcement");
  }
}

TEST(ModemControlQueue, StopWithdrawsOnlyWhatTheModemHasNotTaken) {
  std::mutex m;
  ModemControl control(m);
  const auto queued = [&] {
    std::string s;
    for (const QueuedChar& q : ModemControl::Lock(control).sendQueue())
      s += static_cast<char>(q.character);
    return s;
  };

  control.queueTyped("ABCDE");
  EXPECT_EQ(ModemControl::Lock(control).takeBatch(2), "AB");
  EXPECT_EQ(control.stopSending(), "CDE");
  EXPECT_EQ(queued(), "AB") << "the batch on its way stays queued";
  EXPECT_EQ(control.stopSending(), "") << "nothing left to withdraw";

  control.queueTyped("FG");
  EXPECT_EQ(ModemControl::Lock(control).takeBatch(8), "FG") << "taken entries are skipped";
  EXPECT_EQ(ModemControl::Lock(control).takeBatch(8), "") << "all gone";
  EXPECT_EQ(queued(), "") << "emptied after the last batch";

  // Received text is not the stop command's to touch.
  {
    ModemControl::Lock lock(control);
    lock.deliverReceived('X');
    lock.deliverReceived('Y');
    lock.deliverReceived('Z');
    lock.deliverReceived(kBackspace);
  }
  control.queueTyped("H");
  EXPECT_EQ(control.stopSending(), "H");
  const std::vector<QueuedChar> got = control.takeReceived();
  ASSERT_EQ(got.size(), 2u) << "the backspace took back Z";
  EXPECT_EQ(got[0].character, 'X');
  EXPECT_EQ(got[1].character, 'Y');
  EXPECT_TRUE(ModemControl::Lock(control).receiveQueue().empty());

  control.queueTyped("IJ");
  ModemControl::Lock(control).takeBatch(1);
  control.clearSendQueue();
  EXPECT_EQ(queued(), "") << "a cleared conversation empties everything";
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
