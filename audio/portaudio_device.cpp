#include "audio/portaudio_device.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quelto {

namespace {

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// PortAudio probes every host API at start-up; ALSA and JACK then print
// dozens of lines about devices that do not exist. They would fill the
// user's terminal and the test logs, so stderr is parked on /dev/null for
// the duration of the probe.
class StderrSilencer {
 public:
  StderrSilencer() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~StderrSilencer() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }

 private:
  int saved_;
};

PaStream* asStream(void* p) {
  return static_cast<PaStream*>(p);
}

// PortAudio 19.6's ALSA host asserts (and so aborts the program) when it
// finds no device name at all: no card and no PCM in the ALSA configuration,
// as with an empty or missing configuration file. It counts the cards and
// the configuration's PCM definitions, less the plugins it never lists; the
// same count here tells whether initialising is safe.
bool alsaNamesSomeDevice() {
  if (snd_config_update() < 0 || !snd_config) return false;
  int card = -1;
  if (snd_card_next(&card) == 0 && card >= 0) return true;
  snd_config_t* pcms = nullptr;
  if (snd_config_search(snd_config, "pcm", &pcms) < 0) return false;
  static const char* const ignored[] = {"hw",   "plughw", "plug", "dsnoop", "tee",
                                        "file", "null",   "shm",  "cards",  "rate_convert"};
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, pcms) {
    const char* id = nullptr;
    if (snd_config_get_id(snd_config_iterator_entry(i), &id) < 0 || !id) continue;
    if (std::none_of(std::begin(ignored), std::end(ignored),
                     [id](const char* name) { return std::strcmp(id, name) == 0; }))
      return true;
  }
  return false;
}

template <typename Entries>
std::vector<std::string> namesOf(const Entries& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

void stopAndClose(void*& stream) {
  if (!stream) return;
  Pa_StopStream(asStream(stream));
  Pa_CloseStream(asStream(stream));
  stream = nullptr;
}

}  // namespace

PortAudioDevice::PortAudioDevice() {
  snd_lib_error_set_handler(quietAlsa);
  std::lock_guard<std::mutex> lock(mutex_);
  probe();
}

PortAudioDevice::~PortAudioDevice() {
  stopAndClose(input_);
  stopAndClose(output_);
  if (initialised_) Pa_Terminate();
}

void PortAudioDevice::probe() {
  lastProbe_ = std::chrono::steady_clock::now();
  rescanRequested_ = false;
  rescanned_.notify_all();
  if (initialised_) Pa_Terminate();
  initialised_ = false;
  hasDefaultInput_ = false;
  inputs_.clear();
  outputs_.clear();
  {
    StderrSilencer silence;
    initialised_ = alsaNamesSomeDevice() && Pa_Initialize() == paNoError;
  }
  if (!initialised_) return;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info) continue;
    if (info->maxInputChannels > 0) inputs_.push_back({i, info->name ? info->name : ""});
    if (info->maxOutputChannels > 0) outputs_.push_back({i, info->name ? info->name : ""});
  }
  hasDefaultInput_ = Pa_GetDefaultInputDevice() != paNoDevice;
}

std::vector<std::string> PortAudioDevice::inputDeviceNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return namesOf(inputs_);
}

std::vector<std::string> PortAudioDevice::outputDeviceNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return namesOf(outputs_);
}

bool PortAudioDevice::hasInputDevice() {
  std::lock_guard<std::mutex> lock(mutex_);
  // PortAudio sees devices only when it initialises: with none, start it
  // afresh now and then (never with a stream open).
  if (!hasDefaultInput_ && !input_ && !output_ &&
      std::chrono::steady_clock::now() - lastProbe_ >= std::chrono::seconds(1))
    probe();
  return hasDefaultInput_;
}

void PortAudioDevice::rescan() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!input_ && !output_) {
    probe();
    return;
  }
  rescanRequested_ = true;
  // Listening, the modem thread reads a block every few tens of
  // milliseconds and looks before the next one. Playing, it looks when it
  // next opens a stream; the caller does not wait for the end of the
  // transmission.
  if (input_)
    rescanned_.wait_for(lock, std::chrono::seconds(5), [this] { return !rescanRequested_; });
}

void PortAudioDevice::rescanBetweenBlocks() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!rescanRequested_ || output_) return;
  stopAndClose(input_);
  probe();
  // A device gone meanwhile leaves the input closed: the read fails, and
  // the sound stream opens what the new lists offer.
  openInputLocked(inputDevice_, inputRate_, inputBlockLength_);
}

