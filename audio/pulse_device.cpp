#include "audio/pulse_device.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <map>
#include <thread>

namespace quelto {

// Holds libpulse's main-loop lock: every call into the context or a stream
// is made under it, and waiting releases it while libpulse's thread runs.
class PulseDevice::Lock {
 public:
  explicit Lock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~Lock() { pa_threaded_mainloop_unlock(loop_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void wait() { pa_threaded_mainloop_wait(loop_); }

 private:
  pa_threaded_mainloop* loop_;
};

namespace {

// Every callback only wakes whoever waits on the main loop; the waiting
// side looks at the state itself.
void wake(pa_threaded_mainloop* loop) {
  pa_threaded_mainloop_signal(loop, 0);
}

void wakeOnContext(pa_context*, void* loop) {
  wake(static_cast<pa_threaded_mainloop*>(loop));
}

void wakeOnStream(pa_stream*, void* loop) {
  wake(static_cast<pa_threaded_mainloop*>(loop));
}

void wakeOnStreamRequest(pa_stream*, std::size_t, void* loop) {
  wake(static_cast<pa_threaded_mainloop*>(loop));
}

// The result of one server operation, filled by its callback.
struct Reply {
  pa_threaded_mainloop* loop;
  bool ok = false;
  bool done = false;
  pa_cvolume volume{};
  bool found = false;
};

void onSuccess(pa_context*, int success, void* data) {
  auto* reply = static_cast<Reply*>(data);
  reply->ok = success != 0;
  reply->done = true;
  wake(reply->loop);
}

void onStreamSuccess(pa_stream*, int success, void* data) {
  onSuccess(nullptr, success, data);
}

template <typename Info>
void onVolumeInfo(pa_context*, const Info* info, int eol, void* data) {
  auto* reply = static_cast<Reply*>(data);
  if (eol) {
    reply->ok = reply->found;
    reply->done = true;
    wake(reply->loop);
    return;
  }
  if (!info) return;
  reply->found = true;
  reply->volume = info->volume;
}

// Waits, under the lock, until the operation has ended; false when it could
// not be started or failed.
template <typename WaitLock>
bool finish(WaitLock& lock, pa_operation* op, const Reply& reply) {
  if (!op) return false;
  while (!reply.done && pa_operation_get_state(op) == PA_OPERATION_RUNNING) lock.wait();
  pa_operation_unref(op);
  return reply.done && reply.ok;
}

// The listed names: the description, or "DESCRIPTION (NAME)" where two
// listed devices share their description.
void label(std::vector<PulseDevice::Entry>& entries) {
  std::map<std::string, int> seen;
  for (const auto& e : entries)
    if (!e.monitor) ++seen[e.description];
  for (auto& e : entries) {
    const std::string description = e.description.empty() ? e.name : e.description;
    e.label = seen[e.description] > 1 ? description + " (" + e.name + ")" : description;
  }
}

std::vector<std::string> labels(const std::vector<PulseDevice::Entry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries)
    if (!e.monitor) names.push_back(e.label);
  return names;
}

}  // namespace

// --- The server's mixer -----------------------------------------------------------------

// Speakers and wave output are the chosen sink; the microphone is the chosen
// source. A server has no path from the microphone to the speakers, so the
// request to mute that path is turned into what matters on a server: the
// input records (it is unmuted, never muted). The program's own playback is
// its output stream, which exists only while the modem plays: the mixer
// keeps a floor and a mute for it in the device, and every output stream
// takes them when it opens.
class PulseDevice::ServerMixer : public Mixer {
 public:
  ServerMixer(PulseDevice& device, std::string sink, std::string source)
      : device_(device), sink_(std::move(sink)), source_(std::move(source)) {}

  bool setMute(MixerLine line, bool muted) override {
    Lock lock(device_.loop_);
    if (line == MixerLine::OwnPlayback) {
      device_.playbackMuted_ = muted;
      device_.adjustPlayback();
      return true;
    }
    Reply reply{device_.loop_};
    pa_operation* op = line == MixerLine::Microphone
                           ? pa_context_set_source_mute_by_name(device_.context_, source_.c_str(),
                                                                0, onSuccess, &reply)
                           : pa_context_set_sink_mute_by_name(device_.context_, sink_.c_str(),
                                                              muted ? 1 : 0, onSuccess, &reply);
    return finish(lock, op, reply);
  }

