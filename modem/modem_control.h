// ModemControl: the block the user-interface thread and the modem thread
// share, and the modem thread itself.
//
// The modem thread alone touches the sound card and the signal processing.
// Each turn of its loop (a pass) does one kind of work, chosen in this fixed
// order: apply changed settings, dial, send a batch of typed characters,
// play an announcement, listen to one input block.
//
// Who touches what:
//   - Under the modem mutex (modemLock/modemUnlock, or a lock_guard on
//     mutex()): sendQueue, receiveQueue, dialString, the announcement
//     fields, settingsChanged and requestedShift. The UI thread appends typed
//     characters (QueuedChar {ch, kTyped}) to sendQueue, drains receiveQueue
//     every 89.1 ms (takeReceived), sets dialString, and requests
//     announcements (requestAnnouncement takes the lock itself). Keep the
//     lock while appending a typed run and echoing it, so the modem sees the
//     run whole; never hold it for long.
//   - Without the lock, read by the UI thread: state, shift, inputLevel
//     (single bytes written by the modem thread).
//   - baudSelector and threshold are written by the UI thread through
//     setLineParameters/toggleBaudRate just before it raises settingsChanged
//     under the lock; the modem thread reads them when applying the change.
//
// The modem never shows a dialog: the UI shows "Could not open soundcard !"
// for Unavailable and "Soundcard problem..." for Fault.
#pragma once

#include "audio/signal_capture.h"
#include "audio/sound_device.h"
#include "audio/sound_stream.h"
#include "modem/fsk_modem.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
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

struct QueuedChar {
  static constexpr std::uint8_t kTyped = 0;
  static constexpr std::uint8_t kReceived = 1;
  static constexpr std::uint8_t kTaken = 0x04;  // taken by the modem for a batch

  unsigned char character = 0;  // Windows-1252
  std::uint8_t flags = kTyped;

  bool taken() const { return (flags & kTaken) != 0; }
};

// The process-wide modem mutex, and the two calls the UI uses around the
// shared fields of the program's ModemControl.
std::mutex& modemMutex();
void modemLock();
void modemUnlock();

// What the modem thread runs on besides the device. The program uses the
// process-wide ones; tests give their own.
struct ModemThreadOptions {
  StreamOptions* stream = &streamOptions();
  SignalCapture* capture = &signalCapture();
  FramingConfig framing{};
  // The program's modem thread runs at real-time priority so that no input
  // block is missed; a test's threads share the machine with other tests.
  bool realTimePriority = false;
};

// The receiver's framing rules from "StartBitThreshold", "StopBitThreshold"
// and "RestartCount"; read once at start-up.
FramingConfig framingConfigFromSettings();

class ModemControl {
 public:
  // Initial values: Listening, LTRS, settings changed (so that the first
  // pass applies baud 1, LTRS and threshold 40), empty queues.
  explicit ModemControl(std::mutex& mutex = modemMutex());
  // Stops the modem thread (at the end of its current pass) and waits for
  // it, so nothing is left running on a block that no longer exists.
  ~ModemControl();
  ModemControl(const ModemControl&) = delete;
  ModemControl& operator=(const ModemControl&) = delete;

  // Starts the modem thread over `device`, which must outlive this block.
  // Asks for real-time priority and goes on without it when refused. A
  // second call does nothing.
  void start(SoundDevice& device, ModemThreadOptions options = {});

  std::mutex& mutex() { return mutex_; }

  // --- Published by the modem thread, read without the lock ---
  std::atomic<std::uint8_t> state{static_cast<std::uint8_t>(ModemState::Listening)};
  std::atomic<std::uint8_t> shift{LTRS};
  // Input peak of the last listening pass, 0..128.
  std::atomic<std::uint8_t> inputLevel{0};
  ModemState modemState() const { return static_cast<ModemState>(state.load()); }

  // --- Written by the UI thread without the lock, then flagged ---
  std::atomic<int> baudSelector{kBaud45};  // 1 = 45.45 baud, 2 = 50 baud
  std::atomic<double> threshold{40.0};

  // --- Under the lock ---
  int settingsChanged = 1;
  int requestedShift = LTRS;  // 0 = none, FIGS or LTRS
  std::vector<QueuedChar> sendQueue;
  std::vector<QueuedChar> receiveQueue;
  std::string dialString;  // any text; the modem dials digits, *, # and "," pauses
  const std::uint8_t* announcementSamples = nullptr;  // 8000/s, not owned
  std::uint32_t announcementLength = 0;

  // --- UI-thread operations (each takes the lock itself) ---
  // Profile sensitivity and default baud selector: threshold becomes
  // 50 - (sensitivity * 0.4 - 20) (58 for the default 30).
  void setLineParameters(double sensitivity, int baud);
  // Flips between 45.45 and 50 baud; returns the baud button's label,
  // "45 &bauds" or "50 &bauds", not to be translated.
  const char* toggleBaudRate();
  void forceFigures();
  void forceLetters();
  // Puts an announcement (8000 samples/s, must live as long as the process)
  // in the block unless one is still pending; false when ignored.
  bool requestAnnouncement(const std::uint8_t* samples, std::uint32_t length);

  // --- UI-thread helpers; the caller holds the lock ---
  // Every received entry, oldest first; the queue is left empty. An entry
  // holding backspace (8) erases the last received character shown.
  std::vector<QueuedChar> takeReceived();
  // The stop command: empties the whole send queue, taken entries included,
  // when it holds at least one entry not yet taken. Returns whether it did.
  bool stopSending();

 private:
  class Thread;
  void raiseSettingsChanged();

  friend std::unique_ptr<ModemControl> startModem(SoundDevice& device);

  std::mutex& mutex_;
  std::unique_ptr<Thread> thread_;
  bool holdsStartedFlag_ = false;
};

// The program's start: builds the one ModemControl over the real device and
// starts its thread, with the process-wide stream options, capture, and the
// framing rules from the settings. A second call in one process ends the
// program with exit code -1. The device must outlive the returned block.
std::unique_ptr<ModemControl> startModem(SoundDevice& device);

}  // namespace quelto
