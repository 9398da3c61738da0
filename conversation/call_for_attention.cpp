#include "conversation/call_for_attention.h"

namespace quelto {

CallForAttention::Call CallForAttention::textReceived(double now) {
  Call call;
  call.urgent = true;
  const bool afterQuiet = !lastText_ || now - *lastText_ >= kQuietSeconds;
  const bool answersRinging = ringingEnded_ && now - *ringingEnded_ <= kQuietSeconds;
  ringingEnded_.reset();
  lastText_ = now;
  call.flash = afterQuiet || answersRinging;
  return flashIfAllowed(call, now);
}

CallForAttention::Call CallForAttention::lineEventChanged(LineEvent from, LineEvent to,
                                                          double now) {
  Call call;
  if (from == LineEvent::Ringing) {
    ringingEnded_ = now;
    if (to == LineEvent::Voice) {
      call.urgent = true;
      call.flash = true;
    }
  }
  return flashIfAllowed(call, now);
}

CallForAttention::Call CallForAttention::flashIfAllowed(Call call, double now) {
  if (!call.flash) return call;
  if (lastFlash_ && now - *lastFlash_ < kLeastSecondsBetweenFlashes) {
    call.flash = false;
    return call;
  }
  lastFlash_ = now;
  return call;
}

}  // namespace quelto
