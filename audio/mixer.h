// Mixer levels: at start-up the speaker, microphone and wave-output volumes
// are raised to configured minimum percentages (never lowered), speakers and
// wave output are unmuted, and the microphone's monitoring path is muted, so
// that the line hears the program and the program does not hear itself
// through the speakers. At the end of the program the wave output may be
// turned down.
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

namespace quelto {

enum class MixerLine { Speakers, Microphone, WaveOutput };

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

// The simple mixer of the system's default ALSA card, or null when there is
// none. Master is the speakers, PCM the wave output, Mic (or Capture) the
// microphone: its capture volume, and its playback switch as monitoring.
std::unique_ptr<Mixer> openDefaultMixer();

constexpr int kDefaultVolumePercent = 75;

// Percentages outside 10..100 mean the default.
int sanitizeVolumePercent(int percent);
// (maximum - minimum) * percent / 100 + minimum, in unsigned arithmetic.
unsigned volumeTarget(const VolumeSetting& control, int percent);

using MixerOpener = std::function<std::unique_ptr<Mixer>()>;

// Handles the settings, then opens the mixer with `open` (which may give
// null: nothing more happens) and raises the levels.
void adjustMixer(const MixerOpener& open = openDefaultMixer);

// Unmutes the wave output and sets its volume to the control's minimum.
void turnDownWaveOutput(const MixerOpener& open = openDefaultMixer);

}  // namespace quelto
