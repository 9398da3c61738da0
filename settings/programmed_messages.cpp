#include "settings/programmed_messages.h"

#include "settings/profile.h"

namespace quelto {

std::string programmedMessageLabel(int index, const std::string& text) {
  if (index < 0 || index >= kProgrammedMessageCount) return std::string();
  return "[F" + std::to_string(programmedMessageKeyNumber(index)) + "] " + text;
}

}  // namespace quelto
