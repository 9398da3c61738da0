#include "app/single_instance.h"

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
