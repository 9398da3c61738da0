#include "audio/mixer.h"

#include "settings/global_settings.h"

#include <alsa/asoundlib.h>

#include <regex>

namespace quelto {

namespace {

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

class AlsaMixer : public Mixer {
 public:
  explicit AlsaMixer(snd_mixer_t* handle) : handle_(handle) {}
  ~AlsaMixer() override { snd_mixer_close(handle_); }

  bool setMute(MixerLine line, bool muted) override {
    snd_mixer_elem_t* e = element(line);
    if (!e) return false;
    // An element without a switch has nothing to mute or unmute.
    if (!snd_mixer_selem_has_playback_switch(e)) return true;
    return snd_mixer_selem_set_playback_switch_all(e, muted ? 0 : 1) == 0;
  }

  std::optional<VolumeSetting> volume(MixerLine line) override {
    snd_mixer_elem_t* e = element(line);
    if (!e) return std::nullopt;
    long lo = 0, hi = 0, v = 0;
    const bool capture = usesCaptureVolume(line, e);
    if (capture) {
      if (snd_mixer_selem_get_capture_volume_range(e, &lo, &hi) != 0 ||
          snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &v) != 0)
        return std::nullopt;
    } else {
      if (!snd_mixer_selem_has_playback_volume(e) ||
          snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) != 0 ||
          snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &v) != 0)
        return std::nullopt;
    }
    if (lo < 0 || hi < lo || v < lo) return std::nullopt;
    return VolumeSetting{static_cast<unsigned>(lo), static_cast<unsigned>(hi),
                         static_cast<unsigned>(v)};
  }

  bool setVolume(MixerLine line, unsigned value) override {
    snd_mixer_elem_t* e = element(line);
    if (!e) return false;
    if (usesCaptureVolume(line, e))
      return snd_mixer_selem_set_capture_volume_all(e, static_cast<long>(value)) == 0;
    return snd_mixer_selem_set_playback_volume_all(e, static_cast<long>(value)) == 0;
  }

 private:
  // The microphone's level is what it records with; the other lines play.
  static bool usesCaptureVolume(MixerLine line, snd_mixer_elem_t* e) {
    return line == MixerLine::Microphone && snd_mixer_selem_has_capture_volume(e);
  }

  snd_mixer_elem_t* find(const char* name) {
    snd_mixer_selem_id_t* id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, name);
    return snd_mixer_find_selem(handle_, id);
  }

  snd_mixer_elem_t* element(MixerLine line) {
    switch (line) {
      case MixerLine::Speakers:
        return find("Master");
      case MixerLine::WaveOutput:
      case MixerLine::OwnPlayback:
        return find("PCM");
      case MixerLine::Microphone:
        if (snd_mixer_elem_t* mic = find("Mic")) return mic;
        return find("Capture");
    }
    return nullptr;
  }

  snd_mixer_t* handle_;
};

// The microphone on one card, speakers and wave output on another.
class TwoCardMixer : public Mixer {
 public:
  TwoCardMixer(std::unique_ptr<Mixer> input, std::unique_ptr<Mixer> output)
      : input_(std::move(input)), output_(std::move(output)) {}
  bool setMute(MixerLine line, bool muted) override { return of(line).setMute(line, muted); }
  std::optional<VolumeSetting> volume(MixerLine line) override { return of(line).volume(line); }
  bool setVolume(MixerLine line, unsigned value) override {
    return of(line).setVolume(line, value);
  }

 private:
  Mixer& of(MixerLine line) { return line == MixerLine::Microphone ? *input_ : *output_; }
  std::unique_ptr<Mixer> input_;
  std::unique_ptr<Mixer> output_;
};

