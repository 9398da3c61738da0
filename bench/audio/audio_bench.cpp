// Modem thread figures, first over the in-memory sound card running at real
// time, then over the two real devices on a private sound server started by
// the bench (the sound-server device directly, PortAudio through ALSA's
// pulse plugin):
//   - send latency: from a character appended to the send queue to its
//     first sample reaching the device (in memory), or to its first sample
//     heard on the server's default output (real devices; the recording
//     adds up to 10 ms), while the modem listens at 45.45 baud (median and
//     95th percentile; target: p95 under 250 ms);
//   - CPU used by the process (modem thread and the device's own threads)
//     while it listens to silence (target: under 1% of one core);
//   - real devices: a transmission of typed text while four processes spin
//     at the same priority and nothing runs at real-time priority: the
//     longest silent gap inside it and the number over 2 ms (target 0), and
//     whether the text decodes whole from what the output carried
//     (--gap-runs transmissions, with a summary when more than one);
//   - real devices: the same with the server stopped three times for 80 ms
//     instead, the stall a loaded machine gives now and then, at known
//     moments.
// The whole program's CPU while listening is bench/ui/quelto_idle_bench.sh.
// Usage: audio_bench [--chars N] [--listen-seconds S] [--gap-runs N]
//                    [--device memory|pulse|portaudio|all]
#include "audio/memory_sound_device.h"
#include "audio/portaudio_device.h"
#include "audio/pulse_device.h"
#include "audio/rate_conversion.h"
#include "bench/key_timing.h"
#include "modem/line_signal.h"
#include "modem/modem_control.h"
#include "tests/audio/line_simulator.h"
#include "tests/audio/test_sound_server.h"

#include <pulse/simple.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
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

void printLatencies(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double q) {
    return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))];
  };
  std::printf(
      "%s send latency (45.45 baud, listening, %zu characters): median %.1f ms, p95 %.1f ms, max "
      "%.1f ms\n",
      what, ms.size(), at(0.5), at(0.95), ms.back());
}

void listeningCpu(const char* what, SoundDevice& device, int seconds,
                  const std::string& input = "") {
  std::mutex mutex;
  StreamOptions options;
  options.inputDevice.set(input);
  SignalCapture capture;
  ModemControl control(mutex);
  control.start(device, {&options, &capture, {}});
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const double cpu0 = cpuSeconds();
  const Clock::time_point t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = cpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("%s listening to silence for %.1f s: process CPU %.3f s = %.3f%% of one core%s\n",
              what, wall, cpu, 100.0 * cpu / wall,
              control.modemState() == ModemState::Listening ? "" : " (NOT LISTENING)");
}

// --- In memory ---------------------------------------------------------------------------

void memoryRows(int chars, int seconds) {
  std::mutex mutex;
  MemorySoundDevice device;
  device.setPace(1.0);
  bench::FirstSampleProbe probe(device);
  {
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
      ms.push_back(1000.0 * probe.type(control, "E"));
      // Let the batch play out and the modem return to listening.
      while (!bench::idleAndListening(control, &device))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    printLatencies("memory:", ms);
  }
  MemorySoundDevice idle;
  idle.setPace(1.0);
  listeningCpu("memory:", idle, seconds);
}

// --- Real devices on the private server --------------------------------------------------

// Records a sink's monitor in 10 ms chunks and keeps when each chunk came,
// so that the moment a sample was played can be told within a chunk.
class TimedRecorder {
 public:
  TimedRecorder(const std::string& source, int rate) : rate_(rate), chunk_(rate / 100) {
    const pa_sample_spec spec{PA_SAMPLE_U8, static_cast<std::uint32_t>(rate), 1};
    pa_buffer_attr attr{};
    attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(chunk_);
    int error = 0;
    stream_ = pa_simple_new(nullptr, "audio_bench", PA_STREAM_RECORD, source.c_str(), "probe",
                            &spec, nullptr, &attr, &error);
    if (stream_) thread_ = std::thread([this] { run(); });
  }
  ~TimedRecorder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (stream_) pa_simple_free(stream_);
  }
  bool ok() const { return stream_ != nullptr; }
  std::size_t size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_.size();
  }
  std::vector<std::uint8_t> samples() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
  }
  // The first sample from `from` on that is not silence, or -1.
  long firstSound(std::size_t from) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = from; i < samples_.size(); ++i)
      if (std::abs(static_cast<int>(samples_[i]) - 128) > 8) return static_cast<long>(i);
    return -1;
  }
  // When sample `i` was recorded: its chunk's arrival less what followed it.
  Clock::time_point timeOf(std::size_t i) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t chunk = i / chunk_;
    const std::size_t after = (chunk + 1) * chunk_ - i;
    return arrivals_[chunk] -
           std::chrono::duration_cast<Clock::duration>(
               std::chrono::duration<double>(static_cast<double>(after) / rate_));
  }

 private:
  void run() {
    std::vector<std::uint8_t> chunk(chunk_);
    while (!stop_) {
      int error = 0;
      if (pa_simple_read(stream_, chunk.data(), chunk.size(), &error) != 0) return;
      const Clock::time_point now = Clock::now();
      std::lock_guard<std::mutex> lock(mutex_);
      samples_.insert(samples_.end(), chunk.begin(), chunk.end());
      arrivals_.push_back(now);
    }
  }

  int rate_;
  std::size_t chunk_;
  pa_simple* stream_ = nullptr;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> samples_;
  std::vector<Clock::time_point> arrivals_;
  std::thread thread_;
};

