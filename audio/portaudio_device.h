// PortAudioDevice: the real sound card, through PortAudio's blocking streams
// (input signed 16-bit, output 8-bit unsigned, mono).
//
// Build it once, on the user-interface thread, before the modem thread
// starts: the constructor initialises PortAudio (with the sound libraries'
// start-up chatter on stderr silenced) and takes a snapshot of the input- and
// output-capable devices, which is what the device lists show for the whole
// run. After that only the modem thread opens, reads, plays and closes.
//
// With no sound card PortAudio still initialises; the device counts are 0
// and hasInputDevice() is false.
#pragma once

#include "audio/sound_device.h"

#include <vector>

namespace quelto {

class PortAudioDevice : public SoundDevice {
 public:
  PortAudioDevice();
  ~PortAudioDevice() override;
  PortAudioDevice(const PortAudioDevice&) = delete;
  PortAudioDevice& operator=(const PortAudioDevice&) = delete;

  int inputDeviceCount() const override { return static_cast<int>(inputs_.size()); }
  int outputDeviceCount() const override { return static_cast<int>(outputs_.size()); }
  std::string inputDeviceName(int number) const override;
  std::string outputDeviceName(int number) const override;
  bool hasInputDevice() const override { return hasDefaultInput_; }

  bool openInput(int device, int rate, std::size_t blockLength) override;
  bool readInput(std::int16_t* dest, std::size_t length) override;
  void closeInput() override;
  bool openOutput(int device, int rate) override;
  bool play(const std::uint8_t* samples, std::size_t length) override;
  bool drainOutput() override;
  void closeOutput() override;

 private:
  struct Entry {
    int index;  // PortAudio's device index
    std::string name;
  };

  bool initialised_ = false;
  bool hasDefaultInput_ = false;
  std::vector<Entry> inputs_;
  std::vector<Entry> outputs_;
  void* input_ = nullptr;   // PaStream*
  void* output_ = nullptr;  // PaStream*
  int outputRate_ = 0;
};

}  // namespace quelto
