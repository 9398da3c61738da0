// One running instance per user: the first start holds an exclusive lock on
// "QueltoSemaphore" for the life of the process and listens on the Unix
// socket "QueltoWakeUpMessage" beside it; a second start finds the lock
// taken, connects to the socket, sends one byte (1) or, when it was given a
// file, the byte 2 and the file's absolute path, and ends; the first one
// raises its main window when the message arrives, and opens the file.
//
// Both files live in $XDG_RUNTIME_DIR, or in the settings folder
// ($XDG_CONFIG_HOME/quelto, default ~/.config/quelto) when it is unset.
// Descriptors are close-on-exec, so a restart's exec gives the lock up to
// the new process by itself, and a failed one keeps it.
//
// User-interface thread only. No toolkit code here: the program hands
// listenFd() to Fl::add_fd and calls acceptWakeUp() when it is readable.
#pragma once

#include <string>

namespace quelto {

class SingleInstance {
 public:
  // The folder given, or defaultDirectory() when empty.
  explicit SingleInstance(std::string directory = std::string());
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  static std::string defaultDirectory();

  // Takes the lock without waiting. True: this is the first instance (also
  // when the lock file cannot be created at all: the program then runs
  // unguarded rather than not at all), and it now listens for wake-ups.
  // False: another instance holds the lock.
  bool acquire();

  // Second start: wakes the running instance and, when `file` (an absolute
  // path) is not empty, hands it the file to open. False when it could not
  // be reached.
  bool wakeRunning(const std::string& file = std::string()) const;

  // The listening socket (-1 when none), readable when a wake-up arrives.
  int listenFd() const { return listenFd_; }

  // Takes one pending wake-up connection and its message. True when a
  // wake-up was received; `file`, when given, is set to the file handed
  // over ("" for none).
  bool acceptWakeUp(std::string* file = nullptr);

  // Closes the lock and the socket: a later start is no longer redirected.
  void release();

  bool holdsLock() const { return lockFd_ >= 0; }
  std::string lockPath() const { return directory_ + "/QueltoSemaphore"; }
  std::string socketPath() const { return directory_ + "/QueltoWakeUpMessage"; }

 private:
  static constexpr char kWakeUp = 1;
  static constexpr char kOpenFile = 2;
  static constexpr size_t kMaxFileName = 4096;

  void listen();

  std::string directory_;
  int lockFd_ = -1;
  int listenFd_ = -1;
};

}  // namespace quelto