  std::optional<VolumeSetting> volume(MixerLine line) override {
    if (line == MixerLine::OwnPlayback) {
      Lock lock(device_.loop_);
      return VolumeSetting{PA_VOLUME_MUTED, PA_VOLUME_NORM, device_.playbackFloor_};
    }
    const std::optional<pa_cvolume> v = current(line);
    if (!v) return std::nullopt;
    return VolumeSetting{PA_VOLUME_MUTED, PA_VOLUME_NORM, pa_cvolume_max(&*v)};
  }

  bool setVolume(MixerLine line, unsigned value) override {
    if (line == MixerLine::OwnPlayback) {
      Lock lock(device_.loop_);
      device_.playbackFloor_ = static_cast<pa_volume_t>(value);
      device_.adjustPlayback();
      return true;
    }
    std::optional<pa_cvolume> v = current(line);
    if (!v) return false;
    pa_cvolume_set(&*v, v->channels, static_cast<pa_volume_t>(value));
    Lock lock(device_.loop_);
    Reply reply{device_.loop_};
    pa_operation* op = line == MixerLine::Microphone
                           ? pa_context_set_source_volume_by_name(device_.context_, source_.c_str(),
                                                                  &*v, onSuccess, &reply)
                           : pa_context_set_sink_volume_by_name(device_.context_, sink_.c_str(),
                                                                &*v, onSuccess, &reply);
    return finish(lock, op, reply);
  }

 private:
  std::optional<pa_cvolume> current(MixerLine line) {
    Lock lock(device_.loop_);
    Reply reply{device_.loop_};
    pa_operation* op =
        line == MixerLine::Microphone
            ? pa_context_get_source_info_by_name(device_.context_, source_.c_str(),
                                                 onVolumeInfo<pa_source_info>, &reply)
            : pa_context_get_sink_info_by_name(device_.context_, sink_.c_str(),
                                               onVolumeInfo<pa_sink_info>, &reply);
    if (!finish(lock, op, reply) || !pa_cvolume_valid(&reply.volume)) return std::nullopt;
    return reply.volume;
  }

