#include "tests/cli/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quelto::testing {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quelto-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input) {
  ScratchDir io;
  const std::string in = io.file("in"), out = io.file("out"), err = io.file("err");
  std::ofstream(in, std::ios::binary) << input;

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int fin = open(in.c_str(), O_RDONLY);
    const int fout = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int ferr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fin < 0 || fout < 0 || ferr < 0) _exit(127);
    dup2(fin, 0);
    dup2(fout, 1);
    dup2(ferr, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ProcessResult r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

}  // namespace quelto::testing
