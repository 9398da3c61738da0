// Figures for the Baudot modem, printed as tables:
//  1. decode speed of `quelto-modem decode` against `minimodem --rx tdd` on
//     the same 10 minutes of 8 kHz signal, whole process (CPU seconds from
//     the kernel's accounting of the child, and x real time);
//  2. character error rate against SNR for Quelto's receiver at sensitivity
//     30 and 50, minimodem and spandsp, on the same noisy files of each
//     transmitter (Quelto, minimodem, spandsp), 45.45 baud;
//  3. characters each receiver prints from 60 s of silence and of noise.
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

std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j)
      cur[j] =
          std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    std::swap(prev, cur);
  }
  return prev[b.size()];
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
  std::printf("   %-34s %10s %10s %14s\n", "command", "CPU s", "wall s", "x real time");
  const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
      {"quelto-modem decode", {kPeers.quelto, "decode", line}},
      {"minimodem --rx tdd", {kPeers.minimodem, "--rx", "-q", "-f", line, "tdd"}},
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
    std::printf("   %-34s %10.3f %10.3f %14.0f\n", name.c_str(), best.cpu, best.wall,
                seconds / std::max(best.cpu, 1e-3));
  }
  std::printf("   minimodem CPU / Quelto CPU = %.1f (target: at least 2)\n\n",
              cpu[1] / std::max(cpu[0], 1e-3));
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
        const double cer = static_cast<double>(editDistance(text, r.decode(line))) / text.size();
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
  return 0;
}
