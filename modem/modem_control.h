// ModemControl: the block the user-interface thread and the modem thread
// share, and the modem thread itself.
//
// The modem thread alone touches the sound card and the signal processing.
// Each turn of its loop (a pass) does one kind of work, chosen in this fixed
// order: apply changed settings, dial, send a batch of typed characters,
// play an announcement, listen to one input block.
//
// Thread rules:
//   - The queues (typed characters to send, received characters to show),
//     the dial request, the announcement, the requested shift and the
//     settings-changed flag are private and guarded by the modem mutex.
//     Reach them only through a ModemControl::Lock (which holds the mutex
//     for its lifetime) or through the ModemControl operations that take
//     the lock themselves. Never hold a Lock for long: the modem thread
//     waits on it between passes.
//   - The UI thread queues typed characters (keeping one Lock while it
//     queues a typed run and echoes it, so the modem sees the run whole),
//     takes received characters every 89.1 ms, withdraws what the modem has
//     not taken yet (Stop), requests dialling, shifts and announcements.
//   - Without the lock, read by the UI thread: state, shift, inputLevel,
//     lineEvent (single bytes written by the modem thread).
//   - The baud rate and threshold are written by the UI thread through
//     setLineParameters/toggleBaudRate, which then raise the settings-changed
//     flag under the lock; the modem thread reads them when applying it.
//
// The modem never shows a dialog: the UI shows "Could not open soundcard !"
// for Unavailable and "Soundcard problem..." for Fault.
#pragma once

#include "audio/signal_capture.h"
#include "audio/sound_device.h"
#include "audio/sound_stream.h"
#include "modem/fsk_modem.h"
#include "modem/line_events.h"
#include "modem/robust_receiver.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quelto {

enum class ModemState : std::uint8_t {
  Unavailable = 0,  // no input device, or the sound card could not be opened
  Fault = 1,        // a sound-card buffer failed
  Listening = 2,
  Dialling = 3,
  Sending = 4,
  SignalPresent = 5,  // listening, and the input peak is above threshold / 4
  Announcing = 6,
};

// A failure the modem thread tells the user of, beside its state.
enum class ModemNotice : std::uint8_t {
  Nothing = 0,  // (not "None": X11 defines that name as a macro)
  // Typed text the device refused for kSendRetryMs: it never reached the
  // line.
  TextNotSent = 1,
  // A dial key could not be played: the dialling stopped there, since the
  // remaining keys would dial a wrong number.
  DialStopped = 2,
};

// How long a batch the device refuses is tried again before it is given up.
constexpr int kSendRetryMs = 5000;

// One entry of the send or receive queue.
struct QueuedChar {
  unsigned char character = 0;  // Windows-1252
  bool received = false;        // false: typed here
  bool taken = false;           // typed, and taken by the modem for a batch
};

// The process-wide modem mutex of the program's ModemControl.
std::mutex& modemMutex();

// What the modem thread runs on besides the device. The program uses the
// process-wide ones; tests give their own.
struct ModemThreadOptions {
  StreamOptions* stream = &streamOptions();
  SignalCapture* capture = &signalCapture();
  FramingConfig framing{};
  ReceiverKind receiver = kDefaultReceiver;
  // The program's modem thread runs at real-time priority so that no input
  // block is missed; a test's threads share the machine with other tests.
  bool realTimePriority = false;
  // "CarrierHold": typed text goes out as held-carrier transmissions (a
  // mark lead-in, the batches back to back with continuous phase, a mark
  // hold that text typed meanwhile continues, Enter as CR LF). Off: every
  // batch plays alone from silence, followed by 4096 samples of silence.
  bool carrierHold = true;
};

// "CarrierHold" (default on); read when the modem starts.
bool carrierHoldFromSettings();

// The receiver's framing rules from "StartBitThreshold", "StopBitThreshold"
// and "RestartCount"; read once at start-up.
FramingConfig framingConfigFromSettings();
// The demodulator named by the global setting "Receiver" ("classic" or
// "robust"); a missing or unknown value gives kDefaultReceiver. Read once
// at start-up.
ReceiverKind receiverKindFromSettings();

class ModemControl {
 public:
  class Lock;

  // Initial values: Listening, LTRS, 45.45 baud, threshold 40, settings
  // changed (so that the first pass applies them) with LTRS requested,
  // empty queues.
  explicit ModemControl(std::mutex& mutex = modemMutex());
  // Stops the modem thread and waits for it, so nothing is left running on
  // a block that no longer exists. A dial, an announcement or a
  // transmission in progress is cut within a piece of output
  // (SoundStream::kPieceMs) plus what the device still queues, so Quit and
  // restart never wait for them.
  ~ModemControl();
  ModemControl(const ModemControl&) = delete;
  ModemControl& operator=(const ModemControl&) = delete;

  // Starts the modem thread over `device`, which must outlive this block.
  // Asks for real-time priority and goes on without it when refused. A
  // second call does nothing.
  void start(SoundDevice& device, ModemThreadOptions options = {});

