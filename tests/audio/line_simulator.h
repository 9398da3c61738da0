// A telephone line between two modems, for tests: two ModemControls, each
// with its own thread and in-memory sound card, joined so that what one
// plays (at 22050 or 8000 samples per second) reaches the other's input at
// 8000, with optional white noise at a given signal-to-noise ratio.
//
// What is played while the other side is not recording is lost, as on a
// real half-duplex line.
#pragma once

#include "audio/memory_sound_device.h"
#include "modem/modem_control.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace quelto {

// Adds white Gaussian noise whose power sits `snrDb` below that of a
// full-scale line tone (amplitude 125 on the 8-bit scale) to signed 16-bit
// input, clipping to the 16-bit range.
class LineNoise {
 public:
  LineNoise(double snrDb, unsigned seed);
  void add(std::int16_t* samples, std::size_t length);
  double sigma() const { return sigma_; }

 private:
  double sigma_;
  std::mutex mutex_;
  std::mt19937 random_;
  std::normal_distribution<double> normal_;
};

class LineSimulator {
 public:
  struct Options {
    double pace = 8.0;            // times faster than real time
    std::optional<double> snrDb;  // no noise when empty
    unsigned seed = 1;
  };

  explicit LineSimulator(Options options);
  ~LineSimulator();

  struct Side {
    std::mutex mutex;
    SignalCapture capture;
    StreamOptions stream;
    MemorySoundDevice device;
    std::unique_ptr<ModemControl> control = std::make_unique<ModemControl>(mutex);
    std::unique_ptr<LineNoise> noise;
  };

  Side& a() { return *a_; }
  Side& b() { return *b_; }

  // Starts both modem threads and waits until both are recording.
  bool start(std::chrono::milliseconds timeout = std::chrono::seconds(5));

  // Queues typed text (Windows-1252) on a side, as the user interface does.
  static void type(Side& side, const std::string& text);
  // Waits until a side has nothing left to send and records again.
  static bool waitListening(Side& side, std::chrono::milliseconds timeout);
  // Collects what a side receives until `expectedLength` characters have
  // arrived (a received backspace erases the last one, as the view does)
  // or the timeout passes.
  static std::string receive(Side& side, std::size_t expectedLength,
                             std::chrono::milliseconds timeout);

 private:
  static void join(Side& from, Side& to);

  Options options_;
  std::unique_ptr<Side> a_, b_;
};

}  // namespace quelto
