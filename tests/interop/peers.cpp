#include "tests/interop/peers.h"

#include "tests/cli/process.h"
#include "tests/modem/test_signal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace quelto::testing {
namespace {

std::string chomp(std::string s) {
  while (!s.empty() && (s.back() == '\n')) s.pop_back();
  return s;
}

// minimodem's Baudot mode with Quelto's tones and two stop bits; at 45.45
// baud that is its "tdd" mode.
std::vector<std::string> minimodemMode(int baud) {
  if (baud == 45) return {"tdd"};
  return {"--baudot", "-M", "1400", "-S", "1800", "--stopbits", "2", "50"};
}

}  // namespace

bool queltoEncode(const Peers& p, int baud, const std::string& text, const std::string& wav,
                  bool carrierHold) {
  std::vector<std::string> args = {p.quelto, "encode", "--baud", std::to_string(baud), "-o", wav};
  if (!carrierHold) args.push_back("--no-carrier-hold");
  args.push_back("--");
  args.push_back(text);
  return runProcess(args).status == 0;
}

bool minimodemSend(const Peers& p, int baud, const std::string& text, const std::string& wav) {
  std::vector<std::string> args = {p.minimodem, "--tx", "-q", "-f", wav};
  for (const std::string& m : minimodemMode(baud)) args.push_back(m);
  return runProcess(args, text).status == 0;
}

bool spandspSend(const Peers& p, int baud, const std::string& text, const std::string& wav) {
  return runProcess({p.spandsp, "tx", "--baud", std::to_string(baud), wav, text}).status == 0;
}

std::string queltoDecode(const Peers& p, int baud, const std::string& wav, double sensitivity,
                         const std::string& receiver) {
  std::vector<std::string> args = {p.quelto,        "decode",
                                   "--baud",        std::to_string(baud),
                                   "--sensitivity", std::to_string(sensitivity)};
  if (!receiver.empty()) args.insert(args.end(), {"--receiver", receiver});
  args.push_back(wav);
  return chomp(runProcess(args).out);
}

std::string minimodemReceive(const Peers& p, int baud, const std::string& wav) {
  std::vector<std::string> args = {p.minimodem, "--rx", "-q", "-f", wav};
  for (const std::string& m : minimodemMode(baud)) args.push_back(m);
  return chomp(runProcess(args).out);
}

std::string spandspReceive(const Peers& p, int baud, const std::string& wav) {
  return chomp(runProcess({p.spandsp, "rx", "--baud", std::to_string(baud), wav}).out);
}

std::string spandspDtmf(const Peers& p, const std::string& wav) {
  return chomp(runProcess({p.spandsp, "dtmf", wav}).out);
}

std::string multimonDtmf(const Peers& p, const std::string& wav) {
  // multimon-ng reads 22050 samples/s signed 16-bit raw on its own.
  int rate = 0;
  const std::vector<float> input = readWav(wav, &rate);
  const std::vector<float> line = resample(input, rate, 22050);
  const std::string raw = wav + ".s16";
  {
    std::ofstream out(raw, std::ios::binary);
    for (float v : line) {
      const auto s = static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
      out.write(reinterpret_cast<const char*>(&s), sizeof s);
    }
  }
  const std::string out = runProcess({p.multimon, "-q", "-c", "-a", "DTMF", "-t", "raw", raw}).out;
  std::remove(raw.c_str());
  // One "DTMF: k" line per key.
  std::string keys;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("DTMF: ", 0) == 0 && line.size() > 6) keys.push_back(line[6]);
  return keys;
}

void lineTo8k(const std::string& in, const std::string& out, double snrDb, unsigned seed) {
  int rate = 0;
  const std::vector<float> sent = readWav(in, &rate);
  std::vector<float> line = resample(sent, rate, 8000);
  float peak = 0.0f;
  for (float v : line) peak = std::max(peak, std::fabs(v));
  if (peak > 0.0f)
    for (float& v : line) v *= 0.25f / peak;
  if (std::isfinite(snrDb)) addNoise(line, 8000, snrDb, seed);
  writeWav(out, line, 8000);
}

}  // namespace quelto::testing
