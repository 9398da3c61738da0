// Figures for the Baudot modem, printed as tables:
//  1. decode speed of `quelto-modem decode` against `minimodem --rx tdd` on
//     the same 10 minutes of 8 kHz signal, whole process (CPU seconds from
//     the kernel's accounting of the child, and x real time);
//  2. character error rate against SNR for Quelto's receiver at sensitivity
//     30 and 50, minimodem and spandsp, on the same noisy files of each
//     transmitter (Quelto, minimodem, spandsp), 45.45 baud;
//  3. characters each receiver prints from 60 s of silence and of noise;
//  4. Quelto's two receivers ("classic", "robust") beside minimodem and
//     spandsp: character error rate for each sender at -6, -9 and -12 dB SNR
//     and through the GSM full-rate codec, 45.45 and 50 baud, and at -9 dB
//     the mean over five more noise seeds, 45.45 baud;
//  5. false characters from 60 s of noise at three levels, speech, call
//     progress tones and digital silence;
//  6. Quelto as the sender, as the program plays typed text: character
//     error rate of minimodem and spandsp on a long text and on single keys
//     each typed after a pause, clean and at 20, 12, 6 and 3 dB SNR; and
//     the latency from a key typed after a pause to the end of its
//     character on the line, with the held carrier and without.
// Usage: modem_bench [--tables LIST] [SCRATCH_DIR]  (LIST: table numbers,
// e.g. 2,6; all by default; files are kept when a folder is given)
#include "audio/memory_sound_device.h"
#include "bench/key_timing.h"
#include "modem/modem_control.h"
#include "tests/cli/process.h"
#include "tests/interop/peers.h"
#include "tests/modem/test_signal.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace quelto;
using namespace quelto::testing;

const Peers kPeers{QUELTO_MODEM_BIN, MINIMODEM_BIN, SPANDSP_PEER_BIN};

struct Cost {
  double cpu = 0.0;   // user + system seconds of the child
  double wall = 0.0;  // seconds
};

// Runs a program with its output thrown away and returns what it cost.
Cost measure(const std::vector<std::string>& argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Cost c;
  c.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  c.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
          usage.ru_stime.tv_usec / 1e6;
  return c;
}

// Words that every transmitter sends with all its shifts: no figure is
// followed by a space and a letter, and no "=" or "+" (minimodem's figures
// page differs there).
std::string sampleText(std::size_t length, unsigned seed) {
  const std::vector<std::string> letters = {"HELLO", "THE",   "QUICK", "BROWN",  "FOX",
                                            "GA",    "SK",    "CALL",  "ME",     "AT",
                                            "OK",    "WHO'S", "THERE", "PLEASE", "NUMBER"};
  const std::vector<std::string> figures = {"555-1234", "9:30", "$15.00", "(12)",
                                            "1/2",      "3.5;", "\"7\"",  "100!"};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < length) {
    // A run of letter words, then one figure word that ends a sentence.
    text += letters[rng() % letters.size()] + " " + letters[rng() % letters.size()] + " " +
            figures[rng() % figures.size()];
    text += (rng() % 2) ? "," : ".";
    text += "PLEASE ";
  }
  text.resize(length);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

struct Receiver {
  const char* name;
  std::function<std::string(const std::string&)> decode;
};

const std::vector<Receiver>& receivers() {
  static const std::vector<Receiver> r = {
      {"Quelto S30", [](const std::string& wav) { return queltoDecode(kPeers, 45, wav, 30.0); }},
      {"Quelto S50", [](const std::string& wav) { return queltoDecode(kPeers, 45, wav, 50.0); }},
      {"minimodem", [](const std::string& wav) { return minimodemReceive(kPeers, 45, wav); }},
      {"spandsp", [](const std::string& wav) { return spandspReceive(kPeers, 45, wav); }},
  };
  return r;
}

