#include "ui/fltk_prompt.h"

#include <FL/Fl.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

namespace quelto {

namespace {

const char* orNull(const std::string& s) {
  return s.empty() ? nullptr : s.c_str();
}

}  // namespace

void FltkPrompt::alert(const std::string& text) {
  fl_alert("%s", text.c_str());
}

int FltkPrompt::choice(const std::string& question, const std::string& b0, const std::string& b1,
                       const std::string& b2) {
  return fl_choice("%s", orNull(b0), orNull(b1), orNull(b2), question.c_str());
}

std::optional<std::string> FltkPrompt::input(const std::string& label,
                                             const std::string& defaultText) {
  const char* answer = fl_input("%s", defaultText.c_str(), label.c_str());
  if (!answer) return std::nullopt;
  return std::string(answer);
}

std::optional<std::string> FltkPrompt::password(const std::string& label) {
  const char* answer = fl_password("%s", "", label.c_str());
  if (!answer) return std::nullopt;
  return std::string(answer);
}

std::optional<std::string> FltkPrompt::chooseFile(const FileRequest& request) {
  // The desktop's chooser differs from one machine to the next; the
  // toolkit's own one behaves the same everywhere, keyboard included.
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  Fl_Native_File_Chooser chooser;
  chooser.title(request.title.c_str());
  chooser.type(request.save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                            : Fl_Native_File_Chooser::BROWSE_FILE);
  chooser.options(request.save ? Fl_Native_File_Chooser::NEW_FOLDER : 0);
  std::string filter;
  if (!request.extension.empty() && !request.filterName.empty()) {
    filter = request.filterName + "\t*." + request.extension;
    chooser.filter(filter.c_str());
  }
  if (!request.prefill.empty()) chooser.preset_file(request.prefill.c_str());
  if (chooser.show() != 0) return std::nullopt;
  const char* chosen = chooser.filename();
  if (!chosen || !*chosen) return std::nullopt;
  std::string path = chosen;
  // A name typed without extension gets the default one, as the chooser of
  // the other platforms does.
  if (request.save && !request.extension.empty()) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
      path += "." + request.extension;
  }
  return path;
}

}  // namespace quelto
