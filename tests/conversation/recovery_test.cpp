#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "conversation/conversation.h"
#include "conversation/conversation_file.h"
#include "conversation/recovery.h"
#include "conversation/scripted_prompt.h"
#include "scratch_env.h"

namespace quelto {
namespace {

namespace fs = std::filesystem;

class Recovery : public testing::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ::setenv("XDG_STATE_HOME", path("state").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XDG_STATE_HOME");
    ScratchTest::TearDown();
  }
};

std::string bytesOf(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void type(Conversation& c, const std::string& text) {
  for (const char ch : text) c.addSent(static_cast<unsigned char>(ch));
}

mode_t modeOf(const std::string& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 0777;
}

TEST_F(Recovery, FolderAndDefaults) {
  EXPECT_EQ(stateFolder(), path("state") + "/quelto");
  EXPECT_EQ(RecoveryCopy().path(), path("state") + "/quelto/recovery.tdd");
  ::setenv("XDG_STATE_HOME", "relative/ignored", 1);
  EXPECT_EQ(stateFolder(), path("") + ".local/state/quelto");
}

TEST_F(Recovery, TheCopyFollowsTheConversationAndGoesWhenNothingIsLeftToLose) {
  RecoveryCopy copy;
  Conversation c;
  copy.update(c, "");
  EXPECT_FALSE(copy.exists()) << "an untouched conversation has nothing to keep";

  type(c, "HELLO GA");
  copy.update(c, "");
  ASSERT_TRUE(copy.exists());
  EXPECT_EQ(modeOf(stateFolder()), 0700u);
  EXPECT_EQ(modeOf(copy.path()), 0600u);
  EXPECT_EQ(bytesOf(copy.path()), encodeConversationFileWithoutPassword(c));

  // Unchanged: not written again (a different inode would show a write).
  struct stat before {
  }, after{};
  ::stat(copy.path().c_str(), &before);
  copy.update(c, "");
  ::stat(copy.path().c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);

  type(c, " MORE");
  copy.update(c, "");
  EXPECT_EQ(bytesOf(copy.path()), encodeConversationFileWithoutPassword(c));

  c.clear();  // cleared by the user: an empty conversation
  copy.update(c, "");
  EXPECT_FALSE(copy.exists());

  type(c, "AGAIN");
  copy.update(c, "");
  EXPECT_TRUE(copy.exists());
  c.modified = 0;  // saved or discarded
  copy.update(c, "");
  EXPECT_FALSE(copy.exists());
}

TEST_F(Recovery, AProtectedProfileGetsAProtectedCopyThatRestores) {
  currentProfile().id = 42;
  currentProfile().password = "s3cret";
  RecoveryCopy copy;
  Conversation c;
  c.ownerId = 42;
  c.ownerName = "Anne";
  type(c, "MY BANK PIN IS 1234");
  copy.update(c, "s3cret");
  const std::string bytes = bytesOf(copy.path());
  EXPECT_EQ(bytes.find("BANK"), std::string::npos);
  EXPECT_TRUE(readProtectedHeader(bytes).has_value());

  Conversation back;
  back.ownerId = 42;
  back.fileName = "/somewhere/else.tdd";
  ScriptedPrompt prompt;
  ASSERT_TRUE(copy.restore(back, prompt));
  EXPECT_TRUE(prompt.calls.empty()) << "the profile's own password opens it";
  EXPECT_EQ(back.lines.back()->text, c.lines.back()->text);
  EXPECT_EQ(back.fileName, "") << "never saved where the user chose";
  EXPECT_EQ(back.modified, 1);
}

TEST_F(Recovery, AKilledProgramLeavesTheTextItHadTyped) {
  // A child types and keeps its copy up to date as the program's timer
  // does, and is killed at once; the next start finds the copy and the text.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RecoveryCopy copy;
    Conversation c;
    type(c, "CALL THE DOCTOR");
    copy.update(c, "");
    ::kill(::getpid(), SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  RecoveryCopy copy;
  ASSERT_TRUE(copy.exists());
  Conversation c;
  ScriptedPrompt prompt;
  ASSERT_TRUE(copy.restore(c, prompt));
  EXPECT_EQ(c.lines.back()->text, std::string(1, '\0') + "CALL THE DOCTOR");
}

}  // namespace
}  // namespace quelto
