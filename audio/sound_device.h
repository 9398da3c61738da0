// The seam between SoundStream and a sound card.
//
// SoundStream keeps every rule of the half-duplex line (which device is open,
// pads, trailer, status byte); a SoundDevice only lists devices, opens, moves
// samples and closes. The program uses PulseDevice when a sound server
// answers and PortAudioDevice otherwise; tests use MemorySoundDevice.
//
// Input samples are signed 16-bit PCM, mono, 0 = silence; output samples are
// 8-bit unsigned PCM, mono, 128 = silence (audio/sample_format.h converts
// between them).
//
// Devices are named as the device lists show them to the user (and as
// "WaveInputDevice"/"WaveOutputDevice" store them); the empty name is the
// system's default device. The lists are live: a device plugged in or out
// while the program runs appears in or leaves them, by itself or at the
// latest after rescan().
//
// Threads: only the modem thread opens, reads, plays, closes and asks
// hasInputDevice(). The device lists may be read from any thread; rescan()
// is called by the user-interface thread.
#pragma once

#include "audio/mixer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quelto {

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;

  // The devices a user can choose now, in the order to show them; the
  // default device is not among them.
  virtual std::vector<std::string> inputDeviceNames() const = 0;
  virtual std::vector<std::string> outputDeviceNames() const = 0;

  // Looks again for devices plugged in or out, for a device whose lists do
  // not follow the system by themselves. Returns once the lists are
  // current, or sooner while the modem thread plays (they are current
  // once it has finished). Recording may pause for a moment meanwhile.
  virtual void rescan() {}

  // True when the system has some device to record from (the default
  // input device exists). While it has none, this may look again.
  virtual bool hasInputDevice() = 0;

  // Opens the input at `rate` samples per second and starts recording at
  // once. Recording runs on between reads, so no sample is lost while a
  // block is being demodulated. `blockLength` is the read size to come.
  virtual bool openInput(const std::string& device, int rate, std::size_t blockLength) = 0;
  // Blocks until `length` samples have been recorded and copies them out.
  virtual bool readInput(std::int16_t* dest, std::size_t length) = 0;
  virtual void closeInput() = 0;

  virtual bool openOutput(const std::string& device, int rate) = 0;
  // Queues samples for playing; may return before they are heard.
  virtual bool play(const std::uint8_t* samples, std::size_t length) = 0;
  // Blocks until everything queued has been heard. Closing the output
  // without draining first may drop what the card still holds.
  virtual bool drainOutput() = 0;
  virtual void closeOutput() = 0;

  // The mixer that governs the named devices (empty = default), or null
  // when there is none. User-interface thread.
  virtual std::unique_ptr<Mixer> openMixer(const std::string& input, const std::string& output) {
    (void)input;
    (void)output;
    return nullptr;
  }
};

}  // namespace quelto
