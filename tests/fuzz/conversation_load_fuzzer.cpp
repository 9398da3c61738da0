// libFuzzer target: Conversation::loadFromFile on arbitrary bytes.
//
// Besides the sanitizers' checks, a load that succeeds must leave a sound
// conversation (at least one line, every line with its direction byte) that
// saves and reads back the same; a load that fails must leave the
// conversation exactly as it was.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "conversation/conversation.h"
#include "conversation/conversation_file.h"
#include "conversation/scripted_prompt.h"
#include "settings/profile.h"

namespace {

std::string scratchFolder;
std::string scratchFile;

void removeScratch() {
  std::filesystem::remove_all(scratchFolder);
}

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Settings and files go to a scratch folder, never the user's own; in
  // memory when the system has a shared-memory file system, as every input
  // is written to a file.
  char inMemory[] = "/dev/shm/quelto-fuzz-XXXXXX";
  char onDisk[] = "/tmp/quelto-fuzz-XXXXXX";
  const char* folder = ::mkdtemp(inMemory);
  if (!folder) folder = ::mkdtemp(onDisk);
  if (!folder) std::abort();
  ::setenv("XDG_CONFIG_HOME", folder, 1);
  scratchFolder = folder;
  scratchFile = scratchFolder + "/input.tdd";
  std::atexit(removeScratch);
  // One profile that owns password-protected files, so the password path
  // runs too.
  quelto::Profile owner;
  owner.id = 1234567;
  owner.password = "secret";
  quelto::profileList().assign(1, quelto::Profile{});
  quelto::profileList().push_back(owner);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(scratchFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  quelto::Conversation c;
  c.ownerId = 1;
  c.caller = "unchanged";
  c.addSent('x');
  quelto::ScriptedPrompt prompt;
  prompt.answerPassword(std::string(size > 0 && data[0] & 1 ? "secret" : "wrong"));

  if (c.loadFromFile(scratchFile, prompt)) {
    check(!c.lines.empty());
    for (const auto& line : c.lines) check(!line->text.empty());
    const auto again = quelto::decodeConversationFile(quelto::encodeConversationFile(c));
    check(again.has_value());
    check(again->lines.size() == c.lines.size());
    for (size_t i = 0; i < c.lines.size(); ++i) check(again->lines[i]->text == c.lines[i]->text);
    check(again->caller == c.caller && again->notes == c.notes);
  } else {
    check(c.caller == "unchanged");
    check(c.lines.size() == 1 && c.lines[0]->text == std::string(1, '\0') + "x");
  }
  return 0;
}
