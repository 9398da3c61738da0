// Signal capture ("-capture") and the raw input dump ("-dsp <file>").
//
// In capture mode nothing is played: every block handed to
// SoundStream::writeOutput is appended to the capture buffer at 22050
// samples per second (text exactly as given; dial tones and announcements,
// made at 8000, converted; no pads, no trailer) and can be saved as a WAV
// file next to the conversation, created with mode 0600 since it holds the
// call's text. The raw dump receives every input block the receiver reads,
// back to back, with no header.
//
// Threads: the modem thread appends (through SoundStream); the user-interface
// thread saves and clears. The buffer has its own small lock, taken only for
// the copy, never together with the modem lock held by this class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace quelto {

class SignalCapture {
 public:
  SignalCapture() = default;
  ~SignalCapture();
  SignalCapture(const SignalCapture&) = delete;
  SignalCapture& operator=(const SignalCapture&) = delete;

  // Set once at start-up from the command line, before the modem starts.
  void setCaptureMode(bool on) { captureMode_ = on; }
  bool captureMode() const { return captureMode_; }

  void append(const std::uint8_t* samples, std::size_t length);
  std::vector<std::uint8_t> captured() const;

  // Writes the capture buffer as an 8-bit mono WAV file whose header always
  // says 22050 samples per second (the rate of text). Does nothing (and
  // returns false) unless capture mode is on and the buffer holds samples,
  // or when the file cannot be written. The buffer is kept.
  bool saveCapture(const std::string& fileName) const;
  void clearCapture();

  // Opens the raw input dump: truncated, or appended to when `append` (a
  // restarted run goes on with the same dump). A new file is 0600; the
  // descriptor is close-on-exec. False if it cannot be created; the dump
  // then stays off.
  bool openRawDump(const std::string& fileName, bool append = false);
  bool rawDumpActive() const { return rawDump_ != nullptr; }
  // One write per block, nothing between blocks.
  void appendRawDump(const std::uint8_t* samples, std::size_t length);
  void closeRawDump();

 private:
  bool captureMode_ = false;
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> buffer_;
  std::FILE* rawDump_ = nullptr;
};

// The 44-byte header that saveCapture writes before `sampleCount` samples.
std::vector<std::uint8_t> captureWavHeader(std::uint32_t sampleCount);

// The process-wide capture of the running program.
SignalCapture& signalCapture();

}  // namespace quelto
