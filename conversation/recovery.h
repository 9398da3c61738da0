// The crash-recovery copy of the conversation in progress: an ordinary
// conversation file, $XDG_STATE_HOME/quelto/recovery.tdd (default
// ~/.local/state/quelto/), folder 0700, file 0600, written atomically like
// a save. It exists only while there is something to lose, so finding it at
// start-up means the last run did not end normally.
//
// User-interface thread only: the program calls update() from a timer of
// its event loop, never from the modem's thread.
#pragma once

#include <memory>
#include <string>

#include "settings/data_folders.h"

namespace quelto {

class Conversation;
class Prompt;
struct FileKey;

class RecoveryCopy {
 public:
  // The copy at `path`; empty: stateFolder() + "/recovery.tdd".
  explicit RecoveryCopy(std::string path = std::string());
  ~RecoveryCopy();

  const std::string& path() const { return path_; }

  // Brings the copy up to date: writes the conversation when it changed
  // since the last write, removes the copy when nothing is left to lose
  // (the conversation is saved, discarded or empty). With a non-empty
  // password (UTF-8) the copy is protected like a saved file; the key is
  // derived once per password, not at every write. Creates the folder.
  void update(const Conversation& conversation, const std::string& password);

  // Removes the copy (a normal end of the program).
  void remove();

  // A copy is on disk: the last run ended without removing it.
  bool exists() const;

  // Loads the copy into the conversation through loadFromFile (which asks
  // for the password when the profile's does not open it). On success the
  // conversation has no file name and counts as modified: it has never
  // been saved where the user chose.
  bool restore(Conversation& conversation, Prompt& prompt);

 private:
  std::string path_;
  size_t lastWritten_ = 0;  // hash of the plain bytes last written
  bool written_ = false;
  std::shared_ptr<const FileKey> key_;
};

}  // namespace quelto
