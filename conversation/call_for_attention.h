// When the program calls the user's attention: the rules, kept apart from
// the window so that they can be tested without one.
//
// - Text arriving asks for the urgency hint (the desktop flashes the
//   program's taskbar entry); the window sets it only while it is not
//   focused or is iconified, and clears it when it gets the focus.
// - The first text after 10 s without any also inverts the band's colours
//   for kFlashSeconds.
// - Someone answering a ringing call (a voice after ringing, or text within
//   10 s of the ringing's end) asks for both.
// - Flashes start at most 3 times a second, however often they are asked for.
//
// Times are seconds on any steady clock, given by the caller. User-interface
// thread only.
#pragma once

#include "modem/line_events.h"

#include <optional>

namespace quelto {

class CallForAttention {
 public:
  static constexpr double kQuietSeconds = 10.0;
  static constexpr double kFlashSeconds = 0.5;
  static constexpr double kLeastSecondsBetweenFlashes = 1.0 / 3.0;

  struct Call {
    bool urgent = false;  // set the urgency hint unless the window is focused
    bool flash = false;   // invert the band's colours for kFlashSeconds
  };

  // Received text (one or more characters) shown at `now`.
  Call textReceived(double now);
  // The line event shown changed from `from` to `to` at `now`.
  Call lineEventChanged(LineEvent from, LineEvent to, double now);

 private:
  Call flashIfAllowed(Call call, double now);

  std::optional<double> lastText_;
  std::optional<double> ringingEnded_;
  std::optional<double> lastFlash_;
};

}  // namespace quelto