void speed(const std::string& dir) {
  // Ten minutes of Quelto's line signal as a receiver samples it.
  const std::string text = sampleText(2700, 1);
  const std::string sent = dir + "/speed-22050.wav", line = dir + "/speed-8000.wav";
  queltoEncode(kPeers, 45, text, sent);
  int rate = 0;
  const std::vector<float> rendered = readWav(sent, &rate);
  std::vector<float> samples = resample(rendered, rate, 8000);
  samples.resize(600 * 8000, 0.0f);
  for (float& v : samples) v *= 0.5f;
  writeWav(line, samples, 8000);
  const double seconds = samples.size() / 8000.0;

  std::printf("1. Decode speed, %.0f s of 8000 Hz 16-bit signal (%s), whole process, best of 5\n",
              seconds, line.c_str());
  std::printf("   %-40s %10s %10s %14s\n", "command", "CPU s", "wall s", "x real time");
  const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
      {"quelto-modem decode (robust, default)", {kPeers.quelto, "decode", line}},
      {"minimodem --rx tdd", {kPeers.minimodem, "--rx", "-q", "-f", line, "tdd"}},
      {"quelto-modem decode --receiver classic",
       {kPeers.quelto, "decode", "--receiver", "classic", line}},
  };
  std::vector<double> cpu;
  for (const auto& [name, argv] : commands) {
    Cost best{1e9, 1e9};
    for (int i = 0; i < 5; ++i) {
      const Cost c = measure(argv);
      best.cpu = std::min(best.cpu, c.cpu);
      best.wall = std::min(best.wall, c.wall);
    }
    cpu.push_back(best.cpu);
    std::printf("   %-40s %10.3f %10.3f %14.0f\n", name.c_str(), best.cpu, best.wall,
                seconds / std::max(best.cpu, 1e-3));
  }
  std::printf(
      "   minimodem CPU / Quelto CPU = %.1f robust, the default (target: at least 2), %.1f "
      "classic\n\n",
      cpu[1] / std::max(cpu[0], 1e-3), cpu[1] / std::max(cpu[2], 1e-3));
}

void errorRates(const std::string& dir) {
  const std::string text = sampleText(1000, 2);
  const std::vector<double> snrs = {INFINITY, 20, 12, 9, 6, 3, 0, -3};
  struct Transmitter {
    const char* name;
    std::function<bool(const std::string&)> send;
  };
  const std::vector<Transmitter> transmitters = {
      {"Quelto", [&](const std::string& wav) { return queltoEncode(kPeers, 45, text, wav); }},
      {"minimodem", [&](const std::string& wav) { return minimodemSend(kPeers, 45, text, wav); }},
      {"spandsp", [&](const std::string& wav) { return spandspSend(kPeers, 45, text, wav); }},
  };
  std::printf(
      "2. Character error rate (edit distance / %zu characters), 45.45 baud, white noise in 0-4 "
      "kHz,\n"
      "   SNR = tone power over noise power, noise seed 100 + row\n",
      text.size());
  std::printf("   %-10s %6s", "sender", "SNR");
  for (const Receiver& r : receivers()) std::printf(" %11s", r.name);
  std::printf("\n");
  for (const Transmitter& t : transmitters) {
    const std::string sent = dir + "/cer-" + t.name + ".wav";
    t.send(sent);
    for (std::size_t row = 0; row < snrs.size(); ++row) {
      const double snr = snrs[row];
      char name[64];
      std::snprintf(name, sizeof name, "/cer-%s-%g.wav", t.name, snr);
      const std::string line = dir + name;
      lineTo8k(sent, line, snr, 100 + static_cast<unsigned>(row));
      std::printf("   %-10s %6s", t.name,
                  std::isfinite(snr) ? std::to_string(int(snr)).c_str() : "clean");
      for (const Receiver& r : receivers()) {
        const double cer = characterErrorRate(text, r.decode(line));
        std::printf(" %10.1f%%", 100.0 * cer);
      }
      std::printf("\n");
    }
  }
  std::printf("\n");
}

