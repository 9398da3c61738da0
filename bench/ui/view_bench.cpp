// Times the conversation view with 100,000 characters of history: one typed
// character handled and drawn (bottom band only), a full redraw with every
// line measured, and a full redraw after a width change (every line
// measured again). Two histories: turns of 300 characters alternating
// between the two sides, and one unbroken 100,000-character typed line.
// Run under a display: tests/with-display build/bench/ui/ui_view_bench
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/x.H>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "modem/modem_control.h"
#include "ui/conversation_view.h"

using namespace quelto;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::string words(size_t n, unsigned seed) {
  static const char* list[] = {"HELLO",  "THE",    "APPOINTMENT", "IS",    "AT",  "TEN", "GA",
                               "PLEASE", "REPEAT", "NUMBER",      "THANK", "YOU", "Q"};
  std::string s;
  while (s.size() < n) {
    seed = seed * 1103515245u + 12345u;
    s += list[(seed >> 16) % 13];
    s += ' ';
  }
  s.resize(n);
  return s;
}

void key(ConversationView& view, char c) {
  static char text[2];
  text[0] = c;
  Fl::e_number = FL_KEYBOARD;
  Fl::e_keysym = static_cast<unsigned char>(c);
  Fl::e_state = 0;
  Fl::e_text = text;
  Fl::e_length = 1;
  view.handle(FL_KEYBOARD);
}

// Draws what is damaged and waits until the X server has done it too: X
// is asynchronous, so without the round trip only the queuing is timed.
void drawNow() {
  Fl::flush();
  XSync(fl_display, False);
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * (v.size() - 1))];
}

void run(const char* name, bool alternate) {
  ModemControl modem;
  Fl_Double_Window window(515, 400, "bench");
  ConversationView view(5, 26, 490, 330);
  window.end();
  view.setModem(&modem);
  window.show();
  window.wait_for_expose();
  drawNow();

  const std::string text = words(100000, 7);
  Conversation& c = view.conversation;
  if (alternate) {
    for (size_t i = 0; i < text.size(); ++i) {
      if ((i / 300) % 2)
        c.addReceived(static_cast<unsigned char>(text[i]));
      else
        c.addSent(static_cast<unsigned char>(text[i]));
    }
    c.addSent('\n');
  } else {
    c.lines.back()->text.append(text);
    c.startNewLine();
  }
  view.relayout();

  auto t0 = Clock::now();
  view.redrawAll();
  drawNow();
  const double cold = ms(Clock::now() - t0);

  std::vector<double> full;
  for (int i = 0; i < 20; ++i) {
    t0 = Clock::now();
    view.redrawAll();
    drawNow();
    full.push_back(ms(Clock::now() - t0));
  }

  std::vector<double> band;
  double worstWrap = 0;
  int wraps = 0;
  const std::string typed = words(2000, 11);
  for (char ch : typed) {
    const int before = c.currentLine().length();
    t0 = Clock::now();
    key(view, ch);
    drawNow();
    const double t = ms(Clock::now() - t0);
    if (c.currentLine().length() > before) {
      band.push_back(t);
    } else {
      ++wraps;
      worstWrap = std::max(worstWrap, t);
    }
    if (ModemControl::Lock(modem).sendQueue().size() > 4096) modem.clearSendQueue();
  }

  std::printf("%s (%d lines, %zu characters):\n", name, c.lineCount(), text.size());
  std::printf(
      "  typed character, band only : median %.3f ms, 99th %.3f ms, worst %.3f ms (%zu keys)\n",
      percentile(band, 0.5), percentile(band, 0.99), percentile(band, 1.0), band.size());
  std::printf("  typed character that wraps : worst %.3f ms (%d wraps)\n", worstWrap, wraps);
  std::printf("  full redraw, measured      : median %.3f ms, worst %.3f ms\n",
              percentile(full, 0.5), percentile(full, 1.0));
  std::printf("  full redraw after relayout : %.3f ms\n", cold);
  window.hide();
  drawNow();
}

}  // namespace

int main() {
  run("alternating turns of 300 characters", true);
  run("one typed line of 100,000 characters", false);
  return 0;
}
