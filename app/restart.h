// The command line as the program was started, kept for restarting itself.
//
// A restart replaces the process with a new run of the same command line.
// The program path comes from QUELTOEXEC when it is set (a restarted process
// inherits it); otherwise QUELTOEXEC is set to the first argument, so that
// every later restart starts the same program. User-interface thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quelto {

class RestartCommand {
 public:
  RestartCommand() = default;
  RestartCommand(int argc, char** argv);

  const std::vector<std::string>& arguments() const { return arguments_; }

  // Reads QUELTOEXEC on the first call and remembers it; when it is unset,
  // sets it to the first argument, otherwise puts its value in place of the
  // first argument. Returns the arguments to run.
  const std::vector<std::string>& prepare();

  // prepare(), then execvp. Returns only when the exec failed.
  void exec();

 private:
  std::vector<std::string> arguments_;
  bool checked_ = false;
  std::optional<std::string> restartPath_;
};

// What the two switches of the program's own ask for: "-capture" (exact,
// case-sensitive) turns signal capture on; "-dsp" followed by a further
// argument names the raw input dump ("-dsp" last is ignored). Every other
// argument is left to the toolkit.
struct ProgramSwitches {
  bool capture = false;
  std::optional<std::string> dumpPath;
};
ProgramSwitches readProgramSwitches(int argc, char** argv);

// How many arguments from argv[i] on are one of those switches: 1 for
// "-capture" and a last "-dsp", 2 for "-dsp" and its file, 0 for anything
// else. readProgramSwitches walks the arguments with it, and the toolkit's
// argument parser skips what it counts, so both read the switches alike.
int programSwitchLength(int argc, char** argv, int i);

}  // namespace quelto
