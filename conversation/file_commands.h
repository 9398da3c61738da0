// The File menu's commands over the conversation: New, Open, Save, Save As,
// and the question asked before unsaved text is lost. The decisions (when
// to ask, what a refusal or a failed write keeps, which name the title
// shows) live here; the window's part is behind FileCommandsWindow, so that
// the commands are tested without a display.
//
// Threads: user-interface thread only.
#pragma once

#include <string>

namespace quelto {

class Conversation;
class Prompt;

// What the commands need of the main window.
class FileCommandsWindow {
 public:
  virtual ~FileCommandsWindow() = default;
  // Shows `name` ("Conversation1", a file name without its folder) in the
  // title's brackets.
  virtual void showConversationName(const std::string& name) = 0;
  // Runs the File Info dialog over the conversation's details; false when
  // the user cancelled it.
  virtual bool askFileInfo() = 0;
  // Empties the conversation and its view, without a question.
  virtual void clearConversation() = 0;
  // The conversation was replaced by a loaded one: show it from the top.
  virtual void showReplacedConversation() = 0;
};

class FileCommands {
 public:
  // The conversation, the prompt and the window outlive this object.
  FileCommands(Conversation& conversation, Prompt& prompt, FileCommandsWindow& window);
  FileCommands(const FileCommands&) = delete;
  FileCommands& operator=(const FileCommands&) = delete;

  // The save-changes question while the conversation is modified. Cancel
  // (also Escape) stops: false. No goes on: true. Yes saves and asks again
  // while the conversation is still modified.
  bool askToSaveChanges();

  // New: with "ConfirmFileNew" on, asks first; then an empty conversation
  // owned by the current profile, titled "Conversation1", unmodified. Any
  // captured signal is dropped first.
  void newConversation();
  // Open: asks like New, then the chooser, then openFile.
  void open();
  // Loads `path` without a chooser and without a question; refusals are
  // told through the prompt. True when loaded.
  bool openFile(const std::string& path);
  // A conversation just loaded into the model, shown under `name`.
  void showLoaded(const std::string& name);
  // Save: to the conversation's file when it has one (a failed write says
  // so, then offers Save As); otherwise Save As. In capture mode the
  // conversation is never written over its file.
  void save();
  // Save As: File Info, then the chooser. A cancelled or failed save keeps
  // the name and the title; a failed one says so. In capture mode the
  // captured signal is then offered as a WAV file.
  void saveAs();

 private:
  Conversation& conversation_;
  Prompt& prompt_;
  FileCommandsWindow& window_;
};

}  // namespace quelto
