// The prompt seam: every dialog box the program shows goes through one
// Prompt, so that the logic that asks questions (profile checks, save
// questions, wrong passwords, file names) runs in tests with scripted answers
// and in the program with the toolkit's message boxes and file chooser.
//
// Contract for every implementation:
// - All calls come from the user-interface thread and are modal: they return
//   only once the user has answered.
// - Every text going in (messages, labels, button texts, titles, default
//   texts) and every text coming out (typed answers, chosen paths) is UTF-8,
//   as the toolkit speaks it. Callers that store the answer in the model
//   convert it with utf8ToCp1252 themselves.
// - Button and label texts arrive already translated; the prompt shows them
//   as they are.
#pragma once

#include <optional>
#include <string>

namespace quelto {

// What a file chooser is asked for.
struct FileRequest {
  bool save = false;       // true: a save dialog (may name a new file)
  std::string title;       // window title
  std::string extension;   // default extension without the dot, e.g. "tdd";
                           // empty: no filter
  std::string filterName;  // the single filter's name, e.g. "Quelto Files";
                           // shown with the pattern "*.<extension>"
  std::string prefill;     // name offered at first: the previously chosen
                           // path cut at its last "." (may be empty)
};

class Prompt {
 public:
  virtual ~Prompt() = default;

  // A message with a single close button.
  virtual void alert(const std::string& text) = 0;

  // A question with up to three buttons, b0 the leftmost; an empty button
  // text hides that button. Returns the index (0, 1, 2) of the button
  // pressed; closing the box with Escape counts as button 0.
  virtual int choice(const std::string& question, const std::string& b0, const std::string& b1,
                     const std::string& b2) = 0;

  // A one-line text input pre-filled with defaultText. Nothing on cancel.
  virtual std::optional<std::string> input(const std::string& label,
                                           const std::string& defaultText) = 0;

  // A one-line input with hidden text, initially empty. Nothing on cancel.
  virtual std::optional<std::string> password(const std::string& label) = 0;

  // An open or save chooser with one filter. The chosen path, or nothing
  // when the user cancels.
  virtual std::optional<std::string> chooseFile(const FileRequest& request) = 0;
};

// The program's file chooser: asks `prompt` with one filter (filterName,
// "*.<extension>") and offers the path chosen last time, in any chooser of
// the run, again without its extension (the first time: nothing; a dot in a
// folder name is not an extension). The
// chosen path is remembered, cut to 1023 bytes. Texts are UTF-8.
// User-interface thread only.
std::optional<std::string> chooseFile(Prompt& prompt, bool save, const std::string& title,
                                      const std::string& extension, const std::string& filterName);

// Forgets the remembered path (a new run starts with none).
void forgetChosenFile();

}  // namespace quelto
