#include "tests/audio/line_simulator.h"

#include "audio/rate_conversion.h"
#include "audio/sample_format.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

namespace quelto {

LineNoise::LineNoise(double snrDb, unsigned seed)
    : sigma_(std::sqrt(125.0 * 125.0 / 2.0 / std::pow(10.0, snrDb / 10.0)) * kU8Step),
      random_(seed),
      normal_(0.0, sigma_) {}

void LineNoise::add(std::int16_t* samples, std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < length; ++i)
    samples[i] = static_cast<std::int16_t>(
        std::clamp(std::lround(samples[i] + normal_(random_)), -32768L, 32767L));
}

LineSimulator::LineSimulator(Options options)
    : options_(options), a_(std::make_unique<Side>()), b_(std::make_unique<Side>()) {
  unsigned seed = options_.seed;
  for (Side* side : {a_.get(), b_.get()}) {
    side->device.setPace(options_.pace);
    if (options_.snrDb) {
      side->noise = std::make_unique<LineNoise>(*options_.snrDb, seed++);
      LineNoise* noise = side->noise.get();
      side->device.setInputFilter([noise](std::int16_t* s, std::size_t n) { noise->add(s, n); });
    }
  }
  join(*a_, *b_);
  join(*b_, *a_);
}

LineSimulator::~LineSimulator() {
  // Stop both threads before either device goes away: each plays into the
  // other.
  a_->control.reset();
  b_->control.reset();
}

namespace {

// Converts what one side plays to the line's rate as one stream: the
// sound stream hands its output over in short pieces, and converting each
// on its own would put edges and a drifting length into the line.
class StreamResampler {
 public:
  std::vector<std::uint8_t> convert(const std::uint8_t* samples, std::size_t length, int fromRate,
                                    int toRate) {
    if (fromRate == toRate) return {samples, samples + length};
    if (!converter_ || converter_->fromRate() != fromRate)
      converter_ = std::make_unique<RateConverter>(fromRate, toRate);
    return converter_->convert8(samples, length);
  }

 private:
  std::unique_ptr<RateConverter> converter_;
};

}  // namespace

void LineSimulator::join(Side& from, Side& to) {
  MemorySoundDevice* peer = &to.device;
  auto resampler = std::make_shared<StreamResampler>();
  from.device.setPlayListener([peer, resampler](int rate, const std::uint8_t* s, std::size_t n) {
    if (!peer->inputOpen()) return;
    peer->feedInput8(resampler->convert(s, n, rate, SoundStream::kInputRate));
  });
}

bool LineSimulator::start(std::chrono::milliseconds timeout) {
  for (Side* side : {a_.get(), b_.get()}) {
    ModemThreadOptions o;
    o.stream = &side->stream;
    o.capture = &side->capture;
    side->control->start(side->device, o);
  }
  const auto recording = [](const MemorySoundDevice& d) {
    return d.countLocked(MemorySoundDevice::EventKind::Read) > 0;
  };
  return a_->device.waitUntil(recording, timeout) && b_->device.waitUntil(recording, timeout);
}

void LineSimulator::type(Side& side, const std::string& text) {
  side.control->queueTyped(text);
}

bool LineSimulator::waitListening(Side& side, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    {
      ModemControl::Lock lock(*side.control);
      if (lock.sendQueue().empty() && side.device.inputOpen()) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::string LineSimulator::receive(Side& side, std::size_t expectedLength,
                                   std::chrono::milliseconds timeout) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (text.size() < expectedLength && std::chrono::steady_clock::now() < end) {
    const std::vector<QueuedChar> got = side.control->takeReceived();
    for (const QueuedChar& q : got) {
      if (q.character == kBackspace) {
        if (!text.empty()) text.pop_back();
      } else {
        text.push_back(static_cast<char>(q.character));
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return text;
}

}  // namespace quelto
