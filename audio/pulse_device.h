// PulseDevice: the desktop sound server (PulseAudio, or PipeWire through
// pipewire-pulse), through libpulse's asynchronous API on a threaded main
// loop.
//
// Devices are listed by the description the server shows ("USB Phone
// Adapter"), whole; monitor sources are not offered as inputs. Two devices
// with the same description are listed as "DESCRIPTION (NAME)" with the
// server's own device name, so that each listed name opens its own device.
// The lists follow the server's subscription events: a device plugged in or
// out while the program runs appears in or leaves them.
//
// Output is 8-bit unsigned at the asked rate with about 150 ms queued ahead
// on the server, so a loaded machine that keeps the modem thread from
// running for a while does not starve the line; drainOutput() waits until
// the server has played everything. Input is recorded as signed 16-bit.
// Streams are bound to their device: when it goes away the stream fails,
// and the sound stream opens the default device until it comes back.
//
// Threads: build it on the user-interface thread. The lists may be read
// from any thread; streams are used by the modem thread; openMixer() and
// the mixer it gives by the user-interface thread. libpulse's own thread
// runs the server's callbacks.
#pragma once

#include "audio/sound_device.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace quelto {

class PulseDevice : public SoundDevice {
 public:
  // Audio kept queued on the server ahead of what is heard.
  static constexpr int kQueueAheadMs = 150;

  // Connects to the sound server and takes the device lists; null when no
  // server answers within `timeout` (the server is never started for us).
  static std::unique_ptr<PulseDevice> connect(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
  ~PulseDevice() override;
  PulseDevice(const PulseDevice&) = delete;
  PulseDevice& operator=(const PulseDevice&) = delete;

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

  // Sink ("speakers" and wave output) and source ("microphone") volumes of
  // the named devices, or of the server's defaults for empty names; the
  // program's own playback is every output stream this device opens, raised
  // to the mixer's level as it opens and while it is open.
  std::unique_ptr<Mixer> openMixer(const std::string& input, const std::string& output) override;

  // A device as the server knows it, and the name the lists show.
  struct Entry {
    std::uint32_t index = 0;
    std::string name;         // the server's name ("alsa_output.usb-...")
    std::string description;  // what the user sees ("USB Phone Adapter")
    std::string label;        // the listed name
    bool monitor = false;     // a sink's monitor source
  };

 private:
  class Lock;
  class ServerMixer;
  PulseDevice();

  // Asks the server for both lists again, and publishes them once both
  // have come; under the main-loop lock or on libpulse's thread.
  void requestLists();
  void listPartDone();
  // The server's name of a listed device; "" for the default or unknown.
  std::string serverName(const std::string& label, bool sink) const;
  bool waitReady(pa_stream* stream);
  // Raises the open output stream to the playback floor and gives it the
  // playback mute, as the mixer set them; never lowers it. Under the
  // main-loop lock; the change reaches the server a round trip later.
  void adjustPlayback();
  void disconnect(pa_stream*& stream);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;

  mutable std::mutex listMutex_;
  std::vector<Entry> sinks_;
  std::vector<Entry> sources_;  // monitors included

  // Lists being gathered; under the main-loop lock.
  std::vector<Entry> pendingSinks_;
  std::vector<Entry> pendingSources_;
  int listParts_ = 0;
  bool listRequested_ = false;
  bool listDirty_ = false;
  int listsReceived_ = 0;

  pa_stream* input_ = nullptr;
  pa_stream* output_ = nullptr;
  // The program's own playback as the mixer wants it (none until the mixer
  // sets it); under the main-loop lock.
  std::uint32_t playbackFloor_ = 0;  // pa_volume_t
  std::optional<bool> playbackMuted_;
  std::vector<std::int16_t> inputBlock_;
  // Bytes the waiting readInput still needs; under the main-loop lock.
  std::size_t inputWanted_ = 0;
};

}  // namespace quelto
