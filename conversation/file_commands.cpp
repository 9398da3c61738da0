#include "conversation/file_commands.h"

#include <cstdint>

#include "audio/signal_capture.h"
#include "conversation/conversation.h"
#include "conversation/prompt.h"
#include "settings/global_settings.h"
#include "settings/profile.h"
#include "settings/translation.h"

namespace quelto {

namespace {

std::string fileNameOnly(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::uint32_t currentOwner() {
  return static_cast<std::uint32_t>(currentProfile().id);
}

}  // namespace

FileCommands::FileCommands(Conversation& conversation, Prompt& prompt, FileCommandsWindow& window)
    : conversation_(conversation), prompt_(prompt), window_(window) {}

bool FileCommands::askToSaveChanges() {
  while (conversation_.modified) {
    // Cancel first: Escape and closing the box answer with the first
    // button; Enter presses the second, Yes.
    const int answer = prompt_.choice(translate(Text::NotSavedSaveChanges), translate(Text::Cancel),
                                      translate(Text::Yes), translate(Text::No));
    if (answer == 0) return false;
    if (answer == 2) return true;
    save();
  }
  return true;
}

void FileCommands::newConversation() {
  signalCapture().clearCapture();
  if (readSetting(setting::kConfirmFileNew) && !askToSaveChanges()) return;
  Conversation& c = conversation_;
  c.fileName.clear();
  window_.clearConversation();
  c.ownerId = currentOwner();
  c.caller.clear();
  c.date.clear();
  c.notes.clear();
  c.incoming = 1;
  c.modified = 0;
  window_.showConversationName("Conversation1");
}

void FileCommands::open() {
  // Opening replaces the conversation just as New does.
  if (readSetting(setting::kConfirmFileNew) && !askToSaveChanges()) return;
  const auto name =
      chooseFile(prompt_, false, translate(Text::Load), "tdd", translate(Text::QueltoFiles));
  if (name) openFile(*name);
}

bool FileCommands::openFile(const std::string& path) {
  conversation_.ownerId = currentOwner();
  if (!conversation_.loadFromFile(path, prompt_)) return false;
  showLoaded(fileNameOnly(path));
  return true;
}

void FileCommands::showLoaded(const std::string& name) {
  window_.showConversationName(name);
  window_.showReplacedConversation();
}

void FileCommands::save() {
  Conversation& c = conversation_;
  if (!c.fileName.empty()) {
    c.password = currentProfile().password;
    if (!signalCapture().captureMode()) {
      if (c.saveToFile()) return;
      // The old file is intact; say so before offering another place.
      prompt_.alert(translate(Text::FileNotWritten));
    }
  }
  saveAs();
}

void FileCommands::saveAs() {
  if (!window_.askFileInfo()) return;
  const auto name =
      chooseFile(prompt_, true, translate(Text::SaveAs), "tdd", translate(Text::QueltoFiles));
  Conversation& c = conversation_;
  // A cancelled or failed Save As leaves the name and the title as they
  // were.
  const std::string previousName = c.fileName;
  if (name) {
    if (c.saveAs(*name)) {
      window_.showConversationName(fileNameOnly(*name));
    } else {
      c.fileName = previousName;
      prompt_.alert(translate(Text::FileNotWritten));
    }
  }
  if (signalCapture().captureMode()) {
    FileRequest wav;
    wav.save = true;
    wav.title = "Sauvegarder les sons dans un fichier";
    wav.extension = "wav";
    wav.filterName = "Wave File";
    const auto wavName = prompt_.chooseFile(wav);
    if (wavName) signalCapture().saveCapture(*wavName);
  }
}

}  // namespace quelto
