// The robust receiver, through `quelto-modem decode --receiver robust`,
// against the peers' transmitters (minimodem, spandsp) clean and at -6 dB,
// and against synthetic speech, which must frame nothing.
#include "tests/cli/process.h"
#include "tests/interop/peers.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace quelto {
namespace {

using namespace quelto::testing;

const Peers kPeers{QUELTO_MODEM_BIN, MINIMODEM_BIN, SPANDSP_PEER_BIN};

// Every shift sent explicitly (no figure followed by a space and a letter),
// no "=" or "+" (minimodem's figures page differs there).
const std::string kText =
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG.MY NUMBER IS 555-1234,ROOM 12B,FLOOR "
    "3.PAY $15.00 (CASH)?WHO'S THERE? \"ME\" 1/2, 0.5; 3:45 (7)!GA";

TEST(InteropPeersToRobustReceiver, ReadsThePeersExactlyCleanAndWithinOnePercentAtMinus6dB) {
  ScratchDir dir;
  struct Sender {
    const char* name;
    std::function<bool(int, const std::string&, const std::string&)> send;
  };
  const std::vector<Sender> senders = {
      {"minimodem", [](int baud, const std::string& text,
                       const std::string& wav) { return minimodemSend(kPeers, baud, text, wav); }},
      {"spandsp", [](int baud, const std::string& text,
                     const std::string& wav) { return spandspSend(kPeers, baud, text, wav); }},
  };
  // Three times the text in noise, so that one lost shift code (two
  // characters) stays within 1 %.
  const std::string longText = kText + " " + kText + " " + kText;
  for (const Sender& s : senders) {
    for (int baud : {45, 50}) {
      ASSERT_TRUE(s.send(baud, kText, dir.file("sent.wav"))) << s.name;
      lineTo8k(dir.file("sent.wav"), dir.file("clean.wav"), INFINITY, 0);
      EXPECT_EQ(queltoDecode(kPeers, baud, dir.file("clean.wav"), 30.0, "robust"), kText)
          << s.name << ", " << baud << " baud, clean";
      ASSERT_TRUE(s.send(baud, longText, dir.file("long.wav"))) << s.name;
      for (unsigned seed : {81u, 82u}) {
        lineTo8k(dir.file("long.wav"), dir.file("noisy.wav"), -6.0, seed);
        const std::string heard = queltoDecode(kPeers, baud, dir.file("noisy.wav"), 30.0, "robust");
        EXPECT_LE(characterErrorRate(longText, heard), 0.01)
            << s.name << ", " << baud << " baud, -6 dB, seed " << seed << ": " << heard;
      }
    }
  }
}

TEST(InteropPeersToRobustReceiver, SpeechFramesNothing) {
  ScratchDir dir;
  const std::string text =
      "Hello, this is the relay operator. Please hold while I connect your call. Your "
      "appointment is on Tuesday at nine thirty in the morning. Can you hear me now? I am "
      "calling about the letter you sent last week.";
  ASSERT_EQ(runProcess({"espeak-ng", "-w", dir.file("voice.wav"), text + " " + text}).status, 0);
  ASSERT_EQ(
      runProcess({"sox", dir.file("voice.wav"), "-r", "8000", dir.file("voice8k.wav")}).status, 0);
  int rate = 0;
  std::vector<float> voice = readWav(dir.file("voice8k.wav"), &rate);
  ASSERT_EQ(rate, 8000);
  ASSERT_FALSE(voice.empty());
  float peak = 0.0f;
  for (float v : voice) peak = std::max(peak, std::fabs(v));
  for (float level : {0.05f, 0.5f, 1.0f}) {
    std::vector<float> line(voice);
    for (float& v : line) v *= level / peak;
    writeWav(dir.file("speech.wav"), line, 8000);
    for (int baud : {45, 50})
      EXPECT_EQ(queltoDecode(kPeers, baud, dir.file("speech.wav"), 30.0, "robust"), "")
          << "peak " << level << ", " << baud << " baud";
  }
}

}  // namespace
}  // namespace quelto
