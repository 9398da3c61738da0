#include "app/restart.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace quelto {

RestartCommand::RestartCommand(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) arguments_.emplace_back(argv[i]);
}

const std::vector<std::string>& RestartCommand::prepare() {
  if (!checked_) {
    checked_ = true;
    if (const char* value = std::getenv("QUELTOEXEC")) restartPath_ = value;
  }
  if (arguments_.empty()) return arguments_;
  if (restartPath_)
    arguments_[0] = *restartPath_;
  else
    setenv("QUELTOEXEC", arguments_[0].c_str(), 1);
  return arguments_;
}

void RestartCommand::exec() {
  const std::vector<std::string>& args = prepare();
  if (args.empty()) return;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
}

int programSwitchLength(int argc, char** argv, int i) {
  if (i < 0 || i >= argc) return 0;
  if (std::strcmp(argv[i], "-capture") == 0) return 1;
  if (std::strcmp(argv[i], "-dsp") == 0) return i + 1 < argc ? 2 : 1;
  return 0;
}

ProgramSwitches readProgramSwitches(int argc, char** argv) {
  ProgramSwitches s;
  for (int i = 1; i < argc;) {
    const int length = programSwitchLength(argc, argv, i);
    if (length == 0) {
      ++i;
      continue;
    }
    if (std::strcmp(argv[i], "-capture") == 0) s.capture = true;
    if (length == 2) s.dumpPath = argv[i + 1];
    i += length;
  }
  return s;
}

}  // namespace quelto
