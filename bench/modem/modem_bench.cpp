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
//     and through the GSM full-rate codec, 45.45 and 50 baud;
//  5. false characters from 60 s of noise at three levels, speech, call
//     progress tones and digital silence.
// Usage: modem_bench [SCRATCH_DIR]  (files are kept when a folder is given)
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
#include <random>
#include <string>
#include <vector>

namespace {

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
      {"quelto-modem decode", {kPeers.quelto, "decode", line}},
      {"minimodem --rx tdd", {kPeers.minimodem, "--rx", "-q", "-f", line, "tdd"}},
      {"quelto-modem decode --receiver robust",
       {kPeers.quelto, "decode", "--receiver", "robust", line}},
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
  std::printf("   minimodem CPU / Quelto CPU = %.1f classic, %.1f robust (target: at least 2)\n\n",
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
    }
  }
  std::printf(
      "   targets for robust: 0 %% clean, at most 1 %% at -6 dB, at most 2 %% at -9 dB (45.45\n"
      "   baud), at most 1 %% through GSM\n\n");
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

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<ScratchDir> scratch;
  std::string dir;
  if (argc > 1) {
    dir = argv[1];
    std::filesystem::create_directories(dir);
  } else {
    scratch = std::make_unique<ScratchDir>();
    dir = scratch->path();
  }
  std::printf("Quelto modem benchmark (%s, %s, %s)\n\n", kPeers.quelto.c_str(),
              kPeers.minimodem.c_str(), kPeers.spandsp.c_str());
  speed(dir);
  errorRates(dir);
  idleLine(dir);
  receiverComparison(dir);
  falseCharacters(dir);
  return 0;
}
