#include "ui/forms/text_size.h"

#include <algorithm>

namespace quelto {
namespace {

bool stepSize(int& size, int direction) {
  int next = size;
  if (direction > 0 && size < kLargestTextSize)
    next = std::min(size + kTextSizeStep, kLargestTextSize);
  else if (direction < 0 && size > kSmallestTextSize)
    next = std::max(size - kTextSizeStep, kSmallestTextSize);
  if (next == size) return false;
  size = next;
  return true;
}

}  // namespace

bool stepTextSizes(Profile& profile, int direction) {
  bool changed = stepSize(profile.sentTextSize, direction);
  changed |= stepSize(profile.receivedTextSize, direction);
  changed |= stepSize(profile.currentTextSize, direction);
  return changed;
}

}  // namespace quelto