  PulseDevice& device_;
  std::string sink_;
  std::string source_;
};

void PulseDevice::adjustPlayback() {
  if (!output_ || pa_stream_get_state(output_) != PA_STREAM_READY) return;
  if (playbackFloor_ == PA_VOLUME_MUTED && !playbackMuted_) return;
  // Nobody waits for the answer: the modem thread goes on playing, and the
  // stream is raised a server round trip after it opened, long before the
  // queued audio starts to play.
  pa_operation* op = pa_context_get_sink_input_info(
      context_, pa_stream_get_index(output_),
      [](pa_context* context, const pa_sink_input_info* info, int eol, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        if (eol || !info) return;
        if (pa_cvolume_valid(&info->volume) &&
            pa_cvolume_max(&info->volume) < device->playbackFloor_) {
          pa_cvolume raised = info->volume;
          pa_cvolume_set(&raised, raised.channels, device->playbackFloor_);
          if (pa_operation* set =
                  pa_context_set_sink_input_volume(context, info->index, &raised, nullptr, nullptr))
            pa_operation_unref(set);
        }
        if (device->playbackMuted_ && (info->mute != 0) != *device->playbackMuted_)
          if (pa_operation* set = pa_context_set_sink_input_mute(
                  context, info->index, *device->playbackMuted_ ? 1 : 0, nullptr, nullptr))
            pa_operation_unref(set);
      },
      this);
  if (op) pa_operation_unref(op);
}

// --- Connection and lists ---------------------------------------------------------------

PulseDevice::PulseDevice() = default;

std::unique_ptr<PulseDevice> PulseDevice::connect(std::chrono::milliseconds timeout) {
  std::unique_ptr<PulseDevice> device(new PulseDevice);
  device->loop_ = pa_threaded_mainloop_new();
  if (!device->loop_) return nullptr;
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Quelto");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "quelto");
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "phone");
  device->context_ =
      pa_context_new_with_proplist(pa_threaded_mainloop_get_api(device->loop_), "Quelto", props);
  pa_proplist_free(props);
  if (!device->context_) return nullptr;
  pa_context_set_state_callback(device->context_, wakeOnContext, device->loop_);
  if (pa_context_connect(device->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(device->loop_) < 0)
    return nullptr;

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pastDeadline = [&] { return std::chrono::steady_clock::now() >= deadline; };
  for (;;) {
    {
      Lock lock(device->loop_);
      const pa_context_state_t state = pa_context_get_state(device->context_);
      if (!PA_CONTEXT_IS_GOOD(state)) return nullptr;
      if (state == PA_CONTEXT_READY) {
        pa_context_set_subscribe_callback(
            device->context_,
            [](pa_context*, pa_subscription_event_type_t, std::uint32_t, void* self) {
              static_cast<PulseDevice*>(self)->requestLists();
            },
            device.get());
        pa_operation* op =
            pa_context_subscribe(device->context_,
                                 static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                                     PA_SUBSCRIPTION_MASK_SOURCE),
                                 nullptr, nullptr);
        if (op) pa_operation_unref(op);
        device->requestLists();
        break;
      }
    }
    if (pastDeadline()) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // The first lists, so that the device is complete when it is handed out.
  for (;;) {
    {
      Lock lock(device->loop_);
      if (device->listsReceived_ > 0) return device;
      if (pa_context_get_state(device->context_) != PA_CONTEXT_READY) return nullptr;
    }
    if (pastDeadline()) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

PulseDevice::~PulseDevice() {
  if (loop_) {
    {
      Lock lock(loop_);
      disconnect(input_);
      disconnect(output_);
      if (context_) {
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
      }
    }
    pa_threaded_mainloop_stop(loop_);
    if (context_) pa_context_unref(context_);
    pa_threaded_mainloop_free(loop_);
  }
}

void PulseDevice::requestLists() {
  // A change during a request is read by one more request after it.
  if (listRequested_) {
    listDirty_ = true;
    return;
  }
  listRequested_ = true;
  listDirty_ = false;
  pendingSinks_.clear();
  pendingSources_.clear();
  listParts_ = 0;
  pa_operation* sinks = pa_context_get_sink_info_list(
      context_,
      [](pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        if (eol)
          device->listPartDone();
        else if (info)
          device->pendingSinks_.push_back({info->index, info->name ? info->name : "",
                                           info->description ? info->description : "", "", false});
      },
      this);
  pa_operation* sources = pa_context_get_source_info_list(
      context_,
      [](pa_context*, const pa_source_info* info, int eol, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        if (eol)
          device->listPartDone();
        else if (info)
          device->pendingSources_.push_back({info->index, info->name ? info->name : "",
                                             info->description ? info->description : "", "",
                                             info->monitor_of_sink != PA_INVALID_INDEX});
      },
      this);
  if (sinks) pa_operation_unref(sinks);
  if (sources) pa_operation_unref(sources);
  if (!sinks || !sources) listRequested_ = false;
}

void PulseDevice::listPartDone() {
  if (++listParts_ < 2) return;
  label(pendingSinks_);
  label(pendingSources_);
  {
    std::lock_guard<std::mutex> lock(listMutex_);
    sinks_.swap(pendingSinks_);
    sources_.swap(pendingSources_);
  }
  listRequested_ = false;
  ++listsReceived_;
  wake(loop_);
  if (listDirty_) requestLists();
}

std::vector<std::string> PulseDevice::inputDeviceNames() const {
  std::lock_guard<std::mutex> lock(listMutex_);
  return labels(sources_);
}

std::vector<std::string> PulseDevice::outputDeviceNames() const {
  std::lock_guard<std::mutex> lock(listMutex_);
  return labels(sinks_);
}

bool PulseDevice::hasInputDevice() {
  // Any source will do as the default input, a monitor included (a test
  // line records from one).
  std::lock_guard<std::mutex> lock(listMutex_);
  return !sources_.empty();
}

std::string PulseDevice::serverName(const std::string& label, bool sink) const {
  std::lock_guard<std::mutex> lock(listMutex_);
  for (const Entry& e : sink ? sinks_ : sources_)
    if (!e.monitor && e.label == label) return e.name;
  return std::string();
}

// --- Streams ----------------------------------------------------------------------------

bool PulseDevice::waitReady(pa_stream* stream) {
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(loop_);
  }
}

void PulseDevice::disconnect(pa_stream*& stream) {
  if (!stream) return;
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_set_read_callback(stream, nullptr, nullptr);
  pa_stream_set_write_callback(stream, nullptr, nullptr);
  pa_stream_disconnect(stream);
  pa_stream_unref(stream);
  stream = nullptr;
}

bool PulseDevice::openInput(const std::string& device, int rate, std::size_t blockLength) {
  closeInput();
  const std::string name = serverName(device, false);
  if (!device.empty() && name.empty()) return false;
  Lock lock(loop_);
  const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate), 1};
  input_ = pa_stream_new(context_, "Quelto line input", &spec, nullptr);
  if (!input_) return false;
  pa_stream_set_state_callback(input_, wakeOnStream, loop_);
  // The server may hand over recordings in pieces of a few milliseconds
  // (when another client asks the source for low latency): the modem
  // thread is woken once a whole block is there, not for every piece.
  pa_stream_set_read_callback(
      input_,
      [](pa_stream* stream, std::size_t, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        const std::size_t readable = pa_stream_readable_size(stream);
        if (readable != static_cast<std::size_t>(-1) && readable < device->inputWanted_) return;
        wake(device->loop_);
      },
      this);
  // The server hands over one block at a time: few wake-ups while idle, and
  // recording runs on between reads.
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(blockLength * sizeof(std::int16_t));
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_record(input_, name.empty() ? nullptr : name.c_str(), &attr, flags) < 0 ||
      !waitReady(input_)) {
    disconnect(input_);
    return false;
  }
  inputBlock_.clear();
  return true;
}

