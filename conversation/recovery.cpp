#include "conversation/recovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "conversation/conversation.h"
#include "conversation/conversation_file.h"
#include "conversation/safe_file.h"

namespace quelto {

namespace {

bool nothingToLose(const Conversation& c) {
  if (!c.modified) return true;
  return c.lines.size() == 1 && !c.lines[0]->hasCharacters() && c.caller.empty() && c.notes.empty();
}

}  // namespace

RecoveryCopy::RecoveryCopy(std::string path)
    : path_(path.empty() ? stateFolder() + "/recovery.tdd" : std::move(path)) {
  // Copies left by a write that was killed half way.
  removeStaleTemporaryFiles(path_);
}

RecoveryCopy::~RecoveryCopy() = default;

void RecoveryCopy::update(const Conversation& c, const std::string& password) {
  if (nothingToLose(c)) {
    if (written_ || exists()) remove();
    return;
  }
  std::string bytes = encodeConversationFileWithoutPassword(c);
  const size_t hash = std::hash<std::string>()(bytes);
  if (written_ && hash == lastWritten_) return;
  if (!password.empty()) {
    if (!key_ || key_->password != password) key_ = deriveFileKey(password);
    if (!key_) return;
    bytes = sealConversationFile(c, *key_);
  }
  const size_t slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0) makePrivateFolders(path_.substr(0, slash));
  if (writeFileSafely(path_, bytes) != SafeWriteResult::Ok) return;
  written_ = true;
  lastWritten_ = hash;
}

void RecoveryCopy::remove() {
  ::unlink(path_.c_str());
  written_ = false;
}

bool RecoveryCopy::exists() const {
  struct stat st {};
  return ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RecoveryCopy::restore(Conversation& c, Prompt& prompt) {
  if (!c.loadFromFile(path_, prompt)) return false;
  c.fileName.clear();
  c.modified = 1;
  return true;
}

}  // namespace quelto