void idleLine(const std::string& dir) {
  const std::string silence = dir + "/silence.wav", noise = dir + "/noise.wav",
                    loud = dir + "/loud-noise.wav";
  writeWav(silence, std::vector<float>(60 * 8000, 0.0f), 8000);
  writeWav(noise, whiteNoise(60 * 8000, 0.05, 11), 8000);
  writeWav(loud, whiteNoise(60 * 8000, 0.25, 12), 8000);
  std::printf("3. Characters printed from 60 s of an idle line (8000 Hz)\n");
  std::printf("   %-28s", "input");
  for (const Receiver& r : receivers()) std::printf(" %11s", r.name);
  std::printf("\n");
  for (const auto& [name, file] :
       std::vector<std::pair<std::string, std::string>>{{"silence", silence},
                                                        {"white noise, rms 0.05 FS", noise},
                                                        {"white noise, rms 0.25 FS", loud}}) {
    std::printf("   %-28s", name.c_str());
    for (const Receiver& r : receivers()) std::printf(" %11zu", r.decode(file).size());
    std::printf("\n");
  }
}

// The line through a mobile leg: the GSM full-rate codec (sox), there and back.
bool throughGsm(const std::string& in, const std::string& out) {
  const std::string gsm = out + ".gsm";
  return runProcess({"sox", in, "-r", "8000", "-c", "1", "-t", "gsm", gsm}).status == 0 &&
         runProcess({"sox", "-t", "gsm", gsm, "-b", "16", out}).status == 0;
}

const std::vector<Receiver>& receiverColumns(int baud) {
  static std::vector<Receiver> columns[2];
  std::vector<Receiver>& r = columns[baud == 45 ? 0 : 1];
  if (r.empty()) {
    r = {
        {"classic",
         [baud](const std::string& wav) {
           return queltoDecode(kPeers, baud, wav, 30.0, "classic");
         }},
        {"robust",
         [baud](const std::string& wav) {
           return queltoDecode(kPeers, baud, wav, 30.0, "robust");
         }},
        {"minimodem",
         [baud](const std::string& wav) { return minimodemReceive(kPeers, baud, wav); }},
        {"spandsp", [baud](const std::string& wav) { return spandspReceive(kPeers, baud, wav); }},
    };
  }
  return r;
}

