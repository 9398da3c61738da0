// The prompt seam over the toolkit's message boxes and file chooser: what
// the program shows the user. Tests use ScriptedPrompt instead.
//
// Every box is modal and returns once answered; user-interface thread only.
// Boxes carry the program's name as their title and open centred on the
// owner window (the main window), not under the mouse.
#pragma once

#include <vector>

#include "conversation/prompt.h"

class Fl_Window;

namespace quelto {

// The toolkit's own message-box buttons and file-chooser labels, each the
// address of the toolkit's pointer to its text.
std::vector<const char**> toolkitTexts();

// Gives those texts the current interface language. Call once the language
// is chosen.
void translateToolkitTexts();

class FltkPrompt : public Prompt {
 public:
  // The window boxes are centred on; none: the screen's work area.
  void owner(Fl_Window* window) { owner_ = window; }

  void alert(const std::string& text) override;
  int choice(const std::string& question, const std::string& b0, const std::string& b1,
             const std::string& b2) override;
  std::optional<std::string> input(const std::string& label,
                                   const std::string& defaultText) override;
  std::optional<std::string> password(const std::string& label) override;
  // The toolkit's own chooser (not the desktop's), with one filter
  // "<filterName> (*.<extension>)" and the name pre-filled.
  std::optional<std::string> chooseFile(const FileRequest& request) override;

 private:
  // Prepares the toolkit's message box for the next question.
  void prepareBox();

  Fl_Window* owner_ = nullptr;
};

}  // namespace quelto