bool PulseDevice::readInput(std::int16_t* dest, std::size_t length) {
  Lock lock(loop_);
  while (inputBlock_.size() < length) {
    if (!input_ || pa_stream_get_state(input_) != PA_STREAM_READY) return false;
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(input_, &data, &bytes) < 0) return false;
    if (bytes == 0) {
      inputWanted_ = (length - inputBlock_.size()) * sizeof(std::int16_t);
      lock.wait();
      continue;
    }
    const std::size_t samples = bytes / sizeof(std::int16_t);
    if (data) {
      const auto* s = static_cast<const std::int16_t*>(data);
      inputBlock_.insert(inputBlock_.end(), s, s + samples);
    } else {
      inputBlock_.insert(inputBlock_.end(), samples, 0);  // a hole: silence
    }
    pa_stream_drop(input_);
  }
  std::copy(inputBlock_.begin(), inputBlock_.begin() + static_cast<std::ptrdiff_t>(length), dest);
  inputBlock_.erase(inputBlock_.begin(), inputBlock_.begin() + static_cast<std::ptrdiff_t>(length));
  return true;
}

void PulseDevice::closeInput() {
  Lock lock(loop_);
  disconnect(input_);
}

bool PulseDevice::openOutput(const std::string& device, int rate) {
  closeOutput();
  const std::string name = serverName(device, true);
  if (!device.empty() && name.empty()) return false;
  Lock lock(loop_);
  const pa_sample_spec spec{PA_SAMPLE_U8, static_cast<std::uint32_t>(rate), 1};
  output_ = pa_stream_new(context_, "Quelto line output", &spec, nullptr);
  if (!output_) return false;
  pa_stream_set_state_callback(output_, wakeOnStream, loop_);
  pa_stream_set_write_callback(output_, wakeOnStreamRequest, loop_);
  // What the server keeps queued is what a stalled modem thread may lose
  // before the line goes silent. Without latency adjustment the whole
  // target length stays queued for this stream (less one request of 20 ms
  // between refills); with it, the server would count the sink's own
  // latency in and keep only about 95 ms of the 150, which a loaded machine
  // ran dry in the middle of a character.
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = static_cast<std::uint32_t>(static_cast<long>(rate) * kQueueAheadMs / 1000);
  attr.prebuf = attr.minreq = attr.fragsize = static_cast<std::uint32_t>(-1);
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_playback(output_, name.empty() ? nullptr : name.c_str(), &attr, flags,
                                 nullptr, nullptr) < 0 ||
      !waitReady(output_)) {
    disconnect(output_);
    return false;
  }
  adjustPlayback();
  return true;
}

bool PulseDevice::play(const std::uint8_t* samples, std::size_t length) {
  Lock lock(loop_);
  while (length > 0) {
    if (!output_ || pa_stream_get_state(output_) != PA_STREAM_READY) return false;
    const std::size_t room = pa_stream_writable_size(output_);
    if (room == static_cast<std::size_t>(-1)) return false;
    if (room == 0) {
      lock.wait();
      continue;
    }
    const std::size_t n = std::min(room, length);
    if (pa_stream_write(output_, samples, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return false;
    samples += n;
    length -= n;
  }
  return true;
}

bool PulseDevice::drainOutput() {
  Lock lock(loop_);
  if (!output_ || pa_stream_get_state(output_) != PA_STREAM_READY) return false;
  Reply reply{loop_};
  pa_operation* op = pa_stream_drain(output_, onStreamSuccess, &reply);
  return finish(lock, op, reply);
}

void PulseDevice::closeOutput() {
  Lock lock(loop_);
  disconnect(output_);
}

std::unique_ptr<Mixer> PulseDevice::openMixer(const std::string& input, const std::string& output) {
  // A chosen device that is missing is served by the default device.
  const std::string sink = serverName(output, true);
  const std::string source = serverName(input, false);
  return std::make_unique<ServerMixer>(*this, sink.empty() ? "@DEFAULT_SINK@" : sink,
                                       source.empty() ? "@DEFAULT_SOURCE@" : source);
}

}  // namespace quelto
