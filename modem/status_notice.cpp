#include "modem/status_notice.h"

namespace quelto {

namespace {

bool startsWork(ModemState s) {
  return s == ModemState::Dialling || s == ModemState::Sending || s == ModemState::Announcing;
}

}  // namespace

ModemNotice StatusNotice::update(std::uint32_t count, ModemNotice notice, ModemState state,
                                 double now) {
  ModemNotice fresh = ModemNotice::Nothing;
  if (count != seenCount_) {
    seenCount_ = count;
    notice_ = fresh = notice;
    since_ = now;
  } else if (notice_ != ModemNotice::Nothing &&
             (now - since_ >= kNoticeSeconds || (state != lastState_ && startsWork(state)))) {
    // The state seen when the notice came may still be the failed work's:
    // only a change into new work ends it.
    notice_ = ModemNotice::Nothing;
  }
  lastState_ = state;
  return fresh;
}

ModemNotice StatusNotice::shown() const {
  return lastState_ == ModemState::Unavailable ? ModemNotice::Nothing : notice_;
}

}  // namespace quelto