std::unique_ptr<Mixer> openCardMixer(const std::string& card) {
  snd_lib_error_set_handler(quietAlsa);
  snd_mixer_t* handle = nullptr;
  if (snd_mixer_open(&handle, 0) != 0) return nullptr;
  if (snd_mixer_attach(handle, card.c_str()) != 0 ||
      snd_mixer_selem_register(handle, nullptr, nullptr) != 0 || snd_mixer_load(handle) != 0) {
    snd_mixer_close(handle);
    return nullptr;
  }
  return std::make_unique<AlsaMixer>(handle);
}

// Raises a line's volume to `percent` of its range when it is lower.
bool raiseVolume(Mixer& mixer, MixerLine line, int percent) {
  const std::optional<VolumeSetting> v = mixer.volume(line);
  if (!v) return false;
  const unsigned target = volumeTarget(*v, percent);
  return target <= v->value || mixer.setVolume(line, target);
}

static_assert(setting::kMasterVolumePercent.defaultValue == kDefaultVolumePercent &&
              setting::kMicrophoneVolumePercent.defaultValue == kDefaultVolumePercent &&
              setting::kWaveVolumePercent.defaultValue == kDefaultVolumePercent);

int storedPercent(const IntegerSetting& setting) {
  const int percent = sanitizeVolumePercent(readSetting(setting));
  writeSetting(setting, percent);
  return percent;
}

}  // namespace

std::string alsaMixerDevice(const std::string& device) {
  // PortAudio lists a card's device as "Card: Device (hw:1,0)"; the bare
  // ALSA names are "hw:1", "hw:1,0", "plughw:1,0".
  static const std::regex card(R"((?:^|\(|\b)(?:plug)?hw:(\d+)(?:,\d+)?\)?$)");
  std::smatch m;
  if (std::regex_search(device, m, card)) return "hw:" + m[1].str();
  return "default";
}

std::unique_ptr<Mixer> openAlsaMixer(const std::string& input, const std::string& output) {
  const std::string outputCard = alsaMixerDevice(output);
  const std::string inputCard = alsaMixerDevice(input);
  std::unique_ptr<Mixer> out = openCardMixer(outputCard);
  if (!out || inputCard == outputCard) return out;
  std::unique_ptr<Mixer> in = openCardMixer(inputCard);
  if (!in) return nullptr;
  return std::make_unique<TwoCardMixer>(std::move(in), std::move(out));
}

int sanitizeVolumePercent(int percent) {
  return percent < 10 || percent > 100 ? kDefaultVolumePercent : percent;
}

unsigned volumeTarget(const VolumeSetting& control, int percent) {
  return (control.maximum - control.minimum) * static_cast<unsigned>(percent) / 100u +
         control.minimum;
}

void adjustMixer(const MixerOpener& open) {
  if (!readSetting(setting::kAutoAdjustVolume)) return;
  writeSetting(setting::kAutoAdjustVolume, true);
  const int master = storedPercent(setting::kMasterVolumePercent);
  const int microphone = storedPercent(setting::kMicrophoneVolumePercent);
  const int wave = storedPercent(setting::kWaveVolumePercent);

  const std::unique_ptr<Mixer> mixer = open ? open() : nullptr;
  if (!mixer) return;
  // Each step stops the whole adjustment at its first refusal.
  if (!mixer->setMute(MixerLine::Speakers, false) ||
      !raiseVolume(*mixer, MixerLine::Speakers, master))
    return;
  if (!raiseVolume(*mixer, MixerLine::Microphone, microphone) ||
      !mixer->setMute(MixerLine::Microphone, true))
    return;
  if (!mixer->setMute(MixerLine::OwnPlayback, false)) return;
  raiseVolume(*mixer, MixerLine::OwnPlayback, wave);
}

void turnDownWaveOutput(const MixerOpener& open) {
  const std::unique_ptr<Mixer> mixer = open ? open() : nullptr;
  if (!mixer || !mixer->setMute(MixerLine::WaveOutput, false)) return;
  const std::optional<VolumeSetting> v = mixer->volume(MixerLine::WaveOutput);
  if (v) mixer->setVolume(MixerLine::WaveOutput, v->minimum);
}

}  // namespace quelto
