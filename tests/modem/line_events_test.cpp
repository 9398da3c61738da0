// The line-event detector over generated recordings: every call-progress tone
// it must name, at the levels a line gives (-40 to -3 dBFS per tone), clean
// and with noise, and the sounds it must never name (silence, noise, TDD
// traffic). Speech and the peers' TDD traffic are in the interop suite.
#include "modem/line_events.h"
#include "tests/modem/line_recording.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace quelto {
namespace {

using testing::describe;
using testing::eventsOf;
using testing::HeardEvent;
using testing::LineRecording;
using testing::listen;

constexpr LineEvent kQuiet = LineEvent::Quiet;

// The generator itself: a tone asked for at -20 dBFS holds -20 dBFS, and
// noise asked for at -30 dBFS holds -30 dBFS.
TEST(LineRecordingTest, LevelsAreWhatWasAskedFor) {
  EXPECT_NEAR(testing::levelDbfs(LineRecording().tones({440}, -20, 1000).samples()), -20, 0.05);
  EXPECT_NEAR(testing::levelDbfs(LineRecording().tones({350, 440}, -20, 1000).samples()), -17,
              0.05);
  EXPECT_NEAR(testing::levelDbfs(LineRecording().silence(1000).noise(-30, 1).samples()), -30, 0.1);
}

struct ToneKind {
  const char* name;
  std::function<void(LineRecording&, double dbfs)> play;  // the tone, then silence
  LineEvent event;
  double namedWithin;  // seconds from the tone's start
};

std::vector<ToneKind> toneKinds() {
  return {
      {"NA dial tone",
       [](LineRecording& r, double l) {
         r.tones({350, 440}, l, 4000);
       },
       LineEvent::DialTone, 1.5},
      {"NA ringing",
       [](LineRecording& r, double l) {
         r.cadence({440, 480}, l, 2000, 4000, 14000);
       },
       LineEvent::Ringing, 6.0},
      {"NA busy",
       [](LineRecording& r, double l) {
         r.cadence({480, 620}, l, 500, 500, 4000);
       },
       LineEvent::Busy, 1.0},
      {"NA reorder",
       [](LineRecording& r, double l) {
         r.cadence({480, 620}, l, 250, 250, 3000);
       },
       LineEvent::Reorder, 0.5},
      {"European dial tone", [](LineRecording& r, double l) { r.tones({425}, l, 4000); },
       LineEvent::DialTone, 1.5},
      // Exchanges keep their tones within about 1 %: still told from France's.
      {"European dial tone 1 % high", [](LineRecording& r, double l) { r.tones({429}, l, 4000); },
       LineEvent::DialTone, 1.5},
      {"European ringing",
       [](LineRecording& r, double l) { r.cadence({425}, l, 1000, 4000, 11000); },
       LineEvent::Ringing, 5.0},
      {"European ringing 1 % high",
       [](LineRecording& r, double l) { r.cadence({429}, l, 1000, 4000, 11000); },
       LineEvent::Ringing, 5.0},
      {"European busy", [](LineRecording& r, double l) { r.cadence({425}, l, 500, 500, 4000); },
       LineEvent::Busy, 1.0},
      {"French dial tone", [](LineRecording& r, double l) { r.tones({440}, l, 4000); },
       LineEvent::DialTone, 1.8},
      {"French ringing", [](LineRecording& r, double l) { r.cadence({440}, l, 1500, 3500, 11500); },
       LineEvent::Ringing, 5.0},
      {"French ringing 1 % low",
       [](LineRecording& r, double l) { r.cadence({436}, l, 1500, 3500, 11500); },
       LineEvent::Ringing, 5.0},
      {"French busy", [](LineRecording& r, double l) { r.cadence({440}, l, 500, 500, 4000); },
       LineEvent::Busy, 1.0},
  };
}

struct Condition {
  const char* name;
  double toneDbfs;
  double noiseDbfs;  // NAN: no noise
};

const Condition kConditions[] = {
    {"-3 dBFS", -3, NAN},
    {"-20 dBFS", -20, NAN},
    {"-40 dBFS", -40, NAN},
    {"-20 dBFS, noise 10 dB below", -20, -30},
    {"-40 dBFS, noise 10 dB below", -40, -50},
};

// Each tone, once at each level: named once, within its time, and the line
// called quiet again once the tone has stopped.
TEST(LineEventDetectorTest, NamesEveryToneAtEveryLevel) {
  unsigned seed = 1;
  for (const ToneKind& kind : toneKinds()) {
    for (const Condition& c : kConditions) {
      SCOPED_TRACE(std::string(kind.name) + " at " + c.name);
      LineRecording r;
      r.silence(500);
      kind.play(r, c.toneDbfs);
      const double toneEnd = r.seconds();
      r.silence(6000);
      if (!std::isnan(c.noiseDbfs)) r.noise(c.noiseDbfs, seed++);
      const std::vector<HeardEvent> heard = listen(r.pcm16());
      ASSERT_EQ(eventsOf(heard), (std::vector<LineEvent>{kind.event, kQuiet})) << describe(heard);
      EXPECT_LE(heard[0].seconds - 0.5, kind.namedWithin) << describe(heard);
      EXPECT_GT(heard[1].seconds, toneEnd - 0.6) << describe(heard);
    }
  }
}

std::vector<float> tddTraffic(double baud, double stopBits) {
  // "THE QUICK BROWN FOX 123" in Baudot codes with their shifts.
  const std::vector<int> codes = {31, 16, 20, 1,  4,  23, 7, 6,  14, 15, 4, 25, 10, 24,
                                  19, 12, 4,  13, 24, 29, 4, 27, 23, 19, 1, 31, 4,  16};
  std::vector<float> line = testing::toFloat(testing::fskFrames(codes, baud, stopBits));
  for (float& v : line) v *= 0.5f;
  return line;
}

// What is never an event.
TEST(LineEventDetectorTest, NamesNothingForSilenceNoiseAndTdd) {
  struct Case {
    const char* name;
    LineRecording recording;
  };
  std::vector<Case> cases;
  cases.push_back({"silence", LineRecording().silence(8000)});
  cases.push_back({"white noise at -20 dBFS", LineRecording().silence(8000).noise(-20, 7)});
  cases.push_back({"white noise at -50 dBFS", LineRecording().silence(8000).noise(-50, 8)});
  cases.push_back({"noise coming on after silence",
                   LineRecording().silence(2000).noise(-70, 10).sound(
                       LineRecording().silence(6000).noise(-25, 11).samples())});
  cases.push_back({"held mark tone", LineRecording().tones({1400}, -10, 8000)});
  cases.push_back(
      {"TDD at 45.45 baud", LineRecording().silence(300).sound(tddTraffic(45.45, 1.5))});
  cases.push_back({"TDD at 50 baud", LineRecording().silence(300).sound(tddTraffic(50, 2))});
  cases.push_back(
      {"TDD at 45.45 baud, noise 10 dB below",
       LineRecording().silence(300).sound(tddTraffic(45.45, 2)).silence(300).noise(-19, 9)});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<HeardEvent> heard = listen(c.recording.pcm16());
    EXPECT_TRUE(heard.empty()) << describe(heard);
  }
}

