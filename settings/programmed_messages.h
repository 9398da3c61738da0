// The ten programmed messages of a profile (F3..F12) and the labels of the
// buttons that send them. The messages themselves are Profile::messages,
// stored as "profiles\<id>\message%d"; sending them belongs to the window,
// which owns the modem's send queue.
#pragma once

#include <string>

namespace quelto {

// "[F%d] " with index + 3, then the text: "[F5] " for an empty message 2.
// An index outside 0..9 gives an empty label.
std::string programmedMessageLabel(int index, const std::string& text);

// The function key that sends message index: 3 for message 0, ... 12.
constexpr int programmedMessageKeyNumber(int index) {
  return index + 3;
}

}  // namespace quelto
