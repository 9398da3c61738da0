// How long a modem notice stays in the status text: a timeline of ticks
// per case, each with what the modem publishes and what must be shown.
#include "modem/status_notice.h"

#include <gtest/gtest.h>

#include <vector>

namespace quelto {
namespace {

struct Tick {
  double at;
  std::uint32_t count;
  ModemNotice notice;
  ModemState state;
  ModemNotice fresh;  // what update() returns
  ModemNotice shown;
};

constexpr auto Nothing = ModemNotice::Nothing;
constexpr auto NotSent = ModemNotice::TextNotSent;
constexpr auto DialStopped = ModemNotice::DialStopped;
using S = ModemState;

TEST(StatusNotice, ShownUntilNewWorkOrTenSecondsAndNeverOverAMissingSoundcard) {
  const std::vector<std::pair<const char*, std::vector<Tick>>> cases = {
      {"nothing published",
       {{0.0, 0, Nothing, S::Listening, Nothing, Nothing},
        {1.0, 0, Nothing, S::Sending, Nothing, Nothing}}},
      {"ten seconds, across faults and listening",
       {{0.0, 1, NotSent, S::Sending, NotSent, NotSent},
        {0.1, 1, NotSent, S::Fault, Nothing, NotSent},
        {0.2, 1, NotSent, S::Listening, Nothing, NotSent},
        {5.0, 1, NotSent, S::SignalPresent, Nothing, NotSent},
        {9.9, 1, NotSent, S::Listening, Nothing, NotSent},
        {10.0, 1, NotSent, S::Listening, Nothing, Nothing}}},
      {"typing again ends it",
       {{0.0, 1, NotSent, S::Fault, NotSent, NotSent},
        {0.5, 1, NotSent, S::Listening, Nothing, NotSent},
        {0.6, 1, NotSent, S::Sending, Nothing, Nothing},
        {0.7, 1, NotSent, S::Listening, Nothing, Nothing}}},
      {"published while still sending: ends only with new work",
       {{0.0, 1, NotSent, S::Sending, NotSent, NotSent},
        {0.1, 1, NotSent, S::Sending, Nothing, NotSent},
        {0.2, 1, NotSent, S::Listening, Nothing, NotSent},
        {0.3, 1, NotSent, S::Dialling, Nothing, Nothing}}},
      {"the soundcard text wins while it lasts",
       {{0.0, 1, DialStopped, S::Dialling, DialStopped, DialStopped},
        {0.1, 1, DialStopped, S::Unavailable, Nothing, Nothing},
        {0.2, 1, DialStopped, S::Listening, Nothing, DialStopped},
        {10.1, 1, DialStopped, S::Listening, Nothing, Nothing}}},
      {"each new publication restarts the ten seconds",
       {{0.0, 1, NotSent, S::Fault, NotSent, NotSent},
        {8.0, 2, DialStopped, S::Fault, DialStopped, DialStopped},
        {12.0, 2, DialStopped, S::Listening, Nothing, DialStopped},
        {18.0, 2, DialStopped, S::Listening, Nothing, Nothing}}},
  };
  for (const auto& [name, ticks] : cases) {
    StatusNotice n;
    for (const Tick& t : ticks) {
      EXPECT_EQ(n.update(t.count, t.notice, t.state, t.at), t.fresh) << name << " at " << t.at;
      EXPECT_EQ(n.shown(), t.shown) << name << " at " << t.at;
    }
  }
}

}  // namespace
}  // namespace quelto
