#include "app/single_instance.h"

#include <signal.h>
#include <sys/wait.h>

#include "app/restart.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quelto {
namespace {

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelto-instance-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir + "'";
    (void)!std::system(command.c_str());
  }
  std::string dir;
};

bool readable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

TEST_F(SingleInstanceTest, SecondStartFindsTheLockAndWakesTheFirst) {
  SingleInstance first(dir);
  ASSERT_TRUE(first.acquire());
  ASSERT_TRUE(first.holdsLock());
  ASSERT_GE(first.listenFd(), 0);
  EXPECT_FALSE(readable(first.listenFd(), 0));

  SingleInstance second(dir);
  EXPECT_FALSE(second.acquire());
  EXPECT_FALSE(second.holdsLock());
  EXPECT_TRUE(second.wakeRunning());

  ASSERT_TRUE(readable(first.listenFd(), 1000));
  EXPECT_TRUE(first.acceptWakeUp());
  EXPECT_FALSE(first.acceptWakeUp()) << "one connection, one wake-up";

  struct stat st;
  ASSERT_EQ(stat(first.socketPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SingleInstanceTest, ASecondStartHandsItsFileOver) {
  SingleInstance first(dir);
  ASSERT_TRUE(first.acquire());
  struct Case {
    std::string sent, received;
  };
  const Case cases[] = {
      {"/home/anne/Appels/m\xc3\xa9"
       "decin 12.tdd",
       "/home/anne/Appels/m\xc3\xa9"
       "decin 12.tdd"},
      {"", ""},
      {"/" + std::string(5000, 'x'), ""},  // longer than any path: a wake-up only
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.sent.substr(0, 40));
    EXPECT_TRUE(SingleInstance(dir).wakeRunning(tc.sent));
    ASSERT_TRUE(readable(first.listenFd(), 1000));
    std::string file = "before";
    EXPECT_TRUE(first.acceptWakeUp(&file));
    EXPECT_EQ(file, tc.received);
  }
}

TEST_F(SingleInstanceTest, AFailedRestartKeepsTheLockAndASuccessfulOneHandsItOn) {
  // The lock and the socket are close-on-exec: exec hands them on by
  // itself, and when it fails the program still holds them.
  SingleInstance first(dir);
  ASSERT_TRUE(first.acquire());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child's copy of the descriptors: a successful exec closes them.
    execlp("sleep", "sleep", "5", static_cast<char*>(nullptr));
    _exit(127);
  }
  first.release();  // only the child's copy could still hold it now
  SingleInstance next(dir);
  bool taken = false;
  for (int i = 0; i < 200 && !taken; ++i) {
    taken = next.acquire() && next.holdsLock();
    if (!taken) usleep(10000);
  }
  EXPECT_TRUE(taken) << "the exec'd program does not keep the lock";
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);

  char missing[] = "/nonexistent/quelto";
  char* argv[] = {missing, nullptr};
  RestartCommand restart(1, argv);
  unsetenv("QUELTOEXEC");
  restart.exec();  // fails and returns
  unsetenv("QUELTOEXEC");
  EXPECT_TRUE(next.holdsLock());
  EXPECT_FALSE(SingleInstance(dir).acquire()) << "a third start is still redirected";
  EXPECT_TRUE(SingleInstance(dir).wakeRunning());
}

TEST_F(SingleInstanceTest, ReleaseLetsTheNextStartRunAndNothingIsWokenAnyMore) {
  SingleInstance first(dir);
  ASSERT_TRUE(first.acquire());
  first.release();
  EXPECT_FALSE(SingleInstance(dir).wakeRunning());

  SingleInstance next(dir);
  EXPECT_TRUE(next.acquire());
  EXPECT_TRUE(next.holdsLock());
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedInstanceIsReplaced) {
  {
    SingleInstance crashed(dir);
    ASSERT_TRUE(crashed.acquire());
  }
  // The destructor removed it; leave a stale plain file in its place.
  std::string stale = dir + "/QueltoWakeUpMessage";
  FILE* f = std::fopen(stale.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);

  SingleInstance first(dir);
  ASSERT_TRUE(first.acquire());
  ASSERT_GE(first.listenFd(), 0);
  EXPECT_TRUE(SingleInstance(dir).wakeRunning());
  EXPECT_TRUE(readable(first.listenFd(), 1000));
}

TEST_F(SingleInstanceTest, AnUnusableFolderStillLetsTheProgramRun) {
  SingleInstance nowhere("/proc/quelto-cannot-exist");
  EXPECT_TRUE(nowhere.acquire());
  EXPECT_FALSE(nowhere.holdsLock());
}

TEST(SingleInstanceDirectory, RuntimeFolderFirstThenTheSettingsFolder) {
  setenv("XDG_RUNTIME_DIR", "/run/user/test", 1);
  EXPECT_EQ(SingleInstance::defaultDirectory(), "/run/user/test");
  unsetenv("XDG_RUNTIME_DIR");
  setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(SingleInstance::defaultDirectory(), "/tmp/cfg/quelto");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(SingleInstance::defaultDirectory(), "/home/someone/.config/quelto");
}

}  // namespace
}  // namespace quelto
