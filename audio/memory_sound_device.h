// MemorySoundDevice: a sound card in memory, for tests and simulations.
//
// It records everything that happens to it (opens, plays with their rate,
// drains, closes) and feeds prepared input, or silence when none is left.
// Each operation can be made to fail on demand, from any thread. With a
// pace above 0, reads and drains take the time the samples would take on a
// real card divided by the pace (2 = twice as fast as real time); with pace
// 0 everything returns at once.
//
// Threads: the SoundStream side runs on one thread (usually a modem
// thread); the control and inspection calls may come from any other.
#pragma once

#include "audio/sound_device.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quelto {

class MemorySoundDevice : public SoundDevice {
 public:
  enum class EventKind { OpenInput, CloseInput, OpenOutput, Play, Drain, CloseOutput, Read };
  struct Event {
    EventKind kind;
    std::string device{};    // OpenInput, OpenOutput ("" = default)
    int rate = 0;            // OpenInput, OpenOutput, Play
    std::size_t length = 0;  // OpenInput (block length), Play, Read
  };
  // One output device session: what was played between an open and a close.
  struct Playback {
    std::string device;
    int rate = 0;
    std::vector<std::uint8_t> samples;
  };

  MemorySoundDevice(std::vector<std::string> inputNames = {"Line In"},
                    std::vector<std::string> outputNames = {"Line Out"});

  // Fault injection: each flag makes the operation fail while it is set.
  std::atomic<bool> failOpenInput{false};
  std::atomic<bool> failOpenOutput{false};
  std::atomic<bool> failRead{false};
  std::atomic<bool> failPlay{false};
  std::atomic<bool> failDrain{false};
  // When >= 0, the play call after this many further successful plays
  // fails (and the counter goes back to -1).
  std::atomic<int> failPlayAfter{-1};
  // The system reports no input device at all.
  std::atomic<bool> noInputDevice{false};

  // Devices plugged in or out: the lists change from now on.
  void setDeviceNames(std::vector<std::string> inputNames, std::vector<std::string> outputNames);

  void setPace(double pace) { pace_ = pace; }

  // Input to hand out (8000 samples per second, signed 16-bit), after what
  // is queued.
  void feedInput(const std::vector<std::int16_t>& samples);
  void feedInput(const std::int16_t* samples, std::size_t length);
  // 8-bit unsigned input, widened as a 16-bit card would record it.
  void feedInput8(const std::vector<std::uint8_t>& samples);
  std::size_t pendingInput() const;
  // Called for every play with the rate and the samples; used to join two
  // devices into a line.
  void setPlayListener(std::function<void(int rate, const std::uint8_t*, std::size_t)> listener);
  // Called on every sample the device hands out, silence included, so that
  // a line can add noise everywhere.
  void setInputFilter(std::function<void(std::int16_t*, std::size_t)> filter);

  std::vector<Event> events() const;
  std::vector<Playback> playbacks() const;
  // Every sample played, all sessions joined.
  std::vector<std::uint8_t> playedSamples() const;
  std::vector<std::int16_t> readSamples() const;
  bool inputOpen() const;
  bool outputOpen() const;
  void clearRecord();

  // Waits until `ready` holds (checked under the device's lock after every
  // event) or the timeout passes; returns the last result of `ready`.
  bool waitUntil(const std::function<bool(const MemorySoundDevice&)>& ready,
                 std::chrono::milliseconds timeout);
  // Counts events of a kind. Inside a waitUntil predicate (which runs under
  // the device's lock) use countLocked instead.
  std::size_t count(EventKind kind) const;
  std::size_t countLocked(EventKind kind) const;

  std::vector<std::string> inputDeviceNames() const override;
  std::vector<std::string> outputDeviceNames() const override;
  bool hasInputDevice() override;
  bool openInput(const std::string& device, int rate, std::size_t blockLength) override;
  bool readInput(std::int16_t* dest, std::size_t length) override;
  void closeInput() override;
  bool openOutput(const std::string& device, int rate) override;
  bool play(const std::uint8_t* samples, std::size_t length) override;
  bool drainOutput() override;
  void closeOutput() override;

 private:
  void record(const Event& e);  // caller holds mutex_

  std::atomic<double> pace_{0.0};

  mutable std::mutex mutex_;
  std::vector<std::string> inputNames_;
  std::vector<std::string> outputNames_;
  std::condition_variable changed_;
  std::vector<Event> events_;
  std::vector<Playback> playbacks_;
  std::vector<std::int16_t> readSamples_;
  std::deque<std::int16_t> input_;
  std::function<void(int, const std::uint8_t*, std::size_t)> playListener_;
  std::function<void(std::int16_t*, std::size_t)> inputFilter_;
  bool inputOpen_ = false;
  bool outputOpen_ = false;
  int outputRate_ = 0;
  std::size_t queuedSinceDrain_ = 0;
  std::chrono::steady_clock::time_point inputStart_;
  std::uint64_t inputDelivered_ = 0;
};

}  // namespace quelto
