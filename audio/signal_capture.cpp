#include "audio/signal_capture.h"

#include <fcntl.h>
#include <unistd.h>

namespace quelto {

namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

}  // namespace

std::vector<std::uint8_t> captureWavHeader(std::uint32_t sampleCount) {
  constexpr std::uint32_t kRate = 22050;
  std::vector<std::uint8_t> h;
  h.reserve(44);
  putTag(h, "RIFF");
  put32(h, sampleCount + 36);
  putTag(h, "WAVE");
  putTag(h, "fmt ");
  put32(h, 16);
  put16(h, 1);      // PCM
  put16(h, 1);      // mono
  put32(h, kRate);  // samples per second
  put32(h, kRate);  // bytes per second
  put16(h, 1);      // block alignment
  put16(h, 8);      // bits per sample
  putTag(h, "data");
  put32(h, sampleCount);
  return h;
}

SignalCapture& signalCapture() {
  static SignalCapture capture;
  return capture;
}

SignalCapture::~SignalCapture() {
  closeRawDump();
}

void SignalCapture::append(const std::uint8_t* samples, std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  buffer_.insert(buffer_.end(), samples, samples + length);
}

std::vector<std::uint8_t> SignalCapture::captured() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffer_;
}

bool SignalCapture::saveCapture(const std::string& fileName) const {
  if (!captureMode_) return false;
  const std::vector<std::uint8_t> samples = captured();
  if (samples.empty()) return false;
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    ::close(fd);
    return false;
  }
  const std::vector<std::uint8_t> header =
      captureWavHeader(static_cast<std::uint32_t>(samples.size()));
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
            std::fwrite(samples.data(), 1, samples.size(), f) == samples.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

void SignalCapture::clearCapture() {
  std::lock_guard<std::mutex> lock(mutex_);
  buffer_.clear();
}

bool SignalCapture::openRawDump(const std::string& fileName, bool append) {
  closeRawDump();
  const int fd = ::open(fileName.c_str(),
                        O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0600);
  if (fd < 0) return false;
  rawDump_ = ::fdopen(fd, append ? "ab" : "wb");
  if (!rawDump_) ::close(fd);
  return rawDump_ != nullptr;
}

void SignalCapture::appendRawDump(const std::uint8_t* samples, std::size_t length) {
  if (!rawDump_) return;
  std::fwrite(samples, 1, length, rawDump_);
  std::fflush(rawDump_);
}

void SignalCapture::closeRawDump() {
  if (rawDump_) {
    std::fclose(rawDump_);
    rawDump_ = nullptr;
  }
}

}  // namespace quelto
