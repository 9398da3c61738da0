// Figures for the line-event detector, printed as tables:
//  1. CPU time per second of input of the detector, beside the Baudot
//     demodulator's, on the same 60 s of line (tones, noise, TDD);
//  2. delay from a tone's start (or speech's) to its event, for every tone
//     at -20 dBFS clean, at -40 dBFS with noise 10 dB below and at -20 dBFS
//     with noise 12 dB below, beside the target (1.5 s for dial tone and
//     voice, one cadence cycle otherwise);
//  3. the same recordings through spandsp's supervisory tone detector
//     (super_tone_rx) given the same cadences, for comparison.
// Usage: line_events_bench
extern "C" {
#include <spandsp.h>
}

#include "modem/fsk_modem.h"
#include "modem/line_events.h"
#include "tests/cli/process.h"
#include "tests/modem/line_recording.h"
#include "tests/modem/test_signal.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace quelto;
using namespace quelto::testing;

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Microseconds of CPU per second of input, best of five runs.
double cpuPerSecond(const std::function<void()>& run, double inputSeconds) {
  double best = 1e30;
  for (int i = 0; i < 5; ++i) {
    const double start = threadCpuSeconds();
    run();
    best = std::min(best, threadCpuSeconds() - start);
  }
  return best / inputSeconds * 1e6;
}

void cpuTable() {
  LineRecording r;
  r.tones({350, 440}, -20, 5000)
      .cadence({440, 480}, -20, 2000, 4000, 18000)
      .cadence({480, 620}, -20, 500, 500, 10000)
      .cadence({425}, -30, 1000, 4000, 15000)
      .tones({1400}, -10, 5000)
      .tones({1800}, -10, 7000)
      .noise(-45, 1);
  const std::vector<std::int16_t> pcm = r.pcm16();

  const int block = receiveBlockLength(BaudRate::Baud45);
  const double detector = cpuPerSecond(
      [&] {
        LineEventDetector d;
        for (std::size_t i = 0; i + block <= pcm.size(); i += block)
          d.process(pcm.data() + i, static_cast<std::size_t>(block));
      },
      r.seconds());
  const double demodulator = cpuPerSecond(
      [&] {
        FskModem m;
        for (std::size_t i = 0; i + block <= pcm.size(); i += block)
          m.demodulateBlock(pcm.data() + i, block);
      },
      r.seconds());
  std::printf("1. CPU per second of input (%.0f s of line, blocks of %d samples)\n", r.seconds(),
              block);
  std::printf("   %-28s %10.1f us/s  (%.4f%% of one core)\n", "line-event detector", detector,
              detector / 1e4);
  std::printf("   %-28s %10.1f us/s  (%.4f%% of one core)\n\n", "Baudot demodulator", demodulator,
              demodulator / 1e4);
}

// spandsp's detector with the same cadences as ours.
struct SpandspDetector {
  std::vector<LineEvent> codes;
  super_tone_rx_descriptor_t* desc = super_tone_rx_make_descriptor(nullptr);
  super_tone_rx_state_t* state = nullptr;
  LineEvent current = LineEvent::Quiet;

  void add(LineEvent e, int f1, int f2, int onMin, int onMax, int offMin, int offMax) {
    const int tone = super_tone_rx_add_tone(desc);
    super_tone_rx_add_element(desc, tone, f1, f2, onMin, onMax);
    if (offMin > 0) super_tone_rx_add_element(desc, tone, 0, 0, offMin, offMax);
    codes.push_back(e);
  }
  SpandspDetector() {
    add(LineEvent::DialTone, 350, 440, 500, 0, 0, 0);
    add(LineEvent::DialTone, 440, 0, 1700, 0, 0, 0);
    add(LineEvent::Ringing, 440, 480, 1600, 2400, 3200, 4800);
    add(LineEvent::Ringing, 440, 0, 800, 1700, 2800, 4500);
    add(LineEvent::Busy, 480, 620, 400, 650, 400, 650);
    add(LineEvent::Busy, 440, 0, 400, 650, 400, 650);
    add(LineEvent::Reorder, 480, 620, 180, 330, 180, 330);
    state = super_tone_rx_init(nullptr, desc, report, this);
  }
  ~SpandspDetector() {
    super_tone_rx_free(state);
    super_tone_rx_free_descriptor(desc);
  }
  static void report(void* user, int code, int, int) {
    auto* self = static_cast<SpandspDetector*>(user);
    self->current = code >= 0 ? self->codes[static_cast<std::size_t>(code)] : LineEvent::Quiet;
  }
};

std::vector<HeardEvent> listenSpandsp(const std::vector<std::int16_t>& pcm) {
  SpandspDetector d;
  std::vector<HeardEvent> heard;
  LineEvent last = LineEvent::Quiet;
  for (std::size_t i = 0; i < pcm.size(); i += 160) {
    const int n = static_cast<int>(std::min<std::size_t>(160, pcm.size() - i));
    super_tone_rx(d.state, pcm.data() + i, n);
    if (d.current != last) {
      last = d.current;
      heard.push_back({last, static_cast<double>(i + static_cast<std::size_t>(n)) / 8000.0});
    }
  }
  return heard;
}

