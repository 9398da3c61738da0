#include "audio/memory_sound_device.h"

#include "audio/sample_format.h"

#include <algorithm>
#include <thread>

namespace quelto {

MemorySoundDevice::MemorySoundDevice(std::vector<std::string> inputNames,
                                     std::vector<std::string> outputNames)
    : inputNames_(std::move(inputNames)), outputNames_(std::move(outputNames)) {}

void MemorySoundDevice::setDeviceNames(std::vector<std::string> inputNames,
                                       std::vector<std::string> outputNames) {
  std::lock_guard<std::mutex> lock(mutex_);
  inputNames_ = std::move(inputNames);
  outputNames_ = std::move(outputNames);
}

std::vector<std::string> MemorySoundDevice::inputDeviceNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inputNames_;
}

std::vector<std::string> MemorySoundDevice::outputDeviceNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outputNames_;
}

bool MemorySoundDevice::hasInputDevice() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !noInputDevice && !inputNames_.empty();
}

void MemorySoundDevice::feedInput(const std::vector<std::int16_t>& samples) {
  feedInput(samples.data(), samples.size());
}

void MemorySoundDevice::feedInput8(const std::vector<std::uint8_t>& samples) {
  feedInput(widenSamples(samples));
}

void MemorySoundDevice::feedInput(const std::int16_t* samples, std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  input_.insert(input_.end(), samples, samples + length);
}

std::size_t MemorySoundDevice::pendingInput() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return input_.size();
}

void MemorySoundDevice::setPlayListener(
    std::function<void(int rate, const std::uint8_t*, std::size_t)> listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  playListener_ = std::move(listener);
}

void MemorySoundDevice::setInputFilter(std::function<void(std::int16_t*, std::size_t)> filter) {
  std::lock_guard<std::mutex> lock(mutex_);
  inputFilter_ = std::move(filter);
}

std::vector<MemorySoundDevice::Event> MemorySoundDevice::events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

std::vector<MemorySoundDevice::Playback> MemorySoundDevice::playbacks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return playbacks_;
}

std::vector<std::uint8_t> MemorySoundDevice::playedSamples() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::uint8_t> all;
  for (const Playback& p : playbacks_) all.insert(all.end(), p.samples.begin(), p.samples.end());
  return all;
}

std::vector<std::int16_t> MemorySoundDevice::readSamples() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readSamples_;
}

bool MemorySoundDevice::inputOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inputOpen_;
}

bool MemorySoundDevice::outputOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outputOpen_;
}

void MemorySoundDevice::clearRecord() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
  readSamples_.clear();
  // An output still open keeps its session, emptied.
  if (outputOpen_)
    playbacks_.erase(playbacks_.begin(), playbacks_.end() - 1), playbacks_.back().samples.clear();
  else
    playbacks_.clear();
}

std::size_t MemorySoundDevice::count(EventKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return countLocked(kind);
}

std::size_t MemorySoundDevice::countLocked(EventKind kind) const {
  return static_cast<std::size_t>(std::count_if(events_.begin(), events_.end(),
                                                [kind](const Event& e) { return e.kind == kind; }));
}

bool MemorySoundDevice::waitUntil(const std::function<bool(const MemorySoundDevice&)>& ready,
                                  std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return ready(*this); });
}

void MemorySoundDevice::record(const Event& e) {
  events_.push_back(e);
  changed_.notify_all();
}

bool MemorySoundDevice::openInput(const std::string& device, int rate, std::size_t blockLength) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failOpenInput) return false;
  inputOpen_ = true;
  inputStart_ = std::chrono::steady_clock::now();
  inputDelivered_ = 0;
  record({EventKind::OpenInput, device, rate, blockLength});
  return true;
}

bool MemorySoundDevice::readInput(std::int16_t* dest, std::size_t length) {
  std::chrono::steady_clock::time_point due;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failRead || !inputOpen_) return false;
    inputDelivered_ += length;
    const double pace = pace_;
    if (pace > 0)
      due = inputStart_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(inputDelivered_ / 8000.0 / pace));
  }
  if (due != std::chrono::steady_clock::time_point()) std::this_thread::sleep_until(due);

  std::function<void(std::int16_t*, std::size_t)> filter;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t fromQueue = std::min(length, input_.size());
    std::copy_n(input_.begin(), fromQueue, dest);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(fromQueue));
    std::fill(dest + fromQueue, dest + length, std::int16_t{0});
    filter = inputFilter_;
  }
  if (filter) filter(dest, length);
  std::lock_guard<std::mutex> lock(mutex_);
  readSamples_.insert(readSamples_.end(), dest, dest + length);
  record({EventKind::Read, "", 8000, length});
  return true;
}

void MemorySoundDevice::closeInput() {
  std::lock_guard<std::mutex> lock(mutex_);
  inputOpen_ = false;
  record({EventKind::CloseInput, "", 0, 0});
}

bool MemorySoundDevice::openOutput(const std::string& device, int rate) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failOpenOutput) return false;
  outputOpen_ = true;
  outputRate_ = rate;
  queuedSinceDrain_ = 0;
  playbacks_.push_back({device, rate, {}});
  record({EventKind::OpenOutput, device, rate, 0});
  return true;
}

bool MemorySoundDevice::play(const std::uint8_t* samples, std::size_t length) {
  std::function<void(int, const std::uint8_t*, std::size_t)> listener;
  int rate;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!outputOpen_ || failPlay) return false;
    if (failPlayAfter >= 0 && failPlayAfter-- == 0) return false;
    playbacks_.back().samples.insert(playbacks_.back().samples.end(), samples, samples + length);
    queuedSinceDrain_ += length;
    rate = outputRate_;
    listener = playListener_;
    record({EventKind::Play, "", rate, length});
  }
  if (listener) listener(rate, samples, length);
  return true;
}

bool MemorySoundDevice::drainOutput() {
  std::size_t queued;
  int rate;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!outputOpen_ || failDrain) return false;
    queued = queuedSinceDrain_;
    queuedSinceDrain_ = 0;
    rate = outputRate_;
  }
  const double pace = pace_;
  if (pace > 0 && rate > 0)
    std::this_thread::sleep_for(std::chrono::duration<double>(queued / double(rate) / pace));
  std::lock_guard<std::mutex> lock(mutex_);
  record({EventKind::Drain, "", rate, queued});
  return true;
}

void MemorySoundDevice::closeOutput() {
  std::lock_guard<std::mutex> lock(mutex_);
  outputOpen_ = false;
  record({EventKind::CloseOutput, "", 0, 0});
}

}  // namespace quelto
