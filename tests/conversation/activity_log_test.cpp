#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "conversation/activity_log.h"
#include "conversation/conversation.h"
#include "conversation/scripted_prompt.h"
#include "scratch_env.h"
#include "settings/settings_store.h"

namespace quelto {
namespace {

namespace fs = std::filesystem;

class ActivityLog : public testing::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ::setenv("USERNAME", "marie", 1);
    ::setenv("COMPUTERNAME", "salon", 1);
    fs::create_directory(dir / "logs");
    prefix = (dir / "logs").string() + "/call-";
    setActivityLogClock([] {
      std::tm t{};
      t.tm_year = 2026 - 1900;
      t.tm_mon = 11;
      t.tm_mday = 9;
      t.tm_hour = 8;
      t.tm_min = 5;
      t.tm_sec = 3;
      return t;
    });
    startActivityLog(prefix);
  }
  void TearDown() override {
    ::unsetenv("USERNAME");
    ::unsetenv("COMPUTERNAME");
    ScratchTest::TearDown();
  }

  std::string logName(int n) const {
    return prefix + "marie-salon-20261209-" + std::to_string(n) + ".txt";
  }
  static std::string contents(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string prefix;
};

constexpr const char* kStamp = "2026-12-09 08:05:03";

std::string heading(const char* name) {
  return std::string("\\") + name + " " + kStamp + "\n";
}

TEST_F(ActivityLog, AShortConversationWithABackspaceAndTwoSaves) {
  currentProfile().receivedTextCapitals = 1;
  {
    Conversation c;
    for (const char ch : std::string("ALLO\n")) c.addReceived(static_cast<unsigned char>(ch));
    c.addReceived('G');
    c.backspace(true);
    c.addReceived('A');
    for (const char ch : std::string("oui")) c.addSent(static_cast<unsigned char>(ch));
    c.backspace(false);
    c.fileName = path("call.tdd");
    ASSERT_TRUE(c.saveToFile());
    ASSERT_TRUE(c.saveToFile());
  }  // the conversation ends: QUIT closes the file
  EXPECT_EQ(contents(logName(1)), "USERNAME: marie\n" + heading("RECEIVING") +
                                      "ALLO\nG\\BACKSPACE A\n" + heading("SENDING") +
                                      "oui\\BACKSPACE \n" + heading("SAVING") + "\n" +
                                      heading("QUIT"));
  EXPECT_FALSE(fs::exists(logName(2)));
  EXPECT_EQ(getSettingInt("LogFileNextId", 1), 2);

  struct stat st {};
  ASSERT_EQ(::stat(logName(1).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // private conversations
}

// Line events are headings like the file events: one per change, the
// received text after them under its own heading.
TEST_F(ActivityLog, LineEventsAreHeadingsBetweenTheCharacters) {
  {
    Conversation c;
    for (LineEvent e : {LineEvent::DialTone, LineEvent::Quiet, LineEvent::Ringing,
                        LineEvent::Ringing, LineEvent::Voice, LineEvent::Quiet})
      logEvent(logCodeFor(e));
    c.addReceived('G');
    c.addReceived('A');
    logEvent(logCodeFor(LineEvent::Busy));
    logEvent(logCodeFor(LineEvent::Reorder));
    logEvent(logCodeFor(LineEvent::Quiet));
  }
  EXPECT_EQ(contents(logName(1)),
            "USERNAME: marie\n" + heading("DIAL_TONE") + "\n" + heading("LINE_QUIET") + "\n" +
                heading("RINGING") + "\n" + heading("VOICE") + "\n" + heading("LINE_QUIET") + "\n" +
                heading("RECEIVING") + "GA\n" + heading("BUSY") + "\n" + heading("REORDER") + "\n" +
                heading("LINE_QUIET") + "\n" + heading("QUIT"));
}

TEST_F(ActivityLog, LoadingWritesLoadingFileThenNewWhichClosesTheFile) {
  {
    Conversation saved;
    saved.addSent('x');
    ASSERT_TRUE(saved.saveAs(path("call.tdd")));
  }
  // That run used files 1 (x, SAVING, QUIT).
  Conversation c;
  c.addSent('a');
  ScriptedPrompt prompt;
  ASSERT_TRUE(c.loadFromFile(path("call.tdd"), prompt));
  c.addReceived('b');
  EXPECT_EQ(contents(logName(2)), "USERNAME: marie\n" + heading("SENDING") + "a\n" +
                                      heading("LOADING_FILE") + "\n" + heading("NEW"));
  EXPECT_EQ(contents(logName(3)), "USERNAME: marie\n" + heading("RECEIVING") + "B");
  EXPECT_EQ(activityLogPath(), logName(3));
}

TEST_F(ActivityLog, NumberingSkipsFilesThatExist) {
  setSettingInt("LogFileNextId", 3);
  std::ofstream(logName(3)) << "old";
  std::ofstream(logName(4)) << "old";
  logEvent(LogCode::SavingRtf);
  EXPECT_EQ(activityLogPath(), logName(5));
  EXPECT_EQ(getSettingInt("LogFileNextId", 1), 6);
  EXPECT_EQ(contents(logName(3)), "old");
  EXPECT_EQ(contents(logName(4)), "old");
}

TEST_F(ActivityLog, WithoutUsernameTheFileIsNamedForTheUserAndHasNoUsernameLine) {
  ::unsetenv("USERNAME");
  ::setenv("USER", "paul", 1);
  logEvent(LogCode::Sent, 'z');
  EXPECT_EQ(activityLogPath(), prefix + "paul-salon-20261209-1.txt");
  EXPECT_EQ(contents(activityLogPath()), heading("SENDING") + "z");
}

TEST_F(ActivityLog, AFileThatCannotBeCreatedTurnsLoggingOffForTheRun) {
  // A plain file where the folder should be: neither the folder nor the
  // log file can be made.
  std::ofstream(dir / "not-a-folder") << "x";
  startActivityLog((dir / "not-a-folder").string() + "/call-");
  logEvent(LogCode::Sent, 'a');
  EXPECT_FALSE(activityLogEnabled());
  EXPECT_EQ(getSettingInt("LogFileNextId", 1), 1);
  fs::remove(dir / "not-a-folder");
  fs::create_directory(dir / "not-a-folder");
  logEvent(LogCode::Sent, 'b');  // still off, even now that it could work
  EXPECT_TRUE(fs::is_empty(dir / "not-a-folder"));
}

TEST_F(ActivityLog, MissingFoldersOfThePrefixAreMadePrivate) {
  const fs::path folder = dir / "state" / "quelto" / "logs";
  startActivityLog(folder.string() + "/");
  EXPECT_TRUE(fs::is_directory(folder)) << "made when the log is turned on";
  for (const fs::path& p : {folder, folder.parent_path(), folder.parent_path().parent_path()})
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms::owner_all) << p;
  // Removed while the program runs: made again for the next file.
  fs::remove_all(dir / "state");
  logEvent(LogCode::Received, 'q');
  EXPECT_TRUE(activityLogEnabled());
  EXPECT_EQ(activityLogPath().rfind(folder.string() + "/", 0), 0u) << activityLogPath();
  const std::string text = contents(activityLogPath());
  const std::string entry = heading("RECEIVING") + "q";
  EXPECT_EQ(text.substr(text.size() - std::min(text.size(), entry.size())), entry);
}

TEST_F(ActivityLog, AnEmptyPrefixLogsNothing) {
  startActivityLog("");
  Conversation c;
  c.addSent('a');
  EXPECT_FALSE(activityLogEnabled());
  EXPECT_TRUE(fs::is_empty(dir / "logs"));
}

}  // namespace
}  // namespace quelto