// 4. Quelto's two receivers beside the peers' on the same files, at the
// profile's default sensitivity.
constexpr unsigned kMoreSeeds = 5;
void receiverComparison(const std::string& dir) {
  const std::string text = sampleText(1000, 4);
  struct Condition {
    const char* name;
    double snr;  // INFINITY: no noise
    bool gsm;
  };
  const std::vector<Condition> conditions = {{"clean", INFINITY, false},
                                             {"-6 dB", -6, false},
                                             {"-9 dB", -9, false},
                                             {"-12 dB", -12, false},
                                             {"GSM", INFINITY, true}};
  std::printf(
      "4. Receivers compared: character error rate (edit distance / %zu characters), white noise\n"
      "   in 0-4 kHz (SNR = tone power over noise power, seed 400 + row), GSM = the clean line\n"
      "   through the GSM full-rate codec (sox); Quelto at sensitivity 30\n",
      text.size());
  std::printf("   %-6s %-10s %-7s", "baud", "sender", "line");
  for (const Receiver& r : receiverColumns(45)) std::printf(" %10s", r.name);
  std::printf("\n");
  for (int baud : {45, 50}) {
    const std::vector<std::pair<const char*, std::function<bool(const std::string&)>>> senders = {
        {"Quelto", [&](const std::string& wav) { return queltoEncode(kPeers, baud, text, wav); }},
        {"minimodem",
         [&](const std::string& wav) { return minimodemSend(kPeers, baud, text, wav); }},
        {"spandsp", [&](const std::string& wav) { return spandspSend(kPeers, baud, text, wav); }},
    };
    for (const auto& [sender, send] : senders) {
      const std::string sent = dir + "/rx-" + sender + std::to_string(baud) + ".wav";
      send(sent);
      for (std::size_t row = 0; row < conditions.size(); ++row) {
        const Condition& c = conditions[row];
        const std::string line =
            dir + "/rx-" + sender + std::to_string(baud) + "-" + std::to_string(row) + ".wav";
        lineTo8k(sent, line, c.snr, 400 + static_cast<unsigned>(row));
        if (c.gsm && !throughGsm(line, line + ".gsm.wav")) {
          std::printf("   %-6s %-10s %-7s (sox cannot write GSM)\n", baud == 45 ? "45.45" : "50",
                      sender, c.name);
          continue;
        }
        const std::string heard = c.gsm ? line + ".gsm.wav" : line;
        std::printf("   %-6s %-10s %-7s", baud == 45 ? "45.45" : "50", sender, c.name);
        for (const Receiver& r : receiverColumns(baud)) {
          const double cer = characterErrorRate(text, r.decode(heard));
          std::printf(" %9.1f%%", 100.0 * cer);
        }
        std::printf("\n");
        std::fflush(stdout);
      }
      // One noise seed leaves a -9 dB figure uncertain by about a point
      // either way; the mean over more seeds is the steadier figure.
      if (baud != 45) continue;
      std::vector<double> sums(receiverColumns(baud).size(), 0.0);
      for (unsigned seed = 0; seed < kMoreSeeds; ++seed) {
        const std::string line = dir + "/rx-" + sender + "45-9dB-" + std::to_string(seed) + ".wav";
        lineTo8k(sent, line, -9, 410 + seed);
        for (std::size_t r = 0; r < sums.size(); ++r)
          sums[r] += characterErrorRate(text, receiverColumns(baud)[r].decode(line));
      }
      std::printf("   %-6s %-10s %-7s", "45.45", sender, "-9 dB*");
      for (double sum : sums) std::printf(" %9.1f%%", 100.0 * sum / kMoreSeeds);
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  std::printf(
      "   -9 dB*: mean over %u more noise seeds (410 to %u)\n"
      "   targets for robust: 0 %% clean, at most 1 %% at -6 dB, at most 2 %% at -9 dB (45.45\n"
      "   baud), at most 1 %% through GSM\n\n",
      kMoreSeeds, 410 + kMoreSeeds - 1);
}

constexpr double kPi = 3.14159265358979323846;

// 60 s of a pair of tones switched on and off (call-progress tones), 8000 Hz.
std::vector<float> callTone(double low, double high, double on, double off) {
  std::vector<float> out(60 * 8000, 0.0f);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = i / 8000.0;
    if (std::fmod(t, on + off) < on)
      out[i] = static_cast<float>(0.1 * std::sin(2 * kPi * low * t) +
                                  0.1 * std::sin(2 * kPi * high * t));
  }
  return out;
}

// 60 s of synthetic English speech (espeak-ng) at 8000 Hz, peak 0.5; empty
// when espeak-ng cannot run.
std::vector<float> speech(const std::string& dir) {
  const std::string wav = dir + "/speech-22050.wav";
  const std::string text =
      "Hello, this is the relay operator. Please hold while I connect your call. Your "
      "appointment is on Tuesday at nine thirty in the morning. Can you hear me now? I am "
      "calling about the letter you sent last week, and the quick brown fox jumps over the "
      "lazy dog. ";
  const std::string wav8k = dir + "/speech-8000.wav";
  if (runProcess({"espeak-ng", "-w", wav, text + text + text + text}).status != 0 ||
      runProcess({"sox", wav, "-r", "8000", wav8k}).status != 0)
    return {};
  int rate = 0;
  std::vector<float> voice = readWav(wav8k, &rate);
  if (voice.empty()) return {};
  float peak = 0.0f;
  for (float v : voice) peak = std::max(peak, std::fabs(v));
  std::vector<float> out(60 * 8000);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = voice[i % voice.size()] * 0.5f / peak;
  return out;
}

// 5. Characters each receiver prints from 60 s of what a line carries when
// no TDD speaks (noise levels: RMS against full scale).
void falseCharacters(const std::string& dir) {
  const std::vector<std::pair<std::string, std::vector<float>>> inputs = {
      {"digital silence", std::vector<float>(60 * 8000, 0.0f)},
      {"white noise -40 dBFS", whiteNoise(60 * 8000, 0.01, 501)},
      {"white noise -20 dBFS", whiteNoise(60 * 8000, 0.1, 502)},
      {"white noise -6 dBFS", whiteNoise(60 * 8000, 0.5, 503)},
      {"speech (espeak-ng)", speech(dir)},
      {"dial tone 350+440 Hz", callTone(350, 440, 60, 0)},
      {"ringing 440+480 Hz 2/4 s", callTone(440, 480, 2, 4)},
      {"busy 480+620 Hz 0.5/0.5 s", callTone(480, 620, 0.5, 0.5)},
  };
  std::printf("5. False characters from 60 s of a line without a TDD, 45.45 baud (target: 0)\n");
  std::printf("   %-27s", "input");
  for (const Receiver& r : receiverColumns(45)) std::printf(" %10s", r.name);
  std::printf("\n");
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const auto& [name, samples] = inputs[i];
    std::printf("   %-27s", name.c_str());
    if (samples.empty()) {
      std::printf(" (cannot be made here)\n");
      continue;
    }
    const std::string file = dir + "/idle-" + std::to_string(i) + ".wav";
    writeWav(file, samples, 8000);
    for (const Receiver& r : receiverColumns(45)) std::printf(" %10zu", r.decode(file).size());
    std::printf("\n");
    std::fflush(stdout);
  }
  std::printf("\n");
}

