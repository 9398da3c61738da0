#include "app/restart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace quelto {
namespace {

struct Argv {
  explicit Argv(std::vector<std::string> a) : args(std::move(a)) {
    for (auto& s : args) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(args.size()); }
  char** argv() { return ptrs.data(); }
  std::vector<std::string> args;
  std::vector<char*> ptrs;
};

TEST(ProgramSwitches, CaptureAndDumpAreReadAndEverythingElseIsLeft) {
  struct Case {
    std::vector<std::string> args;
    bool capture;
    const char* dump;
  } cases[] = {
      {{"quelto"}, false, nullptr},
      {{"quelto", "-capture"}, true, nullptr},
      {{"quelto", "-Capture"}, false, nullptr},
      {{"quelto", "-dsp"}, false, nullptr},
      {{"quelto", "-dsp", "in.raw", "-capture"}, true, "in.raw"},
      {{"quelto", "-geometry", "515x400", "-dsp", "-capture"}, false, "-capture"},
  };
  for (auto& c : cases) {
    Argv a(c.args);
    ProgramSwitches s = readProgramSwitches(a.argc(), a.argv());
    EXPECT_EQ(s.capture, c.capture) << c.args.size();
    EXPECT_EQ(s.dumpPath.has_value(), c.dump != nullptr);
    if (c.dump && s.dumpPath) {
      EXPECT_EQ(*s.dumpPath, c.dump);
    }
  }
}

// What the toolkit's parser is told to skip at each position.
TEST(ProgramSwitches, LengthsTheToolkitSkips) {
  Argv a({"quelto", "-capture", "-geometry", "515x400", "-dsp", "in.raw", "-Capture", "-dsp"});
  const int expected[] = {0, 1, 0, 0, 2, 0, 0, 1};
  for (int i = 0; i < a.argc(); ++i)
    EXPECT_EQ(programSwitchLength(a.argc(), a.argv(), i), expected[i]) << i;
  EXPECT_EQ(programSwitchLength(a.argc(), a.argv(), a.argc()), 0);
}

TEST(RestartCommand, SetsQueltoExecOnceAndKeepsTheArguments) {
  unsetenv("QUELTOEXEC");
  Argv a({"build/app/quelto", "-fg", "black"});
  RestartCommand command(a.argc(), a.argv());
  EXPECT_EQ(command.prepare(), a.args);
  ASSERT_NE(std::getenv("QUELTOEXEC"), nullptr);
  EXPECT_STREQ(std::getenv("QUELTOEXEC"), "build/app/quelto");
  // A second attempt in the same process gives the same command line.
  EXPECT_EQ(command.prepare(), a.args);
  unsetenv("QUELTOEXEC");
}

TEST(RestartCommand, ARestartedProcessRunsThePathFromQueltoExec) {
  setenv("QUELTOEXEC", "/opt/quelto/bin/quelto", 1);
  Argv a({"quelto", "-capture"});
  RestartCommand command(a.argc(), a.argv());
  const std::vector<std::string> expected = {"/opt/quelto/bin/quelto", "-capture"};
  EXPECT_EQ(command.prepare(), expected);
  // The variable is read once: a later change does not move the program.
  setenv("QUELTOEXEC", "/elsewhere", 1);
  EXPECT_EQ(command.prepare(), expected);
  unsetenv("QUELTOEXEC");
}

TEST(RestartCommand, AFailedExecReturns) {
  unsetenv("QUELTOEXEC");
  Argv a({"/nonexistent/quelto-not-here"});
  RestartCommand command(a.argc(), a.argv());
  command.exec();
  // Still here: the caller shows its alert and the program goes on.
  ASSERT_NE(std::getenv("QUELTOEXEC"), nullptr);
  EXPECT_STREQ(std::getenv("QUELTOEXEC"), "/nonexistent/quelto-not-here");
  unsetenv("QUELTOEXEC");
}

}  // namespace
}  // namespace quelto
