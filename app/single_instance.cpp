#include "app/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quelto {

namespace {

bool fillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void makeDirectories(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
  }
}

}  // namespace

SingleInstance::SingleInstance(std::string directory)
    : directory_(directory.empty() ? defaultDirectory() : std::move(directory)) {}

SingleInstance::~SingleInstance() {
  release();
}

std::string SingleInstance::defaultDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return runtime;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config) return std::string(config) + "/quelto";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/quelto";
}

bool SingleInstance::acquire() {
  if (lockFd_ >= 0) return true;
  makeDirectories(directory_);
  int fd = open(lockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool taken = errno == EWOULDBLOCK;
    close(fd);
    return !taken;
  }
  lockFd_ = fd;
  listen();
  return true;
}

// The lock holder owns the socket name: a file left by a crashed instance is
// replaced.
void SingleInstance::listen() {
  sockaddr_un address;
  if (!fillAddress(socketPath(), address)) return;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  unlink(socketPath().c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0) {
    close(fd);
    return;
  }
  chmod(socketPath().c_str(), 0600);
  listenFd_ = fd;
}

bool SingleInstance::wakeRunning(const std::string& file) const {
  sockaddr_un address;
  if (!fillAddress(socketPath(), address)) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool sent = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string message = (file.empty() ? std::string(1, kWakeUp) : kOpenFile + file);
    sent = send(fd, message.data(), message.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(message.size());
  }
  close(fd);
  return sent;
}

bool SingleInstance::acceptWakeUp(std::string* file) {
  if (file) file->clear();
  if (listenFd_ < 0) return false;
  int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return false;
  // Any connection is a wake-up. Its bytes are waited for briefly so that
  // the sender's write finds the socket open; a peer that sends nothing, or
  // never ends, cannot stall the event loop for longer than that.
  std::string message;
  char buffer[1024];
  pollfd p{fd, POLLIN, 0};
  while (message.size() <= kMaxFileName && poll(&p, 1, 200) == 1) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    message.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  if (file && message.size() > 1 && message.size() <= kMaxFileName && message[0] == kOpenFile &&
      message.find('\0') == std::string::npos)
    *file = message.substr(1);
  return true;
}

void SingleInstance::release() {
  if (listenFd_ >= 0) {
    close(listenFd_);
    unlink(socketPath().c_str());
    listenFd_ = -1;
  }
  if (lockFd_ >= 0) {
    close(lockFd_);
    lockFd_ = -1;
  }
}

}  // namespace quelto
