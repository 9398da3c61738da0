#include "conversation/activity_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "settings/data_folders.h"
#include "settings/global_settings.h"

namespace quelto {

namespace {

struct LogState {
  bool enabled = false;
  std::string prefix;
  std::FILE* file = nullptr;
  std::string path;
  int lastCode = 0;
  std::function<std::tm()> clock;
};

LogState& state() {
  static LogState s;
  return s;
}

std::tm now() {
  LogState& s = state();
  if (s.clock) return s.clock();
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string envOr(const char* name, const char* fallbackName, const std::string& last) {
  const char* v = std::getenv(name);
  if (v && *v) return v;
  if (fallbackName) {
    v = std::getenv(fallbackName);
    if (v && *v) return v;
  }
  return last;
}

std::string hostName() {
  const char* v = std::getenv("COMPUTERNAME");
  if (v && *v) return v;
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) == 0 && buf[0]) return buf;
  return "host";
}

void closeFile() {
  LogState& s = state();
  if (s.file) std::fclose(s.file);
  s.file = nullptr;
  s.path.clear();
  s.lastCode = 0;
}

// The folder part of a prefix ("/home/u/logs/" of "/home/u/logs/call-"),
// created 0700 where missing: the logs hold private conversations.
void makePrefixFolder(const std::string& prefix) {
  const size_t slash = prefix.rfind('/');
  if (slash != std::string::npos && slash > 0) makePrivateFolders(prefix.substr(0, slash + 1));
}

bool openFile() {
  LogState& s = state();
  const std::tm tm = now();
  char date[32];
  std::snprintf(date, sizeof date, "%.4d%.2d%.2d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  const std::string base =
      s.prefix + envOr("USERNAME", "USER", "user") + "-" + hostName() + "-" + date;

  // The folder may have been removed since the log was turned on.
  makePrefixFolder(s.prefix);
  for (int n = readSetting(setting::kLogFileNextId);; ++n) {
    const std::string name = base + "-" + std::to_string(n) + ".txt";
    // O_EXCL both skips a number already used and makes the check and the
    // creation one step.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      s.enabled = false;
      return false;
    }
    s.file = ::fdopen(fd, "w");
    if (!s.file) {
      ::close(fd);
      s.enabled = false;
      return false;
    }
    s.path = name;
    writeSetting(setting::kLogFileNextId, n + 1);
    return true;
  }
}

const char* heading(int code) {
  switch (code) {
    case 1:
      return "\\RECEIVING %s\n";
    case 2:
      return "\\SENDING %s\n";
    case 3:
      return "\\SAVING %s\n";
    case 4:
      return "\\SAVING_RTF %s\n";
    case 5:
      return "\\LOADING_FILE %s\n";
    case 6:
      return "\\NEW %s\n";
    case 8:
      return "\\DIAL_TONE %s\n";
    case 9:
      return "\\RINGING %s\n";
    case 10:
      return "\\BUSY %s\n";
    case 11:
      return "\\REORDER %s\n";
    case 12:
      return "\\VOICE %s\n";
    case 13:
      return "\\LINE_QUIET %s\n";
    case 14:
      return "\\NOT_SENT %s\n";
    default:
      return "\\QUIT %s\n";
  }
}

void writeCharacter(std::FILE* f, unsigned char ch) {
  if (ch != 0)
    std::fputc(ch, f);
  else
    std::fputs("\\BACKSPACE ", f);
}

}  // namespace

LogCode logCodeFor(LineEvent event) {
  switch (event) {
    case LineEvent::DialTone:
      return LogCode::DialTone;
    case LineEvent::Ringing:
      return LogCode::Ringing;
    case LineEvent::Busy:
      return LogCode::Busy;
    case LineEvent::Reorder:
      return LogCode::Reorder;
    case LineEvent::Voice:
      return LogCode::Voice;
    case LineEvent::Quiet:
      break;
  }
  return LogCode::LineQuiet;
}

void startActivityLog(const std::string& prefix) {
  closeFile();
  LogState& s = state();
  s.prefix = prefix;
  s.enabled = !prefix.empty();
  // Made now, so that turning the log on shows where it goes before the
  // first entry.
  makePrefixFolder(prefix);
}

void stopActivityLog() {
  closeFile();
  state().enabled = false;
}

bool activityLogEnabled() {
  return state().enabled;
}

void setActivityLogClock(std::function<std::tm()> clock) {
  state().clock = std::move(clock);
}

std::string activityLogPath() {
  return state().path;
}

void logEvent(LogCode logCode, unsigned char ch) {
  LogState& s = state();
  if (!s.enabled) return;
  if (!s.file && !openFile()) return;

  const int code = static_cast<int>(logCode);
  const bool isCharacter = logCode == LogCode::Received || logCode == LogCode::Sent;
  if (code != s.lastCode) {
    if (s.lastCode != 0) {
      std::fputc('\n', s.file);
    } else {
      const char* user = std::getenv("USERNAME");
      if (user && *user) std::fprintf(s.file, "USERNAME: %s\n", user);
    }
    const std::tm tm = now();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::fprintf(s.file, heading(code), stamp);
    if (isCharacter) writeCharacter(s.file, ch);
  } else if (isCharacter) {
    writeCharacter(s.file, ch);
  }
  s.lastCode = code;
  std::fflush(s.file);
  if (logCode == LogCode::New || logCode == LogCode::Quit) closeFile();
}

}  // namespace quelto
