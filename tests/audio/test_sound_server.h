// A private desktop sound server for tests: a PulseAudio daemon started as
// the test's own child, in scratch runtime and home folders, with built-in
// speakers and microphone and a USB phone adapter made of null sinks with
// user-facing descriptions. Each "microphone" is a real source remapped over
// the monitor of a feed sink: what a test plays into the feed sink is what
// the microphone records.
//
//   Output (sink)                    Input (source)
//   "Built-in Audio Analog Stereo"   "Built-in Audio Analog Stereo"
//     speakers (the default)           builtin_mic (the default), fed by builtin_feed
//   "USB Phone Adapter"              "USB Phone Adapter"
//     adapter                          adapter_mic, fed by adapter_feed
//
// The feed sinks are outputs too ("Built-in Microphone Feed", "USB Phone
// Adapter Feed"), and so is "Keeper": a sink that takes 20 ms loopbacks from
// the other devices, so that no null sink idles into rendering in 2-second
// chunks and a new recorder never stalls.
//
// While the server lives, PULSE_SERVER and PULSE_COOKIE point at it, so
// every client of the process (and of its children) talks to it.
//
// Threads: one test thread drives the server; a Recorder records on its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

struct pa_simple;

namespace quelto {

class TestSoundServer {
 public:
  // Starts the daemon and waits (up to a minute, for a loaded machine)
  // until it answers; `ok()` says whether it did. With `desktopPriority`
  // the daemon asks for a higher priority and real-time scheduling, as a
  // desktop's sound server gets them (benchmarks); it goes on without what
  // is refused.
  explicit TestSoundServer(bool desktopPriority = false);
  ~TestSoundServer();
  TestSoundServer(const TestSoundServer&) = delete;
  TestSoundServer& operator=(const TestSoundServer&) = delete;

  bool ok() const { return ok_; }
  // The daemon's own messages, for a failure report.
  std::string log() const;

  // Stops the daemon for `duration` and lets it go on, as a machine too
  // busy to run it does.
  void stop(std::chrono::milliseconds duration) const;

  // Runs pactl with `arguments` (a shell command line) against the server;
  // its standard output. `ok` (when given) says whether pactl succeeded.
  std::string pactl(const std::string& arguments, bool* ok = nullptr) const;
  // Loads a module; returns its index, or -1.
  int loadModule(const std::string& arguments) const;
  bool unloadModule(int index) const;

  // The adapter unplugged (its output and its microphone leave the
  // server) and plugged in again, under the same names and descriptions.
  bool unplugAdapter() const;
  bool plugAdapter() const;

  // How many client streams (not the keeper's loopbacks) record from the
  // source named `source` now.
  int recordersOf(const std::string& source) const;

  // Plays 8-bit unsigned samples at `rate` into `sink`; blocks until played.
  static bool play(const std::string& sink, const std::vector<std::uint8_t>& samples, int rate);

  // Volume of a sink or source ("sink" or "source") in percent of its
  // normal volume (-1 when unknown), and its mute.
  int volumePercent(const std::string& kind, const std::string& name) const;
  bool muted(const std::string& kind, const std::string& name) const;

  // A client's playback stream, found by its media name ("Quelto line
  // output"): its index, volume in percent of normal and mute; index -1
  // while there is none.
  struct Stream {
    int index = -1;
    int volumePercent = -1;
    bool muted = false;
  };
  Stream playbackStream(const std::string& mediaName) const;

 private:
  std::filesystem::path dir_;
  pid_t pid_ = -1;
  bool ok_ = false;
};

// Records a source (a sink's monitor, to hear what was played into the
// sink) at 8000 samples per second, 8-bit unsigned, from construction to
// destruction, on its own thread.
class Recorder {
 public:
  static constexpr int kRate = 8000;

  explicit Recorder(const std::string& source);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  bool ok() const { return stream_ != nullptr; }
  std::vector<std::uint8_t> samples() const;
  // Waits until `count` more samples than now have been recorded; false
  // after `timeout` or when recording failed.
  bool recordMore(std::size_t count, std::chrono::seconds timeout);

 private:
  void run();

  pa_simple* stream_ = nullptr;
  std::atomic<bool> stop_{false};
  bool failed_ = false;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> samples_;
  std::thread thread_;
};

// Checks `condition` every 20 ms until it holds or `timeout` has passed;
// returns its last value. Waiting for what a test expects, not for a fixed
// time, keeps tests fast on an idle machine and patient on a loaded one.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace quelto