  // --- Published by the modem thread, read without the lock ---
  std::atomic<std::uint8_t> state{static_cast<std::uint8_t>(ModemState::Listening)};
  std::atomic<std::uint8_t> shift{LTRS};
  // Input peak of the last listening pass, 0..128.
  std::atomic<std::uint8_t> inputLevel{0};
  // What the line is doing (a LineEvent), as of the last listening pass.
  std::atomic<std::uint8_t> lineEvent{static_cast<std::uint8_t>(LineEvent::Quiet)};
  ModemState modemState() const { return static_cast<ModemState>(state.load()); }
  // The last failure to tell the user of (a ModemNotice), and how many have
  // been published: the count goes up after the notice is written, so the
  // UI that sees a new count shows each one once.
  std::atomic<std::uint8_t> notice{static_cast<std::uint8_t>(ModemNotice::Nothing)};
  std::atomic<std::uint32_t> noticeCount{0};

  // --- Line parameters (UI thread) ---
  // Profile sensitivity and baud rate: the threshold becomes
  // 50 - (sensitivity * 0.4 - 20) (58 for the default 30).
  void setLineParameters(double sensitivity, BaudRate baud);
  // Flips between 45.45 and 50 baud; returns the new rate.
  BaudRate toggleBaudRate();
  // The profile's "unshiftOnSpace": a received space returns the receiver
  // to letters.
  void setUnshiftOnSpace(bool on);
  BaudRate baudRate() const { return baud_; }
  double threshold() const { return threshold_; }
  void forceFigures();
  void forceLetters();
  // Puts an announcement (8000 samples/s, must live as long as the process)
  // in the block unless one is still pending; false when ignored.
  bool requestAnnouncement(const std::uint8_t* samples, std::uint32_t length);

  // --- UI-thread operations that take the lock themselves ---
  // Queues typed characters (Windows-1252) for sending.
  void queueTyped(std::string_view characters);
  // Every received entry, oldest first; the queue is left empty.
  std::vector<QueuedChar> takeReceived();
  // The stop command: withdraws the typed characters the modem has not
  // taken yet and returns them, oldest first. What is already on its way
  // stays; received text is never touched.
  std::string stopSending();
  // Empties the send queue, whatever the modem has taken (the conversation
  // was cleared).
  void clearSendQueue();
  // Asks the modem to dial `number` (any text; the modem dials digits, *,
  // # and "," pauses) before its next batch. An empty number cancels a
  // request not yet started.
  void requestDial(std::string number);

 private:
  class Thread;
  void raiseSettingsChanged();

  friend std::unique_ptr<ModemControl> startModem(SoundDevice& device);

  std::mutex& mutex_;
  std::unique_ptr<Thread> thread_;
  bool holdsStartedFlag_ = false;

  // Written by the UI thread, then flagged under the lock.
  std::atomic<BaudRate> baud_{BaudRate::Baud45};
  std::atomic<double> threshold_{40.0};
  std::atomic<bool> unshiftOnSpace_{false};

  // Under the lock.
  bool settingsChanged_ = true;
  std::optional<ShiftState> requestedShift_ = LTRS;  // FIGS or LTRS
  std::vector<QueuedChar> sendQueue_;
  std::vector<QueuedChar> receiveQueue_;
  std::string dialRequest_;
  const std::uint8_t* announcementSamples_ = nullptr;  // 8000/s, not owned
  std::uint32_t announcementLength_ = 0;
};

// Holds the modem mutex from construction to destruction. The operations on
// the shared state that need the lock held are its members, so they cannot
// be reached without it.
class ModemControl::Lock {
 public:
  explicit Lock(ModemControl& control) : control_(control), guard_(control.mutex_) {}
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  // --- The UI side ---
  void queueTyped(unsigned char character);
  std::vector<QueuedChar> takeReceived();
  std::string withdrawUnsent();
  void clearSendQueue();
  void requestDial(std::string number);

  // --- The modem side (the modem thread; tests stand in for it) ---
  // Marks up to `max` typed characters as taken, oldest first, and returns
  // them. Taken entries stay queued until the next call finds nothing left
  // to take, so that Stop still sees that a batch is on its way.
  std::string takeBatch(int max);
  // Appends a received character. A received backspace takes back a
  // character the UI has not taken yet; with nothing left to take back (or
  // only backspaces), it is queued and the UI erases one it shows.
  void deliverReceived(unsigned char character);
  // The announcement has played: a new request may come.
  void finishAnnouncement();

  // --- What is pending, for the status and for tests ---
  const std::vector<QueuedChar>& sendQueue() const { return control_.sendQueue_; }
  const std::vector<QueuedChar>& receiveQueue() const { return control_.receiveQueue_; }
  const std::string& dialRequest() const { return control_.dialRequest_; }
  std::optional<ShiftState> requestedShift() const { return control_.requestedShift_; }
  bool settingsChanged() const { return control_.settingsChanged_; }
  bool announcementPending() const { return control_.announcementLength_ != 0; }
  const std::uint8_t* announcementSamples() const { return control_.announcementSamples_; }
  std::uint32_t announcementLength() const { return control_.announcementLength_; }

 private:
  ModemControl& control_;
  std::lock_guard<std::mutex> guard_;
};

// The program's start: builds the one ModemControl over the real device and
// starts its thread, with the process-wide stream options, capture, and the
// framing rules from the settings. A second call in one process ends the
// program with exit code -1. The device must outlive the returned block.
std::unique_ptr<ModemControl> startModem(SoundDevice& device);

}  // namespace quelto
