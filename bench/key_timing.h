// Keys typed into the modem thread, timed the way the benchmarks report
// them: from the moment the key is queued to the first sample the thread
// hands an in-memory sound card. Shared by audio_bench and modem_bench.
#pragma once

#include "audio/memory_sound_device.h"
#include "modem/modem_control.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace quelto::bench {

// Whether the modem thread has sent everything it was given and listens
// again; on an in-memory card (`memory`), also with its input open.
inline bool idleAndListening(ModemControl& control, const MemorySoundDevice* memory = nullptr) {
  ModemControl::Lock lock(control);
  if (!lock.sendQueue().empty() || control.modemState() != ModemState::Listening) return false;
  return !memory || memory->inputOpen();
}

// Watches what the modem thread plays on `device`, which must outlive the
// thread's use of it; the probe must outlive the thread too.
class FirstSampleProbe {
 public:
  using Clock = std::chrono::steady_clock;

  explicit FirstSampleProbe(MemorySoundDevice& device) {
    device.setPlayListener([this](int, const std::uint8_t*, std::size_t) {
      if (armed_.exchange(false)) firstSample_ = Clock::now().time_since_epoch().count();
    });
  }

  // Queues `text` as typed and waits for its first sample on the card;
  // returns the seconds between the two.
  double type(ModemControl& control, const std::string& text) {
    firstSample_ = 0;
    armed_ = true;
    const Clock::time_point typed = Clock::now();
    control.queueTyped(text);
    while (firstSample_ == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    return std::chrono::duration<double>(Clock::time_point(Clock::duration(firstSample_.load())) -
                                         typed)
        .count();
  }

 private:
  std::atomic<bool> armed_{false};
  std::atomic<Clock::rep> firstSample_{0};
};

}  // namespace quelto::bench
