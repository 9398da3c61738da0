// How long a modem notice (ModemNotice) stays in the status text: until the
// modem starts other work (dialling, sending, announcing) or for
// kNoticeSeconds, whichever comes first. "Could not open soundcard !" is
// shown over it while the state is Unavailable.
//
// Plain logic for the user-interface thread's status timer; no clock or
// window inside (the caller passes the time).
#pragma once

#include "modem/modem_control.h"

#include <cstdint>

namespace quelto {

constexpr double kNoticeSeconds = 10.0;

class StatusNotice {
 public:
  // One tick: `count` and `notice` as the modem publishes them
  // (ModemControl::noticeCount, notice), its state, and the time in
  // seconds. Returns the notice that is new in this tick (to log), or
  // Nothing.
  ModemNotice update(std::uint32_t count, ModemNotice notice, ModemState state, double now);
  // The notice the status text shows now; Nothing when none, or while the
  // sound card cannot be opened.
  ModemNotice shown() const;

 private:
  std::uint32_t seenCount_ = 0;
  ModemNotice notice_ = ModemNotice::Nothing;
  ModemState lastState_ = ModemState::Listening;
  double since_ = 0.0;
};

}  // namespace quelto