// The keys of the single-key rows: every letter whose first data bit is
// mark (a start bit cut short turns it into another letter or loses it),
// between figures, so that every transmission needs its page's shift.
const std::string kSingleKeys = "A1BD4EF7JK0QS-UW$XY?Z8";
// The latency keys: those letters alone, so that without the held carrier
// no key needs a shift and the difference is what the lead-in and the
// shift at the start of each transmission cost.
const std::string kLatencyKeys = "ABDEFJKQSUWXYZ";

// Each key's transmission exactly as the program plays it (`quelto-modem
// encode` of the key alone), after 2 s of silence, one after the other.
bool singleKeysSignal(const std::string& dir, const std::string& wav) {
  std::vector<float> line;
  int rate = 22050;
  for (std::size_t i = 0; i < kSingleKeys.size(); ++i) {
    const std::string key = dir + "/key-" + std::to_string(i) + ".wav";
    if (!queltoEncode(kPeers, 45, kSingleKeys.substr(i, 1), key)) return false;
    const std::vector<float> sent = readWav(key, &rate);
    line.insert(line.end(), 2 * rate, 0.0f);
    line.insert(line.end(), sent.begin(), sent.end());
  }
  line.insert(line.end(), 2 * rate, 0.0f);
  writeWav(wav, line, rate);
  return true;
}

// How many characters of `sent` are missing from `heard`, and how many of
// `heard` were never sent: what a longest common subsequence leaves out of
// each.
std::pair<std::size_t, std::size_t> lostAndExtra(const std::string& sent,
                                                 const std::string& heard) {
  std::vector<std::size_t> row(heard.size() + 1, 0), next(heard.size() + 1, 0);
  for (char c : sent) {
    for (std::size_t j = 0; j < heard.size(); ++j)
      next[j + 1] = c == heard[j] ? row[j] + 1 : std::max(row[j + 1], next[j]);
    row.swap(next);
  }
  return {sent.size() - row.back(), heard.size() - row.back()};
}

const std::vector<Receiver>& senderColumns() {
  static const std::vector<Receiver> r = {
      {"minimodem", [](const std::string& wav) { return minimodemReceive(kPeers, 45, wav); }},
      {"spandsp", [](const std::string& wav) { return spandspReceive(kPeers, 45, wav); }},
      {"Quelto", [](const std::string& wav) { return queltoDecode(kPeers, 45, wav); }},
  };
  return r;
}

