// The text-size keys (Ctrl+Plus and Ctrl+Minus, and their Options menu
// entries): the sent, received and bottom-band text sizes of a profile move
// together, one step at a time, within a readable range.
#pragma once

#include "settings/profile.h"

namespace quelto {

// Sizes in points.
constexpr int kTextSizeStep = 2;
constexpr int kSmallestTextSize = 8;
constexpr int kLargestTextSize = 72;

// Moves each of the three sizes by kTextSizeStep points, larger when
// `direction` > 0 and smaller when < 0, stopping at the range's edge. A size
// already outside the range (stored by hand) is never moved further out,
// nor pulled across the range by the opposite key. Returns whether any size
// changed.
bool stepTextSizes(Profile& profile, int direction);

}  // namespace quelto
