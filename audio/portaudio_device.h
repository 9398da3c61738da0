// PortAudioDevice: the real sound card, through PortAudio's blocking streams
// (input signed 16-bit, output 8-bit unsigned, mono).
//
// Build it on the user-interface thread before the modem thread starts: the
// constructor initialises PortAudio (with the sound libraries' start-up
// chatter on stderr silenced) and takes a snapshot of the input- and
// output-capable devices, listed by the names PortAudio gives them. After
// that only the modem thread opens, reads, plays and closes.
//
// PortAudio sees devices only when it initialises, and it can initialise
// afresh only with no stream open. rescan() (the preferences opening) asks
// for that: at once when nothing is open, otherwise the modem thread closes
// its input between two blocks, initialises afresh and opens the same
// input again, so that recording pauses for the moment ALSA takes to list
// its devices.
//
// With no sound card, or an ALSA configuration that names no device at all,
// the lists are empty and hasInputDevice() is false; while that lasts,
// hasInputDevice() probes again (at most once a second), so a device that
// appears later is taken up without a restart.
#pragma once

#include "audio/sound_device.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace quelto {

class PortAudioDevice : public SoundDevice {
 public:
  // Audio kept queued in the output buffer ahead of what is heard, at
  // least; drainOutput() pushes that much silence through.
  static constexpr int kQueueAheadMs = 150;

  PortAudioDevice();
  ~PortAudioDevice() override;
  PortAudioDevice(const PortAudioDevice&) = delete;
  PortAudioDevice& operator=(const PortAudioDevice&) = delete;

  std::vector<std::string> inputDeviceNames() const override;
  std::vector<std::string> outputDeviceNames() const override;
  bool hasInputDevice() override;
  void rescan() override;

  bool openInput(const std::string& device, int rate, std::size_t blockLength) override;
  bool readInput(std::int16_t* dest, std::size_t length) override;
  void closeInput() override;
  bool openOutput(const std::string& device, int rate) override;
  bool play(const std::uint8_t* samples, std::size_t length) override;
  bool drainOutput() override;
  void closeOutput() override;

  std::unique_ptr<Mixer> openMixer(const std::string& input, const std::string& output) override;

 private:
  struct Entry {
    int index;  // PortAudio's device index
    std::string name;
  };

  // (Re)initialises PortAudio and takes the lists; caller holds mutex_,
  // and no stream is open.
  void probe();
  // PortAudio's index of a listed name, its default device for "".
  int indexOf(const std::string& device, bool input) const;
  // Opens the input; caller holds mutex_.
  bool openInputLocked(const std::string& device, int rate, std::size_t blockLength);
  // The rescan asked for while the input was open, between two blocks:
  // closes it, probes and opens the same input again. Modem thread.
  void rescanBetweenBlocks();

  mutable std::mutex mutex_;
  // Set by rescan() while a stream is open, cleared by the probe that
  // follows; written under mutex_.
  std::atomic<bool> rescanRequested_{false};
  std::condition_variable rescanned_;
  // The open input, to open it again after a rescan; under mutex_.
  std::string inputDevice_;
  int inputRate_ = 0;
  std::size_t inputBlockLength_ = 0;
  bool initialised_ = false;
  bool hasDefaultInput_ = false;
  std::vector<Entry> inputs_;
  std::vector<Entry> outputs_;
  std::chrono::steady_clock::time_point lastProbe_;
  // PaStream*; set by the modem thread under mutex_.
  void* input_ = nullptr;
  void* output_ = nullptr;
  int outputRate_ = 0;
};

}  // namespace quelto