void sendLatencyOnServer(const char* what, SoundDevice& device, int chars) {
  TimedRecorder line("speakers.monitor", 8000);
  if (!line.ok()) {
    std::printf("%s cannot record the server's output\n", what);
    return;
  }
  std::mutex mutex;
  StreamOptions options;
  SignalCapture capture;
  ModemControl control(mutex);
  control.start(device, {&options, &capture, {}});
  waitUntil([&] { return bench::idleAndListening(control) && line.size() > 8000; });

  std::mt19937 random(42);
  std::uniform_int_distribution<int> gap(0, 200);
  std::vector<double> ms;
  for (int i = 0; i < chars; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
    const std::size_t from = line.size();
    const Clock::time_point typed = Clock::now();
    control.queueTyped("E");
    long at = -1;
    if (!waitUntil([&] { return (at = line.firstSound(from)) >= 0; }, std::chrono::seconds(30))) {
      std::printf("%s nothing heard after typing\n", what);
      return;
    }
    ms.push_back(
        std::chrono::duration<double, std::milli>(line.timeOf(static_cast<std::size_t>(at)) - typed)
            .count());
    waitUntil([&] { return bench::idleAndListening(control); });
    // The trailer's silence has reached the recording too.
    const std::size_t end = line.size() + 4000;
    waitUntil([&] { return line.size() >= end; });
  }
  printLatencies(what, ms);
}

// Four processes that spin until killed, at the caller's priority.
class Spinners {
 public:
  Spinners() {
    for (int i = 0; i < 4; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        volatile unsigned long n = 0;
        for (;;) n = n + 1;
      }
      if (pid > 0) pids_.push_back(pid);
    }
  }
  ~Spinners() {
    for (pid_t pid : pids_) kill(pid, SIGKILL);
    for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
  }

 private:
  std::vector<pid_t> pids_;
};

struct GapFigures {
  double longestMs = 0;
  int over2ms = 0;
  bool whole = false;
};

// How long and how often the server is stopped in the stall row: longer
// than the queue the output kept before (about 95 ms), shorter than what it
// keeps now (130 to 150 ms).
constexpr int kStallMs = 80;
constexpr int kStalls = 3;

