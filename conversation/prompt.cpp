#include "conversation/prompt.h"

namespace quelto {

namespace {

// The chooser's name buffer held 1024 bytes with its terminator.
constexpr size_t kMaxChosenPath = 1023;

std::string& lastChosen() {
  static std::string path;
  return path;
}

}  // namespace

std::optional<std::string> chooseFile(Prompt& prompt, bool save, const std::string& title,
                                      const std::string& extension, const std::string& filterName) {
  FileRequest request;
  request.save = save;
  request.title = title;
  if (!extension.empty() && !filterName.empty()) {
    request.extension = extension;
    request.filterName = filterName;
  }
  // The remembered path itself stays whole, so that choosers cancelled one
  // after the other keep offering the same name. Only a dot in the file's
  // own name starts an extension, not one in a folder's name.
  std::string& last = lastChosen();
  const size_t dot = last.rfind('.');
  const size_t slash = last.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  request.prefill = hasExtension ? last.substr(0, dot) : last;

  std::optional<std::string> chosen = prompt.chooseFile(request);
  if (chosen) last = chosen->substr(0, kMaxChosenPath);
  return chosen;
}

void forgetChosenFile() {
  lastChosen().clear();
}

}  // namespace quelto
