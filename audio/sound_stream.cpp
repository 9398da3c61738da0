#include "audio/sound_stream.h"

#include "audio/sample_format.h"

#include <chrono>
#include <thread>

namespace quelto {

StreamOptions& streamOptions() {
  static StreamOptions options;
  return options;
}

namespace {

bool inRange(int device, int count) {
  return device >= -1 && device < count;
}

}  // namespace

SoundStream::SoundStream(SoundDevice& device, StreamOptions& options, SignalCapture& capture,
                         Sleeper sleep)
    : device_(device),
      options_(options),
      capture_(capture),
      sleep_(std::move(sleep)),
      inputChoice_(options.configuredInputDevice.load()),
      inputInUse_(inputChoice_),
      outputInUse_(options.configuredOutputDevice.load()),
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

  const int configured = options_.configuredInputDevice.load();
  if (mode_ == StreamMode::InputOpen && (length != openInputLength_ || configured != inputChoice_))
    closeInput();

  if (mode_ != StreamMode::InputOpen) {
    // A device number that has vanished since it was chosen means the
    // default device; the choice itself is kept for when it comes back.
    inputChoice_ = configured;
    inputInUse_ = inRange(configured, device_.inputDeviceCount()) ? configured : -1;
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
  status_ = StreamStatus::BufferFailed;
  pause(kOutputFailurePauseMs);
  return 0;
}

std::size_t SoundStream::writeOutput(const std::uint8_t* samples, std::size_t length) {
  closeInput();

  if (capture_.captureMode()) {
    capture_.append(samples, length);
    return length;
  }

  const int configured = options_.configuredOutputDevice.load();
  if (configured != outputInUse_) {
    closeOutput();
    outputInUse_ = configured;
    if (!inRange(configured, device_.outputDeviceCount())) {
      // Unlike the input side, the stale choice itself is forgotten.
      options_.configuredOutputDevice.store(-1);
      outputInUse_ = -1;
    }
  }

  if (mode_ == StreamMode::OutputOpen && openOutputRate_ != outputRate_) closeOutput();

  if (mode_ != StreamMode::OutputOpen) {
    if (!device_.openOutput(outputInUse_, outputRate_)) {
      status_ = StreamStatus::OpenFailed;
      pause(kOutputFailurePauseMs);
      return 0;
    }
    mode_ = StreamMode::OutputOpen;
    openOutputRate_ = outputRate_;
  }

  const bool pads = options_.addPadBits.load();
  if (pads && !device_.play(silence_.data(), kPadLength)) return failOutput();
  if (!device_.play(samples, length)) return failOutput();
  if (pads && !device_.play(silence_.data(), kPadLength)) return failOutput();
  if (!device_.play(silence_.data(), kTrailerLength)) return failOutput();
  // Only a drained write is a complete one: closing the output while the
  // card still holds samples would cut the end of the batch.
  if (!device_.drainOutput()) return failOutput();

  status_ = StreamStatus::Ok;
  if (options_.closeWaveAfterWrite.load()) closeOutput();
  return length;
}

}  // namespace quelto
