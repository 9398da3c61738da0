#include "conversation/call_for_attention.h"

#include <gtest/gtest.h>

namespace quelto {
namespace {

struct Step {
  const char* what;
  double at;
  bool text;  // text received, else a line event change
  LineEvent from = LineEvent::Quiet;
  LineEvent to = LineEvent::Quiet;
  bool urgent;
  bool flash;
};

// One call told as a sequence: what arrives when, and what it asks for.
void play(const std::vector<Step>& steps) {
  CallForAttention rules;
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.what) + " at " + std::to_string(s.at) + " s");
    const CallForAttention::Call call =
        s.text ? rules.textReceived(s.at) : rules.lineEventChanged(s.from, s.to, s.at);
    EXPECT_EQ(call.urgent, s.urgent);
    EXPECT_EQ(call.flash, s.flash);
  }
}

TEST(CallForAttention, TextAfterTenQuietSecondsFlashesAndAllTextIsUrgent) {
  play({
      {"first text", 5.0, true, {}, {}, true, true},
      {"more text", 5.1, true, {}, {}, true, false},
      {"text 9.9 s later", 15.0, true, {}, {}, true, false},
      {"text 10 s later", 25.0, true, {}, {}, true, true},
      {"dial tone", 26.0, false, LineEvent::Quiet, LineEvent::DialTone, false, false},
  });
}

TEST(CallForAttention, AnAnswerAfterRingingCallsForAttention) {
  play({
      {"ringing", 1.0, false, LineEvent::Quiet, LineEvent::Ringing, false, false},
      {"a voice answers", 9.0, false, LineEvent::Ringing, LineEvent::Voice, true, true},
      {"voice ends", 15.0, false, LineEvent::Voice, LineEvent::Quiet, false, false},
  });
  play({
      {"text", 0.0, true, {}, {}, true, true},
      {"ringing", 1.0, false, LineEvent::Quiet, LineEvent::Ringing, false, false},
      {"a TDD answers: ringing ends", 9.0, false, LineEvent::Ringing, LineEvent::Quiet, false,
       false},
      {"its text, though text came 9.5 s ago", 9.5, true, {}, {}, true, true},
      {"more of its text", 9.7, true, {}, {}, true, false},
  });
  play({
      {"ringing", 1.0, false, LineEvent::Quiet, LineEvent::Ringing, false, false},
      {"ringing gives up", 20.0, false, LineEvent::Ringing, LineEvent::Quiet, false, false},
      {"text long after", 40.0, true, {}, {}, true, true},
  });
}

TEST(CallForAttention, NeverMoreThanThreeFlashesASecond) {
  play({
      {"ringing", 0.0, false, LineEvent::Quiet, LineEvent::Ringing, false, false},
      {"voice answers", 0.1, false, LineEvent::Ringing, LineEvent::Voice, true, true},
      {"ringing again", 0.2, false, LineEvent::Voice, LineEvent::Ringing, false, false},
      {"text right after the ringing", 0.3, true, {}, {}, true, false},
      {"ringing again", 0.35, false, LineEvent::Quiet, LineEvent::Ringing, false, false},
      {"voice answers 1/3 s after the flash", 0.44, false, LineEvent::Ringing, LineEvent::Voice,
       true, true},
  });
}

}  // namespace
}  // namespace quelto
