// Mixer levels: at start-up the speaker, microphone and the program's own
// playback volumes are raised to configured minimum percentages (never
// lowered), speakers and playback are unmuted, and the microphone's
// monitoring path is muted, so that the line hears the program and the
// program does not hear itself through the speakers. At the end of the
// program the wave output may be turned down.
//
// Settings: "AutoAdjustVolume" (default on), "MasterVolumePercent",
// "MicrophoneVolumePercent", "WaveVolumePercent" (default 75; outside
// 10..100 they become 75 and are stored back). "MuteWaveOnQuit" decides
// whether the program calls turnDownWaveOutput at all; that is the caller's
// test.
//
// Failures are silent: a missing mixer, element or a refused call ends the
// operation where it stands, earlier changes stay.
//
// Threads: user-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quelto {

// On a sound card the wave output and the program's own playback are the
// same control (PCM); a sound server splits them into the chosen output
// device and the program's playback stream.
enum class MixerLine { Speakers, Microphone, WaveOutput, OwnPlayback };

struct VolumeSetting {
  unsigned minimum = 0;
  unsigned maximum = 0;
  unsigned value = 0;
};

// The few mixer operations the program needs, one value for all channels.
class Mixer {
 public:
  virtual ~Mixer() = default;
  // Muting a line silences it; for the microphone it is the path from the
  // microphone to the speakers.
  virtual bool setMute(MixerLine line, bool muted) = 0;
  virtual std::optional<VolumeSetting> volume(MixerLine line) = 0;
  virtual bool setVolume(MixerLine line, unsigned value) = 0;
};

// The ALSA simple mixers of the cards behind two ALSA device names: the
// speakers and the wave output on the output's card, the microphone on the
// input's. "hw:N" (or a listed name that ends in "(hw:N,M)") is card N,
// anything else the default card. Null when a card has no mixer. Master is
// the speakers, PCM the wave output and own playback, Mic (or Capture) the
// microphone: its capture volume, and its playback switch as monitoring.
std::unique_ptr<Mixer> openAlsaMixer(const std::string& input, const std::string& output);
// The mixer device ("hw:N" or "default") of an ALSA device name.
std::string alsaMixerDevice(const std::string& device);

constexpr int kDefaultVolumePercent = 75;

// Percentages outside 10..100 mean the default.
int sanitizeVolumePercent(int percent);
// (maximum - minimum) * percent / 100 + minimum, in unsigned arithmetic.
unsigned volumeTarget(const VolumeSetting& control, int percent);

using MixerOpener = std::function<std::unique_ptr<Mixer>()>;

// Handles the settings, then opens the mixer with `open` (which may give
// null: nothing more happens) and raises the levels.
void adjustMixer(const MixerOpener& open);

// Unmutes the wave output and sets its volume to the control's minimum.
void turnDownWaveOutput(const MixerOpener& open);

}  // namespace quelto
