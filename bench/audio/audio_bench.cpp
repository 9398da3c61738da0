// Modem thread figures, over the in-memory sound card running at real time:
//   - send latency: from a character appended to the send queue to its
//     first sample reaching the device, while the modem listens at 45.45
//     baud (median and 95th percentile; target: p95 under 250 ms);
//   - CPU used by the modem thread while it listens to silence (target:
//     under 1% of one core).
// Usage: audio_bench [--chars N] [--listen-seconds S]
#include "audio/memory_sound_device.h"
#include "modem/modem_control.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

using namespace quelto;
using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void sendLatency(int chars) {
  std::mutex mutex;
  MemorySoundDevice device;
  device.setPace(1.0);
  std::atomic<bool> armed{false};
  std::atomic<Clock::rep> firstSample{0};
  device.setPlayListener([&](int, const std::uint8_t*, std::size_t) {
    if (armed.exchange(false)) firstSample = Clock::now().time_since_epoch().count();
  });
  StreamOptions options;
  SignalCapture capture;
  ModemControl control(mutex);
  control.start(device, {&options, &capture, {}});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  std::mt19937 random(42);
  std::uniform_int_distribution<int> gap(0, 200);
  std::vector<double> ms;
  for (int i = 0; i < chars; ++i) {
    // Type at a random moment of the listening block.
    std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
    firstSample = 0;
    armed = true;
    const Clock::time_point typed = Clock::now();
    control.queueTyped("E");
    while (firstSample == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    ms.push_back(std::chrono::duration<double, std::milli>(
                     Clock::time_point(Clock::duration(firstSample.load())) - typed)
                     .count());
    // Let the batch play out and the modem return to listening.
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ModemControl::Lock lock(control);
      if (lock.sendQueue().empty() && device.inputOpen()) break;
    }
  }
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double q) {
    return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))];
  };
  std::printf(
      "send latency (45.45 baud, listening, %d characters): median %.1f ms, p95 %.1f ms, max %.1f "
      "ms\n",
      chars, at(0.5), at(0.95), ms.back());
}

void listeningCpu(int seconds) {
  std::mutex mutex;
  MemorySoundDevice device;
  device.setPace(1.0);
  StreamOptions options;
  SignalCapture capture;
  ModemControl control(mutex);
  control.start(device, {&options, &capture, {}});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const double cpu0 = cpuSeconds();
  const Clock::time_point t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = cpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf(
      "listening to silence for %.1f s: modem thread CPU %.3f s = %.3f%% of one core (%zu "
      "blocks)\n",
      wall, cpu, 100.0 * cpu / wall, device.count(MemorySoundDevice::EventKind::Read));
}

}  // namespace

int main(int argc, char** argv) {
  int chars = 60;
  int seconds = 60;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--chars") == 0)
      chars = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--listen-seconds") == 0)
      seconds = std::max(1, std::atoi(argv[i + 1]));
  }
  sendLatency(chars);
  listeningCpu(seconds);
  return 0;
}
