#include "modem/fsk_modem.h"
#include "modem/line_signal.h"
#include "tests/cli/process.h"
#include "tests/modem/test_signal.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace quelto {
namespace {

using namespace quelto::testing;

const std::string kTool = QUELTO_MODEM_BIN;

ProcessResult tool(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), kTool);
  return runProcess(args, input);
}

// The raw samples and format of a WAV file the tool wrote.
struct Wav {
  int rate = 0;
  int channels = 0;
  int format = 0;
  std::vector<uint8_t> samples;
};

Wav readU8(const std::string& path) {
  Wav w;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return w;
  w.rate = info.samplerate;
  w.channels = info.channels;
  w.format = info.format;
  w.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  sf_read_raw(f, w.samples.data(), static_cast<sf_count_t>(w.samples.size()));
  sf_close(f);
  return w;
}

TEST(QueltoModemCli, EncodeWritesTheProgramsLineSignal) {
  ScratchDir dir;
  for (int baud : {45, 50}) {
    for (bool hold : {true, false}) {
      const std::string out = dir.file("x.wav");
      std::vector<std::string> args = {"encode", "--baud", std::to_string(baud), "-o", out};
      if (!hold) args.push_back("--no-carrier-hold");
      for (const char* word : {"A1", "B", "\xC3\xA9t\xC3\xA9"}) args.push_back(word);
      const ProcessResult r = tool(args);
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, "");
      const Wav w = readU8(out);
      EXPECT_EQ(w.rate, 22050);
      EXPECT_EQ(w.channels, 1);
      EXPECT_EQ(w.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
      FskModem modem;
      modem.setBaud(baud == 45 ? BaudRate::Baud45 : BaudRate::Baud50);
      // Words joined by one space, UTF-8 to 1252; with the carrier held by
      // default, and byte for byte the batches from silence without it.
      const std::string typed = "A1 B \xE9t\xE9";
      EXPECT_EQ(w.samples,
                hold ? renderHeldCarrierSignal(modem, typed) : renderTextSignal(modem, typed))
          << baud << " baud, hold " << hold;
    }
  }
}

TEST(QueltoModemCli, StandardInputLineEndsAreEnter) {
  ScratchDir dir;
  struct Case {
    const char* option;
    const char* shown;
  };
  // Enter is CR LF with the carrier held (the line feed shows as a space),
  // CR alone without.
  for (const Case& c :
       {Case{nullptr, "HI THERE GA \n"}, Case{"--no-carrier-hold", "HITHEREGA\n"}}) {
    std::vector<std::string> fromStdin = {"encode", "-o", dir.file("stdin.wav")};
    std::vector<std::string> fromArgs = {"encode", "-o", dir.file("args.wav"), "HI\rTHERE\rGA\r"};
    if (c.option) {
      fromStdin.insert(fromStdin.begin() + 1, c.option);
      fromArgs.insert(fromArgs.begin() + 1, c.option);
    }
    ASSERT_EQ(tool(fromStdin, "HI\nTHERE\r\nGA\n").status, 0);
    ASSERT_EQ(tool(fromArgs).status, 0);
    EXPECT_EQ(readU8(dir.file("stdin.wav")).samples, readU8(dir.file("args.wav")).samples);
    EXPECT_EQ(tool({"decode", dir.file("stdin.wav")}).out, c.shown);
  }
}

// Standard input is read a block at a time: a character or a CR LF cut by
// a block's end (64 KiB) must come out as if read whole. Unsendable filler
// keeps the signal small.
TEST(QueltoModemCli, StreamedInputGivesTheSameSignal) {
  ScratchDir dir;
  std::string input(65535, '@');
  input += "\xC3\xA9";  // cut after its first byte by the first block's end
  input += "AB" + std::string(131071 - input.size(), '@');
  input += "\r\nGA 12";  // the CR ends the second block
  for (bool hold : {true, false}) {
    std::vector<std::string> args = {"encode", "-o", dir.file("s.wav")};
    if (!hold) args.push_back("--no-carrier-hold");
    const ProcessResult r = tool(args, input);
    ASSERT_EQ(r.status, 0) << r.err;
    FskModem modem;
    const std::string typed =
        "\xE9"
        "AB\rGA 12";
    EXPECT_EQ(readU8(dir.file("s.wav")).samples,
              hold ? renderHeldCarrierSignal(modem, typed) : renderTextSignal(modem, typed))
        << "hold " << hold;
  }
}