// A transmission under four spinning processes, or, given `stalled`, with
// that server stopped kStalls times for kStallMs each (as a loaded machine
// stops it, but at known moments and for a known time).
GapFigures gapsUnderLoad(const char* what, SoundDevice& device,
                         const TestSoundServer* stalled = nullptr) {
  constexpr int kRate = 22050;
  const std::string text = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890";
  TimedRecorder line("speakers.monitor", kRate);
  std::mutex mutex;
  StreamOptions options;
  SignalCapture capture;
  ModemControl control(mutex);
  control.start(device, {&options, &capture, {}});
  waitUntil([&] { return bench::idleAndListening(control) && line.size() > kRate; });
  const std::size_t from = line.size();
  if (stalled) {
    control.queueTyped(text);
    for (int i = 0; i < kStalls; ++i) {
      std::this_thread::sleep_for(std::chrono::seconds(2));
      stalled->stop(std::chrono::milliseconds(kStallMs));
    }
    waitUntil([&] { return bench::idleAndListening(control); }, std::chrono::seconds(120));
  } else {
    Spinners load;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    control.queueTyped(text);
    waitUntil([&] { return bench::idleAndListening(control); }, std::chrono::seconds(120));
  }
  const std::size_t end = line.size() + kRate;
  waitUntil([&] { return line.size() >= end; });

  const std::vector<std::uint8_t> all = line.samples();
  const std::vector<std::uint8_t> heard(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
  const auto loud = [](std::uint8_t s) { return std::abs(static_cast<int>(s) - 128) > 8; };
  const auto first = std::find_if(heard.begin(), heard.end(), loud);
  const auto last = std::find_if(heard.rbegin(), heard.rend(), loud).base();
  std::size_t longest = 0, run = 0;
  GapFigures figures;
  for (auto it = first; it < last; ++it) {
    if (std::abs(static_cast<int>(*it) - 128) <= 4) {
      ++run;
      continue;
    }
    if (run * 1000 > 2u * kRate) ++figures.over2ms;
    longest = std::max(longest, run);
    run = 0;
  }
  figures.longestMs = 1000.0 * static_cast<double>(longest) / kRate;
  const std::vector<std::uint8_t> at8000 =
      convertRate8(heard.data(), heard.size(), kRate, 8000, RateQuality::Best);
  FskModem receiver;
  const std::string decoded = receiveText(receiver, at8000);
  figures.whole = decoded == text;
  double load = 0;
  getloadavg(&load, 1);
  const std::string how = stalled ? "with the server stopped " + std::to_string(kStalls) +
                                        " times for " + std::to_string(kStallMs) + " ms"
                                  : std::string("under four spinning processes");
  std::printf(
      "%s %zu characters %s (load %.1f): transmission %.2f s, longest gap %.2f ms, gaps over 2 "
      "ms: %d, text %s\n",
      what, text.size(), how.c_str(), load, static_cast<double>(last - first) / kRate,
      figures.longestMs, figures.over2ms,
      figures.whole ? "whole" : ("damaged: \"" + decoded + "\"").c_str());
  std::fflush(stdout);
  return figures;
}

// One transmission seldom meets the worst moment of a busy machine; the
// summary covers several.
void gapRows(const char* what, SoundDevice& device, int runs) {
  GapFigures worst;
  int over2ms = 0, whole = 0;
  for (int i = 0; i < runs; ++i) {
    const GapFigures f = gapsUnderLoad(what, device);
    worst.longestMs = std::max(worst.longestMs, f.longestMs);
    over2ms += f.over2ms;
    whole += f.whole ? 1 : 0;
  }
  if (runs > 1)
    std::printf(
        "%s %d transmissions under load: longest gap %.2f ms, gaps over 2 ms: %d, whole: %d of "
        "%d\n",
        what, runs, worst.longestMs, over2ms, whole, runs);
}

// The server delivers a recording in pieces as small as the lowest latency
// any of the source's clients asks for. The test server's microphones also
// feed 20 ms loopbacks, so listening to them costs more wake-ups than a
// microphone that only the program records; both are measured.
constexpr const char* kOwnSource = "own_mic";
constexpr const char* kOwnSourceLabel = "Own Microphone";

void loadOwnSource(const TestSoundServer& server) {
  server.loadModule(
      R"(module-null-sink sink_name=own_feed sink_properties='device.description="Own Feed"')");
  server.loadModule(std::string("module-remap-source source_name=") + kOwnSource +
                    R"( master=own_feed.monitor source_properties='device.description=")" +
                    kOwnSourceLabel + R"("')");
}

void serverRows(const std::string& which, int chars, int seconds, int gapRuns) {
  // The server runs at a higher priority (real-time when allowed), as on a
  // desktop; the program and the spinning processes do not.
  TestSoundServer server(true);
  if (!server.ok()) {
    std::printf("the private sound server did not start (is pulseaudio installed?)\n");
    return;
  }
  loadOwnSource(server);
  if (which == "all" || which == "pulse") {
    std::unique_ptr<PulseDevice> device = PulseDevice::connect(std::chrono::seconds(30));
    if (!device) {
      std::printf("pulse: no connection to the private server\n");
    } else {
      sendLatencyOnServer("pulse:", *device, chars);
      listeningCpu("pulse (shared microphone):", *device, seconds);
      waitUntil([&] { return !device->inputDeviceNames().empty(); });
      listeningCpu("pulse (own microphone):", *device, seconds, kOwnSourceLabel);
      gapRows("pulse:", *device, gapRuns);
      gapsUnderLoad("pulse:", *device, &server);
    }
  }
  if (which == "all" || which == "portaudio") {
    // ALSA's default device is the pulse plugin while a server answers.
    PortAudioDevice device;
    sendLatencyOnServer("portaudio:", device, chars);
    listeningCpu("portaudio (shared microphone):", device, seconds);
    // The plugin records from PULSE_SOURCE when it is set.
    setenv("PULSE_SOURCE", kOwnSource, 1);
    listeningCpu("portaudio (own microphone):", device, seconds);
    unsetenv("PULSE_SOURCE");
    gapRows("portaudio:", device, gapRuns);
    gapsUnderLoad("portaudio:", device, &server);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int chars = 30;
  int seconds = 30;
  int gapRuns = 1;
  std::string which = "all";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--chars") == 0)
      chars = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--listen-seconds") == 0)
      seconds = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--gap-runs") == 0)
      gapRuns = std::max(1, std::atoi(argv[i + 1]));
    else if (std::strcmp(argv[i], "--device") == 0)
      which = argv[i + 1];
  }
  if (which == "all" || which == "memory") memoryRows(chars, seconds);
  if (which != "memory") serverRows(which, chars, seconds, gapRuns);
  return 0;
}
