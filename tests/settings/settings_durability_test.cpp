// A process killed while it writes settings must leave a store that opens,
// passes SQLite's integrity check, and holds every write that was reported
// as committed before the kill.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <vector>

#include "settings/settings_store.h"
#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

using SettingsDurabilityTest = ScratchStore;

std::string key(int round, int i) {
  return "r" + std::to_string(round) + "\\k" + std::to_string(i);
}

// The child: single writes and batches of 25 in turn, forever. After each
// commit it tells the parent the highest index now committed.
[[noreturn]] void writeUntilKilled(int round, int reportFd) {
  for (int i = 0;;) {
    int last = -1;
    if ((i / 25) % 2 == 0) {
      if (setSettingInt(key(round, i), i) == kSettingWriteOk &&
          setSettingInt("Counter", i) == kSettingWriteOk) {
        last = i;
      }
      ++i;
    } else {
      SettingsBatch batch;
      bool ok = true;
      for (int j = 0; j < 25; ++j, ++i)
        ok = setSettingInt(key(round, i), i) == kSettingWriteOk && ok;
      ok = setSettingInt("Counter", i - 1) == kSettingWriteOk && ok;
      if (batch.finish() == kSettingWriteOk && ok) last = i - 1;
    }
    if (last < 0) _exit(3);
    if (write(reportFd, &last, sizeof last) != sizeof last) _exit(4);
  }
}

TEST_F(SettingsDurabilityTest, KilledWriterNeverLosesCommittedSettings) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> delayMs(20, 150);
  constexpr int kRounds = 40;
  int totalChecked = 0;
  int roundsWithCommits = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    closeSettingsStore();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      writeUntilKilled(round, fds[1]);
    }
    close(fds[1]);
    usleep(static_cast<useconds_t>(delayMs(random) * 1000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with " << status;

    int committed = -1;
    for (int value; read(fds[0], &value, sizeof value) == sizeof value;) committed = value;
    close(fds[0]);

    if (committed < 0) continue;  // killed before the first commit
    ASSERT_TRUE(storeExists());
    {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(storeFile().c_str(), &db), SQLITE_OK);
      sqlite3_stmt* stmt = nullptr;
      ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr), SQLITE_OK);
      ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
      EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "ok");
      sqlite3_finalize(stmt);
      sqlite3_close(db);
    }
    for (int i = 0; i <= committed; ++i) {
      ASSERT_EQ(getSettingInt(key(round, i), -1), i) << "lost committed write " << i;
    }
    EXPECT_GE(getSettingInt("Counter", -1), committed);
    totalChecked += committed + 1;
    ++roundsWithCommits;
  }
  // Most kills must land while writes are going on, not before the first.
  EXPECT_GE(roundsWithCommits, kRounds / 2);
  std::printf("checked %d committed writes over %d kills\n", totalChecked, kRounds);
}

}  // namespace
}  // namespace quelto