// A WAV file's sizes are 32-bit: a text whose signal cannot fit is refused
// with the reason, before anything is written, instead of a file whose
// sizes wrap.
TEST(QueltoModemCli, SignalsOverFourGibibytesAreRefused) {
  ScratchDir dir;
  const std::string out = dir.file("big.wav");
  const ProcessResult r = tool({"encode", "-o", out}, std::string(1200000, 'E'));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("over 4 GiB"), std::string::npos) << r.err;
  EXPECT_FALSE(std::ifstream(out).good()) << "nothing written";
}

// Samples that are not numbers, or infinite, read as silence on both
// paths: at the receiver's own rate and through the rate converter, whose
// filter would otherwise spread them over the text.
TEST(QueltoModemCli, NonFiniteFloatSamplesReadAsSilence) {
  ScratchDir dir;
  const auto writeFloat = [](const std::string& path, int rate, const std::vector<float>& v) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    // Written as they are: no clipping or normalisation on the way.
    sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
    sf_writef_float(f, v.data(), static_cast<sf_count_t>(v.size()));
    sf_close(f);
  };
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), 1e30f};
  std::vector<float> damage;
  for (int i = 0; i < 4000; ++i) damage.push_back(i % 3 ? bad[i % 4] : 0.0f);

  // At 8000 Hz: nothing but damage decodes to nothing.
  writeFloat(dir.file("n8.wav"), 8000, damage);
  ProcessResult r = tool({"decode", dir.file("n8.wav")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\n");

  // At 22050 Hz the text around the damage still comes through whole.
  ASSERT_EQ(tool({"encode", "-o", dir.file("t.wav"), "TEST 1"}).status, 0);
  std::vector<float> signal = damage;
  for (uint8_t u : readU8(dir.file("t.wav")).samples) signal.push_back((u - 128) / 128.0f);
  signal.insert(signal.end(), damage.begin(), damage.end());
  writeFloat(dir.file("n22.wav"), 22050, signal);
  r = tool({"decode", dir.file("n22.wav")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "TEST 1\n");
}

TEST(QueltoModemCli, LoopbackReturnsTheTextAtBothRates) {
  struct Case {
    std::string typed, shown;
  };
  const std::vector<Case> cases = {
      {"HELLO GA", "HELLO GA"},
      {"A1 B", "A1 B"},
      {"my number is 555-1234, ok? GA", "MY NUMBER IS 555-1234, OK? GA"},
      {"$3.50 + (2) = \"5\"; 'yes' / no!", "$3.50 + (2) = \"5\"; 'YES' / NO!"},
      {"\xC3\xA9l\xC3\xA8ve \xC3\xA0 9:45 \xC3\xA7"
       "a va",
       "ELEVE A 9:45 CA VA"},
      {"1 2 3 A B C 4 5 6", "1 2 3 A B C 4 5 6"},
      {"AB\bC", "AC"},
  };
  ScratchDir dir;
  for (int baud : {45, 50}) {
    const std::string b = std::to_string(baud);
    for (const Case& c : cases) {
      const std::string wav = dir.file("t.wav");
      ASSERT_EQ(tool({"encode", "--baud", b, "-o", wav, "--", c.typed}).status, 0);
      // decode converts 22050 to 8000 itself ...
      EXPECT_EQ(tool({"decode", "--baud", b, wav}).out, c.shown + "\n") << b << " baud";
      // ... and reads a file converted by someone else, 8000 Hz 8-bit.
      int rate = 0;
      const std::vector<float> sent = readWav(wav, &rate);
      const std::vector<float> line = resample(sent, rate, 8000);
      writeWavU8(dir.file("t8.wav"), toU8(line), 8000);
      EXPECT_EQ(tool({"decode", "--baud", b, "--sensitivity", "50", dir.file("t8.wav")}).out,
                c.shown + "\n")
          << b << " baud, 8000 Hz file";
    }
  }
}

TEST(QueltoModemCli, DecodeHonoursTheThresholdAndReadsFlacAndStereo) {
  ScratchDir dir;
  ASSERT_EQ(tool({"encode", "-o", dir.file("t.wav"), "TEST 1"}).status, 0);
  for (const char* receiver : {"classic", "robust"}) {
    EXPECT_EQ(tool({"decode", "--receiver", receiver, "--threshold", "600", dir.file("t.wav")}).out,
              "\n")
        << receiver << ": no tone reaches a power of 600";
    EXPECT_EQ(tool({"decode", "--receiver", receiver, "--threshold=58", dir.file("t.wav")}).out,
              "TEST 1\n")
        << receiver;
  }

  // A FLAC at 44100 Hz whose first channel carries the signal and whose
  // second carries a steady tone.
  int rate = 0;
  const std::vector<float> sent = readWav(dir.file("t.wav"), &rate);
  const std::vector<float> signal = resample(sent, rate, 44100);
  const std::vector<float> other = toFloat(tone(1800, static_cast<int>(signal.size()), 44100, 90));
  std::vector<short> stereo;
  for (std::size_t i = 0; i < signal.size(); ++i) {
    stereo.push_back(static_cast<short>(signal[i] * 20000));
    stereo.push_back(static_cast<short>(other[i] * 20000));
  }
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(dir.file("t.flac").c_str(), SFM_WRITE, &info);
  ASSERT_TRUE(f);
  sf_writef_short(f, stereo.data(), static_cast<sf_count_t>(signal.size()));
  sf_close(f);
  EXPECT_EQ(tool({"decode", dir.file("t.flac")}).out, "TEST 1\n");
}

TEST(QueltoModemCli, DialWritesKeysTrailersAndPauses) {
  ScratchDir dir;
  const ProcessResult r = tool({"dial", "-o", dir.file("d.wav"), "(9),5-1#"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = readU8(dir.file("d.wav"));
  EXPECT_EQ(w.rate, 8000);
  EXPECT_EQ(w.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
  FskModem modem;
  EXPECT_EQ(w.samples, renderDialSignal(modem, "9,51#"));
  EXPECT_EQ(w.samples.size(), 4u * (4800 + 4096) + 4000);
}

TEST(QueltoModemCli, UnsendableCharactersAreDroppedWithOneWarning) {
  ScratchDir dir;
  const ProcessResult r = tool({"encode", "-o", dir.file("w.wav"), "A@B@\t\xE2\x82\xAC\xC3\x91"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "quelto-modem: warning: dropped characters that Baudot cannot carry: @ U+0009 "
            "\xE2\x82\xAC \xC3\x91\n");
  EXPECT_EQ(tool({"decode", dir.file("w.wav")}).out, "AB\n");
}

TEST(QueltoModemCli, HelpAndVersion) {
  ProcessResult r = tool({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("quelto-modem encode [--baud 45|50] [--no-carrier-hold] -o OUT.wav"),
            std::string::npos);
  r = tool({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("quelto-modem ", 0), 0u);
}

TEST(QueltoModemCli, ErrorsAreOneLineAndStatusTwo) {
  ScratchDir dir;
  std::ofstream(dir.file("notsound.wav")) << "this is not a sound file\n";
  ASSERT_EQ(tool({"encode", "-o", dir.file("ok.wav"), "OK"}).status, 0);
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"transmit"},
      {"decode"},
      {"decode", dir.file("missing.wav")},
      {"decode", dir.file("notsound.wav")},
      {"decode", dir.path()},
      {"decode", "--frobnicate", dir.file("ok.wav")},
      {"decode", "--baud", "300", dir.file("ok.wav")},
      {"decode", "--baud"},
      {"decode", "--sensitivity", "loud", dir.file("ok.wav")},
      {"decode", "--sensitivity", "101", dir.file("ok.wav")},
      {"decode", "--threshold", "nan", dir.file("ok.wav")},
      {"decode", "--sensitivity", "30", "--threshold", "58", dir.file("ok.wav")},
      {"decode", dir.file("ok.wav"), dir.file("ok.wav")},
      {"encode", "HELLO"},
      {"encode", "-o", dir.file("e.wav"), ""},
      {"encode", "-o", dir.file("e.wav"), "@@"},
      {"encode", "-o", dir.file("no/such/dir/e.wav"), "HELLO"},
      {"encode", "--sensitivity", "30", "-o", dir.file("e.wav"), "HELLO"},
      {"dial", "-o", dir.file("d.wav")},
      {"dial", "-o", dir.file("d.wav"), "CALL ME"},
      {"dial", "5551234"},
  };
  for (const auto& args : bad) {
    const ProcessResult r = tool(args);
    std::string cmd;
    for (const auto& a : args) cmd += a + " ";
    EXPECT_EQ(r.status, 2) << cmd;
    EXPECT_EQ(r.out, "") << cmd;
    ASSERT_FALSE(r.err.empty()) << cmd;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    EXPECT_EQ(r.err.rfind("quelto-modem: ", 0), 0u) << r.err;
  }
  // Empty standard input is an empty text too.
  EXPECT_EQ(tool({"encode", "-o", dir.file("e.wav")}, "").status, 2);
}

}  // namespace
}  // namespace quelto
