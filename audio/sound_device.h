// The seam between SoundStream and a sound card.
//
// SoundStream keeps every rule of the half-duplex line (which device is open,
// pads, trailer, status byte); a SoundDevice only opens, moves samples and
// closes. The program uses PortAudioDevice; tests use MemorySoundDevice.
//
// Input samples are signed 16-bit PCM, mono, 0 = silence; output samples are
// 8-bit unsigned PCM, mono, 128 = silence (audio/sample_format.h converts
// between them). Device numbers count
// the devices of one kind (input-capable or output-capable) from 0 in the
// order the system lists them; -1 is the system's default device.
//
// Threads: only the modem thread opens, reads, plays and closes. The device
// counts and names are fixed when the device object is built and may be read
// from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quelto {

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;

  // Number of input-capable / output-capable devices and their names.
  virtual int inputDeviceCount() const = 0;
  virtual int outputDeviceCount() const = 0;
  virtual std::string inputDeviceName(int number) const = 0;
  virtual std::string outputDeviceName(int number) const = 0;

  // True when the system has some device to record from (the default
  // input device exists).
  virtual bool hasInputDevice() const = 0;

  // Opens the input at `rate` samples per second and starts recording at
  // once. Recording runs on between reads, so no sample is lost while a
  // block is being demodulated. `blockLength` is the read size to come.
  virtual bool openInput(int device, int rate, std::size_t blockLength) = 0;
  // Blocks until `length` samples have been recorded and copies them out.
  virtual bool readInput(std::int16_t* dest, std::size_t length) = 0;
  virtual void closeInput() = 0;

  virtual bool openOutput(int device, int rate) = 0;
  // Queues samples for playing; may return before they are heard.
  virtual bool play(const std::uint8_t* samples, std::size_t length) = 0;
  // Blocks until everything queued has been heard. Closing the output
  // without draining first may drop what the card still holds.
  virtual bool drainOutput() = 0;
  virtual void closeOutput() = 0;
};

}  // namespace quelto
