// Runs a program the way a script would, for tests of whole programs:
// arguments without a shell, text on standard input, both outputs and the
// exit status captured.
#pragma once

#include <string>
#include <vector>

namespace quelto::testing {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs argv[0] (a path, or a name looked up in PATH) with the arguments.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = "");

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace quelto::testing
