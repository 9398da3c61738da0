#include "conversation/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <atomic>

namespace quelto {

namespace {

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool writeAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

namespace {

std::string resolveLinks(const std::string& path) {
  std::string target = path;
  // As many links as the system itself follows; a loop stays a link and
  // the save then fails on it like any other unwritable name.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<size_t>(n) >= link.size()) return target;
    link.resize(static_cast<size_t>(n));
    target = (link[0] == '/') ? link : folderOf(target) + "/" + link;
  }
  return target;
}

}  // namespace

void removeStaleTemporaryFiles(const std::string& path) {
  const std::string folder = folderOf(path);
  const size_t slash = path.rfind('/');
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp-";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    // "<pid>-<n>": only the copies of processes that no longer run.
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-' || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    ::unlink((folder + "/" + name).c_str());
  }
  ::closedir(dir);
}

SafeWriteResult writeFileSafely(const std::string& name, const std::string& bytes) {
  if (name.empty()) return SafeWriteResult::CannotCreate;
  // Saving over a link keeps the link and brings its target up to date.
  const std::string path = resolveLinks(name);

  struct stat old {};
  const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // Permission bits, not access(): the owner of a file marked read-only
  // meant it, even when running as root.
  if (replacing && (old.st_mode & 0222) == 0) return SafeWriteResult::ReadOnly;
  removeStaleTemporaryFiles(path);

  // A name no other writer uses: the process id keeps two programs apart,
  // the counter two saves of this one.
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  std::string temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return SafeWriteResult::CannotCreate;
  }
  if (fd < 0) return SafeWriteResult::CannotCreate;

  if (replacing) ::fchmod(fd, old.st_mode & 07777);

  bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return SafeWriteResult::WriteFailed;
  }
  // Make the rename itself durable.
  const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return SafeWriteResult::Ok;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  // Non-blocking so that a named pipe given as a file cannot hang the
  // program; it is refused below with every other file that is not regular.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  std::string out;
  out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (r == 0) break;
    out.append(buf, static_cast<size_t>(r));
  }
  ::close(fd);
  if (ok) bytes = std::move(out);
  return ok;
}

}  // namespace quelto
