// SoundStream: the program's only access to the sound card.
//
// Half duplex: at any moment the input is open (listening), or the output is
// open (playing), or neither; never both, so the receiver never hears its own
// transmission. Every read closes the output first and every write closes the
// input first.
//
// Threads: every SoundStream call runs on the modem thread. StreamOptions may
// be changed from the user-interface thread at any time (its fields are
// atomics); a change of device takes effect at the next read or write.
#pragma once

#include "audio/signal_capture.h"
#include "audio/sound_device.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quelto {

// Values of the status byte; the modem mirrors anything but Ok into its state.
enum class StreamStatus : std::uint8_t {
  OpenFailed = 0,    // opening the device failed (shown as Unavailable)
  BufferFailed = 1,  // a buffer could not be played or recorded, or a read
                     // asked for too many samples (shown as Fault)
  Ok = 2,
};

enum class StreamMode : int { InputOpen = 1, OutputOpen = 2, Closed = 3 };

// A device name written by one thread and read by another; the empty name is
// the system's default device.
class DeviceChoice {
 public:
  void set(std::string name) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = std::move(name);
  }
  std::string get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return name_;
  }

 private:
  mutable std::mutex mutex_;
  std::string name_;
};

// Process-wide stream settings, written by start-up and the preferences
// dialog, read by the modem thread.
struct StreamOptions {
  // The chosen devices, by the names the device lists show ("WaveInputDevice"
  // and "WaveOutputDevice"; "Default" becomes the empty name). A chosen
  // device that is missing is replaced by the default device while it is
  // gone; the choice is kept, and used again once the device is back.
  DeviceChoice inputDevice;
  DeviceChoice outputDevice;
  // Published by the stream: the chosen device was missing at its last open
  // (the status text and the diagnostic report say so).
  std::atomic<bool> inputDeviceMissing{false};
  std::atomic<bool> outputDeviceMissing{false};
  // "CloseWaveAfterWrite": close the output after every write.
  std::atomic<bool> closeWaveAfterWrite{false};
  // "AddPadBits": frame every output block by 352 samples of silence.
  std::atomic<bool> addPadBits{false};
};

StreamOptions& streamOptions();

class SoundStream {
 public:
  static constexpr int kInputRate = 8000;
  static constexpr int kTextRate = 22050;
  static constexpr std::size_t kMaxReadLength = 8192;
  static constexpr std::size_t kTrailerLength = 4096;
  static constexpr std::size_t kPadLength = 352;
  static constexpr int kInputOpenPauseMs = 500;
  static constexpr int kOutputFailurePauseMs = 100;

  // Output goes to the device in pieces of at most kPieceMs. A device's
  // play blocks while its queue is full, so between two pieces the stream
  // can notice a stop request a piece (plus the device's own queue) after
  // it came, whatever the length of the write.
  static constexpr int kPieceMs = 50;

  using Sleeper = std::function<void(int milliseconds)>;
  // True when the modem thread must stop (the program quits or restarts).
  using StopCheck = std::function<bool()>;

  // The stream keeps references; all must outlive it. `sleep` serves the
  // pauses after failures (tests pass one that only records them).
  // `stopRequested` is asked before every piece of output and before a
  // drain; once it says yes, the write in progress ends at once (returning
  // 0 or false, with stopped() true and the status left as it was): the
  // rest, the trailer and the drain are skipped.
  SoundStream(SoundDevice& device, StreamOptions& options, SignalCapture& capture,
              Sleeper sleep = {}, StopCheck stopRequested = {});
  ~SoundStream();
  SoundStream(const SoundStream&) = delete;
  SoundStream& operator=(const SoundStream&) = delete;

  // Records one block of `length` signed 16-bit samples at 8000 per second
  // into `dest`. Returns `length`, or 0 on failure (status tells which). The
  // raw input dump gets the block in 8 bits (audio/sample_format.h).
  std::size_t readInput(std::int16_t* dest, std::size_t length);

  // Plays `length` samples at the current output rate, followed by 4096
  // samples of silence (and framed by the pads when "AddPadBits" is on).
  // Returns only once all of it has been heard. Returns `length`, or 0 on
  // failure or a stop. In capture mode the samples are only appended to the
  // capture buffer, converted to 22050 samples/s when the output rate is
  // another (dial tones and announcements at 8000), so that the whole
  // capture plays at its one rate.
  std::size_t writeOutput(const std::uint8_t* samples, std::size_t length);

  // A held-carrier transmission, played in parts as it is typed:
  // beginTransmission opens the output (and plays the leading pad when
  // "AddPadBits" is on); playPart queues samples with no trailer and no
  // wait beyond what the card's buffer imposes; endTransmission plays the
  // trailing pad and the 4096-sample trailer and returns once everything
  // has been heard. Each returns false on failure (status tells which), and
  // a failure ends the transmission. In capture mode the parts are only
  // appended to the capture buffer.
  bool beginTransmission();
  bool playPart(const std::uint8_t* samples, std::size_t length);
  bool endTransmission();

  // 22050 for text; the modem sets 8000 around dial tones and announcements.
  void setOutputRate(int samplesPerSecond) { outputRate_ = samplesPerSecond; }
  int outputRate() const { return outputRate_; }

  StreamStatus status() const { return status_; }
  // The last write ended because a stop was requested, not because the
  // device failed.
  bool stopped() const { return stopped_; }
  StreamMode mode() const { return mode_; }
  // The devices opened last ("" = the default device).
  const std::string& inputDeviceInUse() const { return inputInUse_; }
  const std::string& outputDeviceInUse() const { return outputInUse_; }

 private:
  void closeInput();
  void closeOutput();
  std::size_t failOutput();
  // Decides which device serves `chosen` now: itself when the system lists
  // it, the default device while it is missing.
  static std::string deviceFor(const std::string& chosen, const std::vector<std::string>& present,
                               std::atomic<bool>& missing);
  bool openOutputForWrite();
  bool finishOutput();
  // Plays in pieces, asking for a stop before each; false on a failure of
  // the device or a stop (stopped_ tells which).
  bool playPieces(const std::uint8_t* samples, std::size_t length);
  bool stopRequested();
  void pause(int milliseconds);

  SoundDevice& device_;
  StreamOptions& options_;
  SignalCapture& capture_;
  Sleeper sleep_;
  StopCheck stopRequested_;
  bool stopped_ = false;

  StreamMode mode_ = StreamMode::Closed;
  StreamStatus status_ = StreamStatus::Ok;
  int outputRate_ = kTextRate;
  int openOutputRate_ = 0;
  std::size_t openInputLength_ = 0;
  std::string inputInUse_;
  std::string outputInUse_;
  std::vector<std::uint8_t> silence_;
};

}  // namespace quelto