// Someone answers: a TDD that follows ringing ends it at once, without
// waiting for the cadence to run out.
TEST(LineEventDetectorTest, TddAfterRingingEndsTheRinging) {
  LineRecording r;
  r.cadence({440, 480}, -20, 2000, 4000, 8000).sound(tddTraffic(45.45, 2)).noise(-45, 3);
  const std::vector<HeardEvent> heard = listen(r.pcm16());
  ASSERT_EQ(eventsOf(heard), (std::vector<LineEvent>{LineEvent::Ringing, kQuiet}))
      << describe(heard);
  EXPECT_NEAR(heard[1].seconds, 8.0, 0.25) << describe(heard);
}

// A busy tone that turns into reorder, and a dial tone that turns into
// busy: each change is named, with the line quiet in between only when it is.
TEST(LineEventDetectorTest, FollowsOneToneIntoAnother) {
  LineRecording r;
  r.cadence({480, 620}, -15, 500, 500, 4000).cadence({480, 620}, -15, 250, 250, 4000).silence(2000);
  std::vector<HeardEvent> heard = listen(r.pcm16());
  EXPECT_EQ(eventsOf(heard),
            (std::vector<LineEvent>{LineEvent::Busy, kQuiet, LineEvent::Reorder, kQuiet}))
      << describe(heard);

  LineRecording d;
  d.tones({350, 440}, -15, 3000).cadence({480, 620}, -15, 500, 500, 4000).silence(2000);
  heard = listen(d.pcm16());
  EXPECT_EQ(eventsOf(heard),
            (std::vector<LineEvent>{LineEvent::DialTone, kQuiet, LineEvent::Busy, kQuiet}))
      << describe(heard);
}

// The block size the modem reads (1408 or 1280 samples, or anything else)
// does not change what is heard.
TEST(LineEventDetectorTest, BlockSizeDoesNotMatter) {
  LineRecording r;
  r.cadence({425}, -25, 1000, 4000, 11000).silence(6000).noise(-40, 5);
  const std::vector<std::int16_t> pcm = r.pcm16();
  const std::vector<HeardEvent> reference = listen(pcm, 1);
  ASSERT_EQ(eventsOf(reference), (std::vector<LineEvent>{LineEvent::Ringing, kQuiet}));
  for (std::size_t block : {160u, 1280u, 1408u, 4001u}) {
    const std::vector<HeardEvent> heard = listen(pcm, block);
    ASSERT_EQ(eventsOf(heard), eventsOf(reference)) << block;
    for (std::size_t i = 0; i < heard.size(); ++i)
      EXPECT_DOUBLE_EQ(heard[i].seconds, reference[i].seconds) << block;
  }
}

TEST(LineEventDetectorTest, ResetForgetsWhatWasHeard) {
  const std::vector<std::int16_t> pcm = LineRecording().tones({350, 440}, -10, 2000).pcm16();
  LineEventDetector d;
  d.process(pcm.data(), pcm.size());
  ASSERT_EQ(d.current(), LineEvent::DialTone);
  d.reset();
  EXPECT_EQ(d.current(), LineEvent::Quiet);
  EXPECT_EQ(d.samplesHeard(), 0);
  d.process(pcm.data(), 2000);  // 250 ms: too short to be named again
  EXPECT_EQ(d.current(), LineEvent::Quiet);
}

}  // namespace
}  // namespace quelto