int PortAudioDevice::indexOf(const std::string& device, bool input) const {
  if (device.empty()) return input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
  for (const Entry& e : input ? inputs_ : outputs_)
    if (e.name == device) return e.index;
  return paNoDevice;
}

std::unique_ptr<Mixer> PortAudioDevice::openMixer(const std::string& input,
                                                  const std::string& output) {
  return openAlsaMixer(input, output);
}

bool PortAudioDevice::openInput(const std::string& device, int rate, std::size_t blockLength) {
  closeInput();
  std::lock_guard<std::mutex> lock(mutex_);
  if (rescanRequested_ && !output_) probe();
  return openInputLocked(device, rate, blockLength);
}

bool PortAudioDevice::openInputLocked(const std::string& device, int rate,
                                      std::size_t blockLength) {
  if (!initialised_) return false;
  const PaDeviceIndex index = indexOf(device, true);
  const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
  if (!info) return false;
  PaStreamParameters in{};
  in.device = index;
  in.channelCount = 1;
  in.sampleFormat = paInt16;
  // The card keeps recording while a block is demodulated: room for two
  // blocks at least, so a slow pass never loses samples.
  in.suggestedLatency = std::max(info->defaultHighInputLatency, 2.0 * blockLength / rate);
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, &in, nullptr, rate, paFramesPerBufferUnspecified, paClipOff, nullptr,
                    nullptr) != paNoError)
    return false;
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    return false;
  }
  input_ = stream;
  inputDevice_ = device;
  inputRate_ = rate;
  inputBlockLength_ = blockLength;
  return true;
}

bool PortAudioDevice::readInput(std::int16_t* dest, std::size_t length) {
  if (rescanRequested_) rescanBetweenBlocks();
  if (!input_) return false;
  const PaError err = Pa_ReadStream(asStream(input_), dest, static_cast<unsigned long>(length));
  // An overflow means samples were lost before this block; the block itself
  // is whole, and the framing recovers by itself.
  return err == paNoError || err == paInputOverflowed;
}

void PortAudioDevice::closeInput() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopAndClose(input_);
}

bool PortAudioDevice::openOutput(const std::string& device, int rate) {
  closeOutput();
  std::lock_guard<std::mutex> lock(mutex_);
  if (rescanRequested_ && !input_) probe();
  if (!initialised_) return false;
  const PaDeviceIndex index = indexOf(device, false);
  const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
  if (!info) return false;
  PaStreamParameters out{};
  out.device = index;
  out.channelCount = 1;
  out.sampleFormat = paUInt8;
  // ALSA's default buffer (about 35 ms) runs dry whenever a busy machine
  // keeps the modem thread from running that long, and the line goes
  // silent in the middle of a character: keep as much queued ahead as on a
  // sound server.
  out.suggestedLatency = std::max(info->defaultHighOutputLatency, kQueueAheadMs / 1000.0);
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, nullptr, &out, rate, paFramesPerBufferUnspecified, paClipOff, nullptr,
                    nullptr) != paNoError)
    return false;
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    return false;
  }
  output_ = stream;
  outputRate_ = rate;
  return true;
}

bool PortAudioDevice::play(const std::uint8_t* samples, std::size_t length) {
  if (!output_) return false;
  const PaError err =
      Pa_WriteStream(asStream(output_), samples, static_cast<unsigned long>(length));
  return err == paNoError || err == paOutputUnderflowed;
}

bool PortAudioDevice::drainOutput() {
  if (!output_) return false;
  // Stopping an ALSA stream throws away what the card still holds. Pushing
  // silence through, as much as the stream buffers and a margin, makes the
  // blocking write return only once the real samples have gone out; what
  // a later stop discards is then silence.
  const PaStreamInfo* info = Pa_GetStreamInfo(asStream(output_));
  const double latency = info ? info->outputLatency : 0.5;
  const std::size_t flush = static_cast<std::size_t>(std::ceil((latency + 0.05) * outputRate_));
  const std::vector<std::uint8_t> silence(std::min<std::size_t>(flush, 4096), 128);
  for (std::size_t done = 0; done < flush; done += silence.size()) {
    const std::size_t n = std::min(silence.size(), flush - done);
    if (!play(silence.data(), n)) return false;
  }
  return true;
}

void PortAudioDevice::closeOutput() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopAndClose(output_);
}

}  // namespace quelto
