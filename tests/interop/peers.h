// The peer modems and Quelto's tool as the interoperability tests and the
// modem benchmark run them, and the line between them (rate conversion,
// level, seeded white noise).
#pragma once

#include <string>
#include <vector>

namespace quelto::testing {

struct Peers {
  std::string quelto;     // quelto-modem
  std::string minimodem;  // minimodem
  std::string spandsp;    // spandsp_peer
  std::string multimon{};  // multimon-ng (DTMF only)
};

// Text as each transmitter sends it, written to `wav`. Baud 45 or 50.
// Quelto sends with its default held carrier unless `carrierHold` is false.
bool queltoEncode(const Peers& p, int baud, const std::string& text, const std::string& wav,
                  bool carrierHold = true);
bool minimodemSend(const Peers& p, int baud, const std::string& text, const std::string& wav);
bool spandspSend(const Peers& p, int baud, const std::string& text, const std::string& wav);

// Text as each receiver reads it from `wav` (trailing line end removed).
// `receiver` is quelto-modem's --receiver ("classic" or "robust"); empty
// leaves its default.
std::string queltoDecode(const Peers& p, int baud, const std::string& wav,
                         double sensitivity = 30.0, const std::string& receiver = "");
std::string minimodemReceive(const Peers& p, int baud, const std::string& wav);
std::string spandspReceive(const Peers& p, int baud, const std::string& wav);

// The keys each DTMF detector hears in `wav` (any rate), in order.
std::string spandspDtmf(const Peers& p, const std::string& wav);
std::string multimonDtmf(const Peers& p, const std::string& wav);

// The line: `in` converted to 8000 Hz, set to a peak level of 0.25 (room
// for noise), with white Gaussian noise at snrDb (signal power while the
// tones are on, over the noise power in 0-4 kHz; no noise when snrDb is
// infinite), written as 16-bit WAV to `out`.
void lineTo8k(const std::string& in, const std::string& out, double snrDb, unsigned seed);

}  // namespace quelto::testing
