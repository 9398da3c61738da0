#include "conversation/file_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversation/conversation.h"
#include "conversation/prompt.h"
#include "conversation/scripted_prompt.h"
#include "scratch_env.h"
#include "settings/global_settings.h"
#include "settings/translation.h"

namespace quelto {
namespace {

// The main window's part, recorded: the names the title showed, how often
// File Info was asked (answering `fileInfoAnswer`), the clears and reloads.
struct RecordedWindow : FileCommandsWindow {
  explicit RecordedWindow(Conversation& c) : conversation(c) {}
  void showConversationName(const std::string& name) override { names.push_back(name); }
  bool askFileInfo() override {
    ++fileInfoAsked;
    return fileInfoAnswer;
  }
  void clearConversation() override {
    conversation.clear();
    ++cleared;
  }
  void showReplacedConversation() override { ++replaced; }

  Conversation& conversation;
  std::vector<std::string> names;
  bool fileInfoAnswer = true;
  int fileInfoAsked = 0;
  int cleared = 0;
  int replaced = 0;
};

class FileCommandsTest : public testing::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    forgetChosenFile();
  }

  void type(const std::string& text) {
    for (const char ch : text) conversation.addSent(static_cast<unsigned char>(ch));
  }

  Conversation conversation;
  ScriptedPrompt prompt;
  RecordedWindow window{conversation};
  FileCommands files{conversation, prompt, window};
};

// New and Open replace the conversation: with "ConfirmFileNew" on, Cancel
// keeps everything and Open shows no chooser; No goes on.
TEST_F(FileCommandsTest, NewAndOpenAskFirstAndCancelKeepsEverything) {
  ASSERT_TRUE(readSetting(setting::kConfirmFileNew)) << "on unless the user turned it off";
  type("KEEP ME");
  conversation.caller = "ALICE";
  conversation.fileName = path("call.tdd");

  prompt.answerChoice(0);
  files.newConversation();
  prompt.answerChoice(0);
  files.open();
  EXPECT_EQ(prompt.calls.size(), 2u) << "two questions, no chooser";
  EXPECT_EQ(window.cleared, 0);
  EXPECT_TRUE(window.names.empty());
  EXPECT_EQ(conversation.caller, "ALICE");
  EXPECT_EQ(conversation.fileName, path("call.tdd"));
  EXPECT_EQ(conversation.modified, 1);

  currentProfile().id = 1700000000;
  conversation.incoming = 0;
  prompt.answerChoice(2);  // No
  files.newConversation();
  EXPECT_EQ(window.cleared, 1);
  EXPECT_EQ(window.names, std::vector<std::string>{"Conversation1"});
  EXPECT_EQ(conversation.fileName, "");
  EXPECT_EQ(conversation.caller, "");
  EXPECT_EQ(conversation.incoming, 1);
  EXPECT_EQ(conversation.ownerId, 1700000000u);
  EXPECT_EQ(conversation.modified, 0);
  EXPECT_EQ(prompt.unanswered(), 0);

  // Nothing left to lose: no question.
  files.newConversation();
  EXPECT_EQ(prompt.calls.size(), 3u);
}

// Yes in the save question saves (File Info, then the chooser) and the
// title names the file; opening it again shows it under that name.
TEST_F(FileCommandsTest, YesSavesUnderTheChosenNameAndOpenShowsItAgain) {
  type("HELLO GA");
  prompt.answerChoice(1).answerFile(path("call.tdd"));
  EXPECT_TRUE(files.askToSaveChanges());
  EXPECT_EQ(window.fileInfoAsked, 1);
  EXPECT_EQ(window.names, std::vector<std::string>{"call.tdd"});
  EXPECT_EQ(conversation.modified, 0);
  const std::string saved = conversation.lines[0]->text;

  files.newConversation();
  ASSERT_NE(conversation.lines[0]->text, saved);
  prompt.answerFile(path("call.tdd"));
  files.open();
  EXPECT_EQ(window.names.back(), "call.tdd");
  EXPECT_EQ(window.replaced, 1);
  EXPECT_EQ(conversation.lines[0]->text, saved);
  EXPECT_EQ(conversation.modified, 0) << "just opened: nothing to save";
  EXPECT_EQ(prompt.unanswered(), 0);
  EXPECT_EQ(prompt.pending(), 0u);

  // A file that cannot be read: refused through the prompt, nothing shown.
  EXPECT_FALSE(files.openFile(path("missing.tdd")));
  EXPECT_EQ(window.replaced, 1);
}

// Save over a file that can no longer be written says so, then offers Save
// As; File Info cancelled there ends it with the text still unsaved. A
// failed Save As keeps the name the conversation had.
TEST_F(FileCommandsTest, FailedWritesSaySoAndKeepTheTextUnsaved) {
  type("HELLO GA");
  conversation.fileName = "/proc/call.tdd";  // /proc takes no new files, even for root
  window.fileInfoAnswer = false;
  files.save();
  EXPECT_EQ(prompt.alerts(), std::vector<std::string>{translate(Text::FileNotWritten)});
  EXPECT_EQ(window.fileInfoAsked, 1) << "Save As offered";
  EXPECT_EQ(conversation.modified, 1);

  window.fileInfoAnswer = true;
  conversation.fileName = path("earlier.tdd");
  prompt.answerFile(std::string("/proc/other.tdd"));
  files.saveAs();
  EXPECT_EQ(prompt.alerts().size(), 2u);
  EXPECT_EQ(conversation.fileName, path("earlier.tdd"));
  EXPECT_TRUE(window.names.empty()) << "the title still names the file the text is in";
  EXPECT_EQ(conversation.modified, 1);

  // Yes whose save fails asks again; No then goes on without saving.
  conversation.fileName.clear();
  prompt.answerChoice(1).answerFile(std::string("/proc/third.tdd")).answerChoice(2);
  EXPECT_TRUE(files.askToSaveChanges());
  EXPECT_EQ(prompt.unanswered(), 0);
  EXPECT_EQ(conversation.modified, 1);
}

}  // namespace
}  // namespace quelto
