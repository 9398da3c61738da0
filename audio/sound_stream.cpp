#include "audio/sound_stream.h"

#include "audio/rate_conversion.h"
#include "audio/sample_format.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace quelto {

StreamOptions& streamOptions() {
  static StreamOptions options;
  return options;
}

SoundStream::SoundStream(SoundDevice& device, StreamOptions& options, SignalCapture& capture,
                         Sleeper sleep, StopCheck stopRequested)
    : device_(device),
      options_(options),
      capture_(capture),
      sleep_(std::move(sleep)),
      stopRequested_(std::move(stopRequested)),
      silence_(kTrailerLength, 128) {}

SoundStream::~SoundStream() {
  closeInput();
  closeOutput();
}

void SoundStream::pause(int milliseconds) {
  if (sleep_)
    sleep_(milliseconds);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string SoundStream::deviceFor(const std::string& chosen,
                                   const std::vector<std::string>& present,
                                   std::atomic<bool>& missing) {
  const bool found =
      chosen.empty() || std::find(present.begin(), present.end(), chosen) != present.end();
  missing = !found;
  return found ? chosen : std::string();
}

void SoundStream::closeInput() {
  if (mode_ != StreamMode::InputOpen) return;
  device_.closeInput();
  mode_ = StreamMode::Closed;
}

void SoundStream::closeOutput() {
  if (mode_ != StreamMode::OutputOpen) return;
  device_.closeOutput();
  mode_ = StreamMode::Closed;
}

std::size_t SoundStream::readInput(std::int16_t* dest, std::size_t length) {
  if (length > kMaxReadLength) {
    status_ = StreamStatus::BufferFailed;
    return 0;
  }
  closeOutput();

  // Looked up on every read: a chosen device that was missing is taken up
  // again as soon as it is back, and one that vanished is replaced.
  const std::string device = deviceFor(options_.inputDevice.get(), device_.inputDeviceNames(),
                                       options_.inputDeviceMissing);
  if (mode_ == StreamMode::InputOpen && (length != openInputLength_ || device != inputInUse_))
    closeInput();

  if (mode_ != StreamMode::InputOpen) {
    inputInUse_ = device;
    if (!device_.openInput(inputInUse_, kInputRate, length)) {
      status_ = StreamStatus::OpenFailed;
      pause(kInputOpenPauseMs);
      return 0;
    }
    mode_ = StreamMode::InputOpen;
    openInputLength_ = length;
  }

  if (!device_.readInput(dest, length)) {
    // The stream broke under us: start afresh on the next read.
    closeInput();
    status_ = StreamStatus::BufferFailed;
    pause(kOutputFailurePauseMs);
    return 0;
  }
  if (capture_.rawDumpActive()) {
    // The dump keeps its 8-bit format, so existing tools still read it.
    const std::vector<std::uint8_t> narrow = narrowSamples(dest, length);
    capture_.appendRawDump(narrow.data(), narrow.size());
  }
  status_ = StreamStatus::Ok;
  return length;
}

std::size_t SoundStream::failOutput() {
  closeOutput();
  // A stop is no failure of the device: the status stays, and nobody waits.
  if (stopped_) return 0;
  status_ = StreamStatus::BufferFailed;
  pause(kOutputFailurePauseMs);
  return 0;
}

bool SoundStream::openOutputForWrite() {
  closeInput();
  const std::string device = deviceFor(options_.outputDevice.get(), device_.outputDeviceNames(),
                                       options_.outputDeviceMissing);
  if (device != outputInUse_) {
    closeOutput();
    outputInUse_ = device;
  }

  if (mode_ == StreamMode::OutputOpen && openOutputRate_ != outputRate_) closeOutput();

  if (mode_ != StreamMode::OutputOpen) {
    if (!device_.openOutput(outputInUse_, outputRate_)) {
      status_ = StreamStatus::OpenFailed;
      pause(kOutputFailurePauseMs);
      return false;
    }
    mode_ = StreamMode::OutputOpen;
    openOutputRate_ = outputRate_;
  }
  return true;
}

bool SoundStream::stopRequested() {
  stopped_ = stopRequested_ && stopRequested_();
  return stopped_;
}

bool SoundStream::playPieces(const std::uint8_t* samples, std::size_t length) {
  const std::size_t piece =
      static_cast<std::size_t>(std::max(1, openOutputRate_ * kPieceMs / 1000));
  do {
    if (stopRequested()) return false;
    const std::size_t n = std::min(piece, length);
    if (!device_.play(samples, n)) return false;
    samples += n;
    length -= n;
  } while (length > 0);
  return true;
}

bool SoundStream::finishOutput() {
  if (options_.addPadBits.load() && !playPieces(silence_.data(), kPadLength)) return false;
  if (!playPieces(silence_.data(), kTrailerLength)) return false;
  // Only a drained write is a complete one: closing the output while the
  // card still holds samples would cut the end of the batch.
  if (stopRequested() || !device_.drainOutput()) return false;
  status_ = StreamStatus::Ok;
  if (options_.closeWaveAfterWrite.load()) closeOutput();
  return true;
}

std::size_t SoundStream::writeOutput(const std::uint8_t* samples, std::size_t length) {
  stopped_ = false;
  if (capture_.captureMode()) {
    closeInput();
    if (outputRate_ == kTextRate) {
      capture_.append(samples, length);
    } else {
      const std::vector<std::uint8_t> converted =
          convertRate8(samples, length, outputRate_, kTextRate);
      capture_.append(converted.data(), converted.size());
    }
    return length;
  }
  if (!openOutputForWrite()) return 0;
  if (options_.addPadBits.load() && !playPieces(silence_.data(), kPadLength)) return failOutput();
  if (!playPieces(samples, length)) return failOutput();
  if (!finishOutput()) return failOutput();
  return length;
}

bool SoundStream::beginTransmission() {
  stopped_ = false;
  if (capture_.captureMode()) {
    closeInput();
    return true;
  }
  if (!openOutputForWrite()) return false;
  if (options_.addPadBits.load() && !playPieces(silence_.data(), kPadLength)) {
    failOutput();
    return false;
  }
  return true;
}

bool SoundStream::playPart(const std::uint8_t* samples, std::size_t length) {
  if (capture_.captureMode()) {
    capture_.append(samples, length);
    return true;
  }
  if (mode_ != StreamMode::OutputOpen || !playPieces(samples, length)) {
    failOutput();
    return false;
  }
  return true;
}

bool SoundStream::endTransmission() {
  if (capture_.captureMode()) return true;
  if (mode_ != StreamMode::OutputOpen || !finishOutput()) {
    failOutput();
    return false;
  }
  return true;
}

}  // namespace quelto
