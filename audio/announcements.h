// The recorded voice announcements that tell a hearing caller a text
// telephone is on the line, compiled into the program as constant data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quelto {

// Samples: 8-bit unsigned PCM, mono, 8000 per second, 128 = silence.
struct Announcement {
  std::string text;  // UTF-8, shown in the "Vocal Announce" list
  const std::uint8_t* samples;
  std::uint32_t sampleCount;
};

// Index 0: French, index 1: English; the order is what profiles store.
// Built on the first call; the records live for the whole process.
const std::vector<Announcement>& announcements();

}  // namespace quelto
