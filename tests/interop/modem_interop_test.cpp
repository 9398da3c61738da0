#include "tests/cli/process.h"
#include "tests/interop/peers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace quelto {
namespace {

using namespace quelto::testing;

const Peers kPeers{QUELTO_MODEM_BIN, MINIMODEM_BIN, SPANDSP_PEER_BIN, MULTIMON_BIN};
constexpr double kClean = INFINITY;
constexpr unsigned kSeed = 20240;

// Texts in which minimodem sends every shift explicitly: no figure followed
// by a space and a letter (minimodem's transmitter leaves that letters shift
// out and counts on the receiver returning to letters after a space). They
// also leave out "=" and "+", which minimodem's figures page does not hold
// where the TDD page has them.
const std::vector<std::string> kExplicitShiftTexts = {
    "HELLO GA",
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG",
    "MY NUMBER IS 555-1234",
    "ROOM 12B,FLOOR 3",
    "PAY $15.00 (CASH)?",
    "1/2, 0.5; 3:45 (7)!",
    "WHO'S THERE? \"ME\"",
};

TEST(InteropMinimodemToQuelto, ReadsExactlyWhatMinimodemSendsCleanAndAt12dB) {
  ScratchDir dir;
  for (int baud : {45, 50}) {
    for (const std::string& text : kExplicitShiftTexts) {
      ASSERT_TRUE(minimodemSend(kPeers, baud, text, dir.file("mm.wav")));
      EXPECT_EQ(queltoDecode(kPeers, baud, dir.file("mm.wav")), text) << baud << " baud, as sent";
      for (double snr : {kClean, 12.0}) {
        lineTo8k(dir.file("mm.wav"), dir.file("line.wav"), snr, kSeed);
        EXPECT_EQ(queltoDecode(kPeers, baud, dir.file("line.wav")), text)
            << baud << " baud, SNR " << snr;
      }
    }
  }
}

TEST(InteropMinimodemToQuelto, FigureSpaceLetterFromMinimodemStaysInFigures) {
  // minimodem sends "1 A" as FIGS 1 space A with no LTRS: it relies on the
  // receiver unshifting on the space. Quelto's receiver keeps the page, so
  // NOW reads as its figures, ",92". That is the peer's
  // convention, not a fault of either side.
  ScratchDir dir;
  for (int baud : {45, 50}) {
    ASSERT_TRUE(minimodemSend(kPeers, baud, "CALL 911 NOW", dir.file("mm.wav")));
    EXPECT_EQ(queltoDecode(kPeers, baud, dir.file("mm.wav")), "CALL 911 ,92") << baud;
  }
}

TEST(InteropSpandspToQuelto, ReadsExactlyWhatSpandspSendsCleanAndAt12dB) {
  ScratchDir dir;
  std::vector<std::string> texts = kExplicitShiftTexts;
  texts.push_back("CALL 911 NOW 2 TIMES");  // spandsp shifts back to letters itself
  for (const std::string& text : texts) {
    ASSERT_TRUE(spandspSend(kPeers, 45, text, dir.file("sp.wav")));
    for (double snr : {kClean, 12.0}) {
      lineTo8k(dir.file("sp.wav"), dir.file("line.wav"), snr, kSeed);
      EXPECT_EQ(queltoDecode(kPeers, 45, dir.file("line.wav")), text) << "SNR " << snr;
    }
  }
}

const std::vector<std::string> kQueltoTexts = {
    "HELLO GA",
    "CALL 911 NOW 2 TIMES",
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890",
    "PAY $15.00 TODAY, OK? (YES) 'NO' \"MAYBE\" 1/2 = 0.5; 3 + 4 = 7!",
};

TEST(InteropQueltoToSpandsp, SpandspReadsExactlyWhatQueltoSendsClean) {
  ScratchDir dir;
  for (int baud : {45, 50}) {
    for (const std::string& text : kQueltoTexts) {
      ASSERT_TRUE(queltoEncode(kPeers, baud, text, dir.file("q.wav")));
      lineTo8k(dir.file("q.wav"), dir.file("line.wav"), kClean, kSeed);
      EXPECT_EQ(spandspReceive(kPeers, baud, dir.file("line.wav")), text) << baud << " baud";
    }
  }
}

// With "CarrierHold" off every batch of 8 characters starts from silence,
// and minimodem's receiver
// looks for a mark bit before a start bit. So it misses the first frame of
// a batch, or frames it one or more bits late and reads the following bits
// as other characters until it falls back into step, at most four frames
// into the batch; from there on it reads the batch exactly. The misread
// part is never longer than what it replaces. This says whether `got`
// is `sent` under that rule, batch by batch, for text in which no batch
// starts with a shift code.
bool onlyBatchStartsDiffer(const std::string& sent, const std::string& got) {
  std::set<std::size_t> at = {0};  // positions in `got` where the next batch may start
  for (std::size_t b = 0; b < sent.size(); b += 8) {
    const std::string batch = sent.substr(b, 8);
    std::set<std::size_t> next;
    for (std::size_t p : at) {
      for (std::size_t replaced = 0; replaced <= std::min<std::size_t>(4, batch.size());
           ++replaced) {
        const std::string rest = batch.substr(replaced);
        for (std::size_t misread = 0; misread <= replaced; ++misread) {
          if (p + misread + rest.size() > got.size()) break;
          if (got.compare(p + misread, rest.size(), rest) == 0)
            next.insert(p + misread + rest.size());
        }
      }
    }
    at = next;
  }
  return at.count(got.size()) > 0;
}

TEST(InteropQueltoToMinimodem, OnlyTheFirstFramesOfABatchAreMisread) {
  ScratchDir dir;
  const std::vector<std::string> texts = {
      "HELLO GA",
      "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG",
      "MY NUMBER IS 555-1234 GA",
      "PLEASE CALL 555-1234 OR 555-9876 SK",
      "ON 12/25, AT 9:30 SHARP",
  };
  for (int baud : {45, 50}) {
    for (const std::string& text : texts) {
      ASSERT_TRUE(queltoEncode(kPeers, baud, text, dir.file("q.wav"), false));
      const std::string got = minimodemReceive(kPeers, baud, dir.file("q.wav"));
      if (text.find("OR 555-9876") != std::string::npos) {
        // That batch starts with FIGS. minimodem misses it, so the
        // whole batch reads on the letters page.
        EXPECT_NE(got.find("TTTAOIUY"), std::string::npos) << got;
        continue;
      }
      EXPECT_TRUE(onlyBatchStartsDiffer(text, got))
          << baud << " baud, sent \"" << text << "\", got \"" << got << "\"";
      EXPECT_LT(got.size(), text.size())
          << "the first frame of the first batch is never read as sent";
    }
  }
  // The rule itself.
  EXPECT_TRUE(onlyBatchStartsDiffer("ABCDEFGHIJ", "ABCDEFGHIJ"));
  EXPECT_TRUE(onlyBatchStartsDiffer("ABCDEFGHIJ", "BCDEFGHIJ"));
  EXPECT_TRUE(onlyBatchStartsDiffer("ABCDEFGHIJ", "XCDEFGHJ"));
  EXPECT_TRUE(onlyBatchStartsDiffer("ABCDEFGHIJ", "XYEFGHIJ"));
  EXPECT_TRUE(onlyBatchStartsDiffer("ABCDEFGHIJ", "XBCDEFGHIJ"));
  EXPECT_FALSE(onlyBatchStartsDiffer("ABCDEFGHIJ", "XYZCDEFGHIJ"))
      << "misread part longer than the part it replaces";
  EXPECT_FALSE(onlyBatchStartsDiffer("ABCDEFGHIJ", "XYZFGHIJ")) << "more than four frames";
  EXPECT_FALSE(onlyBatchStartsDiffer("ABCDEFGHIJ", "ABCDFGHIJ"));
  EXPECT_FALSE(onlyBatchStartsDiffer("ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOX"))
      << "error late in a batch";
}

// What the program plays by default, one held-carrier transmission: both
// peers read it exactly, multi-batch text and single keys alike, and
// spandsp still does at 12 dB.
TEST(InteropQueltoToPeers, BothReadTheHeldCarrierExactly) {
  ScratchDir dir;
  struct Case {
    std::string text;
    bool at12dB;
  };
  std::vector<Case> cases = {{"MY FLIGHT LANDS AT 6:40 PM", true},
                             {"SEE YOU FRIDAY AT 7 PM, 555-1234 GA", true}};
  // Letters whose first data bit is mark, the ones lost after a pause.
  for (char c : std::string("ABDEFJKQSUWXYZ7")) cases.push_back({std::string(1, c), false});
  for (int baud : {45, 50}) {
    for (const Case& c : cases) {
      ASSERT_TRUE(queltoEncode(kPeers, baud, c.text, dir.file("q.wav")));
      EXPECT_EQ(minimodemReceive(kPeers, baud, dir.file("q.wav")), c.text) << baud << " baud";
      lineTo8k(dir.file("q.wav"), dir.file("line.wav"), kClean, kSeed);
      EXPECT_EQ(spandspReceive(kPeers, baud, dir.file("line.wav")), c.text) << baud << " baud";
      if (!c.at12dB) continue;
      lineTo8k(dir.file("q.wav"), dir.file("noisy.wav"), 12.0, kSeed);
      EXPECT_EQ(spandspReceive(kPeers, baud, dir.file("noisy.wav")), c.text)
          << baud << " baud at 12 dB";
    }
  }
}

TEST(InteropDial, BothDetectorsHearEveryKeyOfTheDialString) {
  // Each key, every key after each other key, pauses and the characters
  // the dial pass skips; on a clean line and a noisy one at the level the
  // line gives.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"9,555-1234#*", "95551234#*"},
      {"0123456789*#", "0123456789*#"},
      {"(514) 555-0199", "5145550199"},
      {"*67#,,1 800 4433", "*67#18004433"},
      {"11223344556677889900", "11223344556677889900"},
  };
  ScratchDir dir;
  for (const auto& [number, keys] : cases) {
    ASSERT_EQ(runProcess({kPeers.quelto, "dial", "-o", dir.file("d.wav"), number}).status, 0);
    for (double snr : {kClean, 20.0}) {
      lineTo8k(dir.file("d.wav"), dir.file("line.wav"), snr, kSeed);
      EXPECT_EQ(spandspDtmf(kPeers, dir.file("line.wav")), keys)
          << number << " at " << snr << " dB";
      EXPECT_EQ(multimonDtmf(kPeers, dir.file("line.wav")), keys)
          << number << " at " << snr << " dB";
    }
  }
}

}  // namespace
}  // namespace quelto