struct Row {
  const char* name;
  std::function<void(LineRecording&, double)> play;
  LineEvent event;
  double target;
};

std::string delayOf(const std::vector<HeardEvent>& heard, LineEvent event, double start) {
  for (const HeardEvent& h : heard) {
    if (h.event == event) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.2f s", h.seconds - start);
      return buf;
    }
  }
  return "missed";
}

int falseEvents(const std::vector<HeardEvent>& heard, LineEvent event) {
  int n = 0;
  for (const HeardEvent& h : heard)
    if (h.event != event && h.event != LineEvent::Quiet) ++n;
  return n;
}

void delayTable() {
  ScratchDir dir;
  std::vector<float> spoken;
  if (runProcess({"espeak-ng", "-v", "en", "-w", dir.file("s.wav"),
                  "Hello, this is Doctor Martin's office. How can I help you?"})
          .status == 0) {
    int rate = 0;
    const std::vector<float> wav = readWav(dir.file("s.wav"), &rate);
    spoken = resample(wav, rate, 8000);
  }
  const std::vector<Row> rows = {
      {"NA dial tone",
       [](LineRecording& r, double l) {
         r.tones({350, 440}, l, 4000);
       },
       LineEvent::DialTone, 1.5},
      {"NA ringing 2/4 s",
       [](LineRecording& r, double l) {
         r.cadence({440, 480}, l, 2000, 4000, 14000);
       },
       LineEvent::Ringing, 6.0},
      {"NA busy 0.5/0.5 s",
       [](LineRecording& r, double l) {
         r.cadence({480, 620}, l, 500, 500, 4000);
       },
       LineEvent::Busy, 1.0},
      {"NA reorder 0.25/0.25 s",
       [](LineRecording& r, double l) {
         r.cadence({480, 620}, l, 250, 250, 3000);
       },
       LineEvent::Reorder, 0.5},
      {"EU dial tone 425", [](LineRecording& r, double l) { r.tones({425}, l, 4000); },
       LineEvent::DialTone, 1.5},
      {"EU ringing 1/4 s",
       [](LineRecording& r, double l) { r.cadence({425}, l, 1000, 4000, 11000); },
       LineEvent::Ringing, 5.0},
      {"EU busy 0.5/0.5 s", [](LineRecording& r, double l) { r.cadence({425}, l, 500, 500, 4000); },
       LineEvent::Busy, 1.0},
      {"FR dial tone 440", [](LineRecording& r, double l) { r.tones({440}, l, 4000); },
       LineEvent::DialTone, 1.5},
      {"FR ringing 1.5/3.5 s",
       [](LineRecording& r, double l) { r.cadence({440}, l, 1500, 3500, 11500); },
       LineEvent::Ringing, 5.0},
      {"FR busy 0.5/0.5 s", [](LineRecording& r, double l) { r.cadence({440}, l, 500, 500, 4000); },
       LineEvent::Busy, 1.0},
      {"voice (espeak-ng)",
       [&spoken](LineRecording& r, double l) { r.sound(withLoudestAt(spoken, l + 10)); },
       LineEvent::Voice, 1.5},
  };
  struct Condition {
    const char* name;
    double toneDbfs;
    double noiseDbfs;  // NAN: none
  };
  const Condition conditions[] = {
      {"-20 dBFS", -20, NAN}, {"-40, noise -50", -40, -50}, {"-20, noise -32", -20, -32}};
  std::printf("2./3. Delay from the start of the sound to its event; (n) other events named\n");
  std::printf("   %-22s %6s |", "", "");
  for (const char* who : {"Quelto", "spandsp super_tone_rx"}) std::printf(" %-47s|", who);
  std::printf("\n   %-22s %6s |", "", "target");
  for (int i = 0; i < 2; ++i) {
    for (const Condition& c : conditions) std::printf(" %-15s", c.name);
    std::printf("|");
  }
  std::printf("\n");
  unsigned seed = 100;
  for (const Row& row : rows) {
    std::printf("   %-22s %4.1f s |", row.name, row.target);
    std::string ours, theirs;
    for (const Condition& c : conditions) {
      LineRecording r;
      r.silence(1000);
      row.play(r, c.toneDbfs);
      r.silence(6000);
      if (!std::isnan(c.noiseDbfs)) r.noise(c.noiseDbfs, seed++);
      const std::vector<std::int16_t> pcm = r.pcm16();
      const std::vector<HeardEvent> q = listen(pcm);
      const std::vector<HeardEvent> s = listenSpandsp(pcm);
      char cell[64];
      std::snprintf(cell, sizeof cell, " %-8s(%d)     ", delayOf(q, row.event, 1.0).c_str(),
                    falseEvents(q, row.event));
      ours += cell;
      std::snprintf(cell, sizeof cell, " %-8s(%d)     ", delayOf(s, row.event, 1.0).c_str(),
                    row.event == LineEvent::Voice ? 0 : falseEvents(s, row.event));
      theirs += cell;
    }
    std::printf("%s|%s|\n", ours.c_str(), theirs.c_str());
  }
  std::printf("   (spandsp has no voice detector: its voice cells only say it named no tone)\n");
}

}  // namespace

int main() {
  cpuTable();
  delayTable();
  return 0;
}
