// The line-event detector over real speech (espeak-ng, English and French)
// and over TDD traffic from the peer modems (minimodem, spandsp) after the
// line model: speech is a voice, TDD traffic is never an event, and either
// one ends the ringing it follows.
#include "tests/cli/process.h"
#include "tests/interop/peers.h"
#include "tests/modem/line_recording.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace quelto {
namespace {

using namespace quelto::testing;

const Peers kPeers{QUELTO_MODEM_BIN, MINIMODEM_BIN, SPANDSP_PEER_BIN};
constexpr double kClean = INFINITY;
constexpr LineEvent kQuiet = LineEvent::Quiet;

// A sentence spoken by espeak-ng at 8000 samples/s, its loudest 32 ms at
// `dbfs`.
std::vector<float> speech(const ScratchDir& dir, const std::string& voice, const std::string& text,
                          double dbfs) {
  const std::string wav = dir.file("speech.wav");
  EXPECT_EQ(runProcess({"espeak-ng", "-v", voice, "-w", wav, text}).status, 0);
  int rate = 0;
  const std::vector<float> spoken = readWav(wav, &rate);
  return withLoudestAt(resample(spoken, rate, 8000), dbfs);
}

// TDD traffic from a peer, through the line model at `snr`.
std::vector<float> tdd(const ScratchDir& dir, bool spandsp, int baud, double snr) {
  const std::string text = "HELLO THIS IS A TDD CALL 555 1234 GA";
  const bool sent = spandsp ? spandspSend(kPeers, baud, text, dir.file("tdd.wav"))
                            : minimodemSend(kPeers, baud, text, dir.file("tdd.wav"));
  EXPECT_TRUE(sent);
  lineTo8k(dir.file("tdd.wav"), dir.file("line.wav"), snr, 20261);
  int rate = 0;
  return readWav(dir.file("line.wav"), &rate);
}

const char* const kEnglish = "Hello, this is Doctor Martin's office. How can I help you today?";
const char* const kFrench =
    "Bonjour, vous êtes bien chez le docteur Martin. Que puis-je faire pour vous?";

TEST(LineEventsInterop, SpeechIsAVoiceAtEveryLevel) {
  ScratchDir dir;
  struct Case {
    const char* voice;
    const char* text;
    double dbfs;
    double noiseDbfs;  // NAN: none
  };
  const Case cases[] = {
      {"en", kEnglish, -6, NAN}, {"fr", kFrench, -6, NAN},   {"en", kEnglish, -30, NAN},
      {"fr", kFrench, -15, -40}, {"en", kEnglish, -25, -45},
  };
  unsigned seed = 11;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.voice) + " at " + std::to_string(c.dbfs) + " dBFS, noise " +
                 std::to_string(c.noiseDbfs));
    LineRecording r;
    r.silence(1000).sound(speech(dir, c.voice, c.text, c.dbfs));
    const double spokenUntil = r.seconds();
    r.silence(4000);
    if (!std::isnan(c.noiseDbfs)) r.noise(c.noiseDbfs, seed++);
    const std::vector<HeardEvent> heard = listen(r.pcm16());
    ASSERT_EQ(eventsOf(heard), (std::vector<LineEvent>{LineEvent::Voice, kQuiet}))
        << describe(heard);
    EXPECT_LT(heard[0].seconds - 1.0, 1.5) << describe(heard);
    EXPECT_GT(heard[1].seconds, spokenUntil) << describe(heard);
  }
}

TEST(LineEventsInterop, TddTrafficFromThePeersIsNeverAnEvent) {
  ScratchDir dir;
  for (bool spandsp : {false, true}) {
    for (int baud : {45, 50}) {
      for (double snr : {kClean, 12.0, 6.0}) {
        SCOPED_TRACE(std::string(spandsp ? "spandsp" : "minimodem") + " at " +
                     std::to_string(baud) + " baud, SNR " + std::to_string(snr));
        const std::vector<HeardEvent> heard =
            listen(LineRecording().silence(500).sound(tdd(dir, spandsp, baud, snr)).pcm16());
        EXPECT_TRUE(heard.empty()) << describe(heard);
      }
    }
  }
}

// Someone answers the ringing: a person speaking, or a TDD.
TEST(LineEventsInterop, AnAnswerEndsTheRinging) {
  ScratchDir dir;
  LineRecording voice;
  voice.cadence({440, 480}, -20, 2000, 4000, 8500).sound(speech(dir, "en", kEnglish, -12));
  voice.silence(3000).noise(-50, 4);
  std::vector<HeardEvent> heard = listen(voice.pcm16());
  ASSERT_EQ(eventsOf(heard), (std::vector<LineEvent>{LineEvent::Ringing, LineEvent::Voice, kQuiet}))
      << describe(heard);
  EXPECT_LT(heard[1].seconds - 8.5, 1.5) << describe(heard);

  LineRecording text;
  text.cadence({440}, -20, 1500, 3500, 6500).sound(tdd(dir, false, 45, 20.0));
  heard = listen(text.pcm16());
  ASSERT_EQ(eventsOf(heard), (std::vector<LineEvent>{LineEvent::Ringing, kQuiet}))
      << describe(heard);
  EXPECT_LT(heard[1].seconds - 6.5, 0.5) << describe(heard);
}

// A hearing person hands the telephone to a TDD: the voice ends when the
// TDD starts.
TEST(LineEventsInterop, TddAfterSpeechEndsTheVoice) {
  ScratchDir dir;
  LineRecording r;
  r.silence(500).sound(speech(dir, "fr", kFrench, -10));
  const double tddStart = r.seconds() + 0.3;
  r.silence(300).sound(tdd(dir, true, 45, 20.0));
  const std::vector<HeardEvent> heard = listen(r.pcm16());
  ASSERT_EQ(eventsOf(heard), (std::vector<LineEvent>{LineEvent::Voice, kQuiet})) << describe(heard);
  EXPECT_LT(heard[1].seconds - tddStart, 0.5) << describe(heard);
}

}  // namespace
}  // namespace quelto
