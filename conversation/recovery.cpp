#include "conversation/recovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "conversation/conversation.h"
#include "conversation/conversation_file.h"
#include "conversation/safe_file.h"

namespace quelto {

namespace {

// Creates every missing folder of `path` with mode 0700.
void makeFolders(const std::string& path) {
  for (size_t at = 1; at != std::string::npos;) {
    at = path.find('/', at + 1);
    ::mkdir(path.substr(0, at).c_str(), 0700);
  }
}

bool nothingToLose(const Conversation& c) {
  if (!c.modified) return true;
  return c.lines.size() == 1 && !c.lines[0]->hasCharacters() && c.caller.empty() && c.notes.empty();
}

}  // namespace

std::string stateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::string(state) + "/quelto";
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/tmp") + "/.local/state/quelto";
}

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
  if (slash != std::string::npos && slash > 0) makeFolders(path_.substr(0, slash));
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