void senderErrorRates(const std::string& dir) {
  const std::string text = sampleText(1000, 6);
  const std::vector<double> snrs = {INFINITY, 20, 12, 6, 3};
  std::printf(
      "6. Quelto as the sender, 45.45 baud, as the program plays typed text (held carrier):\n"
      "   character error rate (edit distance / characters sent), white noise in 0-4 kHz, SNR =\n"
      "   tone power over noise power, seed 600 + row; \"text\": %zu characters typed at once,\n"
      "   \"single keys\": %s, each typed after 2 s of quiet line (noise in the pauses\n"
      "   too); each cell: error rate, keys lost + characters read that were not sent\n",
      text.size(), kSingleKeys.c_str());
  std::printf("   %-12s %6s", "typed", "SNR");
  for (const Receiver& r : senderColumns()) std::printf(" %16s", r.name);
  std::printf("\n");
  const std::string textSignal = dir + "/tx-text.wav", keysSignal = dir + "/tx-keys.wav";
  if (!queltoEncode(kPeers, 45, text, textSignal) || !singleKeysSignal(dir, keysSignal)) {
    std::printf("   quelto-modem encode failed\n\n");
    return;
  }
  const std::vector<std::tuple<const char*, std::string, std::string>> inputs = {
      {"text", text, textSignal}, {"single keys", kSingleKeys, keysSignal}};
  unsigned row = 0;
  for (const auto& [name, sent, signal] : inputs) {
    for (double snr : snrs) {
      const std::string line = dir + "/tx-line-" + std::to_string(row) + ".wav";
      lineTo8k(signal, line, snr, 600 + row++);
      std::printf("   %-12s %6s", name,
                  std::isfinite(snr) ? std::to_string(int(snr)).c_str() : "clean");
      for (const Receiver& r : senderColumns()) {
        const std::string heard = r.decode(line);
        const auto [lost, extra] = lostAndExtra(sent, heard);
        char cell[40];
        std::snprintf(cell, sizeof cell, "%.1f%% %zu+%zu", 100.0 * characterErrorRate(sent, heard),
                      lost, extra);
        std::printf(" %16s", cell);
      }
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  std::printf(
      "   targets: 0.0 %% for spandsp on every row down to 6 dB, 0.0 %% for minimodem clean\n\n");
}

// The shortest start of `transmission` (8-bit unsigned at `rate`, from its
// first sample) after which `receiver` reads `key` from the line (clean,
// 8000 Hz) followed by silence, in samples; -1 when even the whole is not
// read. A receiver reads a character once it has sampled its stop bit, so
// this is where the character ends for that receiver.
long readAfter(const std::string& dir, const Receiver& receiver, const std::string& key,
               const std::vector<std::uint8_t>& transmission, int rate) {
  const auto reads = [&](std::size_t length) {
    std::vector<std::uint8_t> cut(transmission.begin(),
                                  transmission.begin() + static_cast<std::ptrdiff_t>(length));
    cut.insert(cut.end(), static_cast<std::size_t>(rate / 2), 128);
    const std::string sent = dir + "/latency-sent.wav", line = dir + "/latency-line.wav";
    writeWavU8(sent, cut, rate);
    lineTo8k(sent, line, INFINITY, 0);
    return receiver.decode(line) == key;
  };
  if (!reads(transmission.size())) return -1;
  std::size_t low = 0, high = transmission.size();  // !reads(low), reads(high)
  while (high - low > static_cast<std::size_t>(rate / 1000)) {
    const std::size_t mid = (low + high) / 2;
    (reads(mid) ? high : low) = mid;
  }
  return static_cast<long>(high);
}

struct KeyLatency {
  double toFirstSample = 0.0;            // s, key to the first sample handed to the device
  std::vector<double> toCharacterEnd{};  // s, key to the end for each of senderColumns()
};

// Types each latency key into a modem thread over the in-memory sound card
// at real time, after the modem has listened for a while, and measures when
// its transmission starts and when each receiver can read its character.
std::vector<KeyLatency> keyLatencies(const std::string& dir, bool carrierHold) {
  std::mutex mutex;
  MemorySoundDevice device;
  device.setPace(1.0);
  bench::FirstSampleProbe probe(device);
  StreamOptions options;
  SignalCapture capture;
  ModemControl control(mutex);
  ModemThreadOptions threadOptions{&options, &capture, {}};
  threadOptions.carrierHold = carrierHold;
  control.start(device, threadOptions);
  const auto waitIdle = [&] {
    while (!bench::idleAndListening(control, &device))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  std::mt19937 random(60);
  std::uniform_int_distribution<int> pause(300, 500);
  std::vector<KeyLatency> out;
  for (char key : kLatencyKeys) {
    waitIdle();
    // The pause: the modem listens, and the key comes at any moment of a
    // listening block.
    std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
    const std::size_t before = device.playedSamples().size();
    KeyLatency k;
    k.toFirstSample = probe.type(control, std::string(1, key));
    waitIdle();
    const std::vector<std::uint8_t> played = device.playedSamples();
    const std::vector<MemorySoundDevice::Playback> playbacks = device.playbacks();
    const int rate = playbacks.back().rate;
    std::vector<std::uint8_t> transmission(played.begin() + static_cast<std::ptrdiff_t>(before),
                                           played.end());
    for (const Receiver& r : senderColumns()) {
      const long at = readAfter(dir, r, std::string(1, key), transmission, rate);
      k.toCharacterEnd.push_back(at < 0 ? NAN : k.toFirstSample + static_cast<double>(at) / rate);
    }
    out.push_back(k);
  }
  return out;
}

void keyLatency(const std::string& dir) {
  std::printf(
      "   Latency from a key typed after a pause to the end of its character on the line: the\n"
      "   modem thread over the in-memory sound card at real time (a sound card adds its output\n"
      "   latency: audio_bench), the end taken as the shortest start of the transmission each\n"
      "   receiver reads the key from; median and max over the keys %s, in ms\n",
      kLatencyKeys.c_str());
  std::printf("   %-16s %17s", "CarrierHold", "to first sample");
  for (const Receiver& r : senderColumns()) std::printf(" %17s", r.name);
  std::printf("\n");
  std::vector<double> medians;
  for (bool hold : {true, false}) {
    const std::vector<KeyLatency> keys = keyLatencies(dir, hold);
    const auto cell = [](std::vector<double> s) {
      const std::size_t lost = static_cast<std::size_t>(
          std::count_if(s.begin(), s.end(), [](double v) { return std::isnan(v); }));
      s.erase(std::remove_if(s.begin(), s.end(), [](double v) { return std::isnan(v); }), s.end());
      char text[40];
      if (s.empty()) {
        std::snprintf(text, sizeof text, "none read");
      } else {
        std::sort(s.begin(), s.end());
        std::snprintf(text, sizeof text, lost ? "%.0f / %.0f, %zu lost" : "%.0f / %.0f",
                      1000 * s[s.size() / 2], 1000 * s.back(), lost);
      }
      return std::pair<std::string, double>(text, s.empty() ? NAN : s[s.size() / 2]);
    };
    std::vector<double> first;
    for (const KeyLatency& k : keys) first.push_back(k.toFirstSample);
    std::printf("   %-16s %17s", hold ? "on (default)" : "off", cell(first).first.c_str());
    for (std::size_t c = 0; c < senderColumns().size(); ++c) {
      std::vector<double> column;
      for (const KeyLatency& k : keys) column.push_back(k.toCharacterEnd[c]);
      const auto [text, median] = cell(column);
      std::printf(" %17s", text.c_str());
      if (senderColumns()[c].name == std::string("spandsp")) medians.push_back(median);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  std::printf("   the lead-in and the shift add %.0f ms (spandsp's medians, on less off)\n\n",
              1000 * (medians[0] - medians[1]));
}

}  // namespace

int main(int argc, char** argv) {
  std::string tables = "1,2,3,4,5,6";
  int arg = 1;
  if (arg + 1 < argc && std::string(argv[arg]) == "--tables") {
    tables = argv[arg + 1];
    arg += 2;
  }
  const auto wanted = [&](char table) { return tables.find(table) != std::string::npos; };
  std::unique_ptr<ScratchDir> scratch;
  std::string dir;
  if (arg < argc) {
    dir = argv[arg];
    std::filesystem::create_directories(dir);
  } else {
    scratch = std::make_unique<ScratchDir>();
    dir = scratch->path();
  }
  std::printf("Quelto modem benchmark (%s, %s, %s)\n\n", kPeers.quelto.c_str(),
              kPeers.minimodem.c_str(), kPeers.spandsp.c_str());
  if (wanted('1')) speed(dir);
  if (wanted('2')) errorRates(dir);
  if (wanted('3')) idleLine(dir);
  if (wanted('4')) receiverComparison(dir);
  if (wanted('5')) falseCharacters(dir);
  if (wanted('6')) {
    senderErrorRates(dir);
    keyLatency(dir);
  }
  return 0;
}
