// A small peer built on spandsp, for the interoperability tests and the
// modem benchmark:
//   spandsp_peer tx [--baud 45|50] OUT.wav TEXT   V.18 5-bit transmitter,
//                                                 8000 Hz 16-bit WAV
//   spandsp_peer rx [--baud 45|50] IN.wav         V.18 5-bit receiver,
//                                                 prints the text
//   spandsp_peer dtmf IN.wav                      DTMF detector, prints digits
// Input files must be 8000 Hz; the first channel is used.
#include <sndfile.h>

// The transmitter's queue fill is only visible through spandsp's internal
// structures (see refill below).
#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
extern "C" {
#include <spandsp.h>
}

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
  std::fprintf(stderr, "usage: spandsp_peer tx|rx [--baud 45|50] FILE [TEXT] | dtmf FILE\n");
  return 2;
}

bool readPcm(const char* path, std::vector<int16_t>& out) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path, SFM_READ, &info);
  if (!f) {
    std::fprintf(stderr, "spandsp_peer: cannot read %s\n", path);
    return false;
  }
  if (info.samplerate != 8000) {
    std::fprintf(stderr, "spandsp_peer: %s is not 8000 Hz\n", path);
    sf_close(f);
    return false;
  }
  std::vector<int16_t> all(static_cast<std::size_t>(info.frames) * info.channels);
  sf_readf_short(f, all.data(), info.frames);
  sf_close(f);
  out.resize(static_cast<std::size_t>(info.frames));
  for (sf_count_t i = 0; i < info.frames; ++i) out[i] = all[i * info.channels];
  return true;
}

void printText(void* user, const uint8_t* msg, int len) {
  auto* text = static_cast<std::string*>(user);
  if (len > 0) text->append(reinterpret_cast<const char*>(msg), len);
}

void printDigits(void* user, const char* digits, int len) {
  static_cast<std::string*>(user)->append(digits, len);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string cmd = argv[1];
  int arg = 2;
  int mode = V18_MODE_5BIT_45;
  if (arg + 1 < argc && std::strcmp(argv[arg], "--baud") == 0) {
    mode = std::strcmp(argv[arg + 1], "50") == 0 ? V18_MODE_5BIT_50 : V18_MODE_5BIT_45;
    arg += 2;
  }
  if (arg >= argc) return usage();
  const char* path = argv[arg];

  if (cmd == "tx") {
    if (arg + 1 >= argc) return usage();
    v18_state_t* v18 = v18_init(nullptr, 1, mode, nullptr, nullptr);
    // The transmitter's queue holds 128 bytes. A character that does
    // not fit is refused only after its shift has been recorded, so the
    // text goes in one character at a time, only while there is room.
    std::string pending = argv[arg + 1];
    auto refill = [&]() {
      while (!pending.empty() && queue_free_space(&v18->queue.queue) >= 8) {
        if (v18_put(v18, pending.data(), 1) != 1) break;
        pending.erase(0, 1);
      }
    };
    refill();
    std::vector<int16_t> signal;
    int16_t buf[160];
    // Generate until the text has gone and a second of idle line follows.
    int idle = 0;
    while (idle < 50 && signal.size() < 8000u * 3600) {
      const int n = v18_tx(v18, buf, 160);
      refill();
      bool quiet = true;
      for (int i = 0; i < n; ++i) quiet = quiet && buf[i] == 0;
      idle = (pending.empty() && (n == 0 || quiet)) ? idle + 1 : 0;
      if (n < 160) std::memset(buf + n, 0, sizeof(int16_t) * (160 - n));
      signal.insert(signal.end(), buf, buf + 160);
    }
    v18_free(v18);
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path, SFM_WRITE, &info);
    if (!f) {
      std::fprintf(stderr, "spandsp_peer: cannot write %s\n", path);
      return 2;
    }
    sf_write_short(f, signal.data(), static_cast<sf_count_t>(signal.size()));
    sf_close(f);
    return 0;
  }

  std::vector<int16_t> samples;
  if (!readPcm(path, samples)) return 2;
  std::string text;
  if (cmd == "rx") {
    v18_state_t* v18 = v18_init(nullptr, 0, mode, printText, &text);
    for (std::size_t at = 0; at < samples.size(); at += 160) {
      const int n = static_cast<int>(std::min<std::size_t>(160, samples.size() - at));
      v18_rx(v18, samples.data() + at, n);
    }
    // A second of silence lets the last character complete.
    std::vector<int16_t> silence(8000, 0);
    v18_rx(v18, silence.data(), 8000);
    v18_free(v18);
  } else if (cmd == "dtmf") {
    dtmf_rx_state_t* dtmf = dtmf_rx_init(nullptr, printDigits, &text);
    dtmf_rx(dtmf, samples.data(), static_cast<int>(samples.size()));
    std::vector<int16_t> silence(800, 0);
    dtmf_rx(dtmf, silence.data(), 800);
    dtmf_rx_free(dtmf);
  } else {
    return usage();
  }
  std::printf("%s\n", text.c_str());
  return 0;
}
