#include "settings/settings_store.h"

#include "text/utf8.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

namespace quelto {
namespace {

constexpr std::size_t kMaxTextRead = 65535;
constexpr int kBusyTimeoutMs = 5000;

std::string configHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return xdg;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config";
  // No HOME (started from a service or with a cleared environment): the
  // account's home folder.
  const struct passwd* account = getpwuid(getuid());
  return std::string(account && account->pw_dir ? account->pw_dir : ".") + "/.config";
}

// mkdir -p for the parents; the last component (our own folder) gets 0700.
bool makeFolders(const std::string& folder) {
  for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/') continue;
    const std::string part = folder.substr(0, pos);
    const mode_t mode = pos == folder.size() ? 0700 : 0755;
    if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One connection for the process, opened lazily. States:
// - closed and never tried: `tried` false;
// - open: `db` set (`writable` once the table and WAL mode are in place);
// - absent file: `db` null, retried at every call so the first write
//   creates it;
// - unusable: `broken` set until closeSettingsStore().
class Store {
 public:
  ~Store() { close(); }

  std::mutex& lock() { return mutex_; }

  // The connection for reading, or nullptr (no file yet, or unusable).
  sqlite3* forRead() {
    if (broken_) return nullptr;
    if (!db_) openExisting();
    return db_;
  }

  // The connection for writing, creating the store if needed, or nullptr.
  sqlite3* forWrite() {
    if (broken_ || readOnly_) return nullptr;
    if (!db_) {
      if (!createFile()) return nullptr;
      if (!openExisting()) return nullptr;
    }
    if (!writable_ && !prepareForWriting()) return nullptr;
    if (batchDepth_ > 0 && !inTransaction_) {
      if (!exec("BEGIN IMMEDIATE")) return nullptr;
      inTransaction_ = true;
    }
    return db_;
  }

  // The two statements every read and write use, prepared once per
  // connection (preparing them at each call doubled the time of a save).
  enum Query { kSelect, kUpsert, kQueryCount };
  sqlite3_stmt* statement(Query query, sqlite3* db) {
    static const char* const kSql[kQueryCount] = {
        "SELECT value FROM settings WHERE name = ?1",
        "INSERT INTO settings(name, value) VALUES(?1, ?2) "
        "ON CONFLICT(name) DO UPDATE SET value = excluded.value"};
    if (!db) return nullptr;
    if (!statements_[query] && sqlite3_prepare_v3(db, kSql[query], -1, SQLITE_PREPARE_PERSISTENT,
                                                  &statements_[query], nullptr) != SQLITE_OK) {
      statements_[query] = nullptr;
    }
    return statements_[query];
  }

  void beginBatch() { ++batchDepth_; }

  int endBatch() {
    if (batchDepth_ == 0) return kSettingWriteOk;
    if (--batchDepth_ > 0 || !inTransaction_) return kSettingWriteOk;
    inTransaction_ = false;
    if (exec("COMMIT")) return kSettingWriteOk;
    exec("ROLLBACK");
    std::fprintf(stderr, "quelto: could not save settings to %s: %s\n", path_.c_str(),
                 db_ ? sqlite3_errmsg(db_) : "closed");
    return kSettingWriteFailed;
  }

  void close() {
    finalizeStatements();
    if (db_) {
      if (inTransaction_) exec("ROLLBACK");
      sqlite3_close_v2(db_);
    }
    db_ = nullptr;
    writable_ = false;
    broken_ = false;
    readOnly_ = false;
    inTransaction_ = false;
    path_.clear();
  }

  const std::string& path() {
    if (path_.empty()) path_ = currentPath();
    return path_;
  }

  static std::string currentPath() { return configHome() + "/quelto/settings.sqlite"; }

  // A statement failed with this result: a damaged file is given up at once
  // (and said so once) instead of failing quietly at every call.
  void noteFailure(int result) {
    if (result == SQLITE_CORRUPT || result == SQLITE_NOTADB) giveUp(sqlite3_errstr(result));
  }

 private:
  void finalizeStatements() {
    for (sqlite3_stmt*& stmt : statements_) {
      sqlite3_finalize(stmt);
      stmt = nullptr;
    }
  }

  bool exec(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }

  void giveUp(const char* why) {
    std::fprintf(stderr, "quelto: cannot use the settings file %s (%s); using defaults\n",
                 path().c_str(), why);
    finalizeStatements();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    writable_ = false;
    inTransaction_ = false;
    broken_ = true;
  }

  bool createFile() {
    const std::string file = path();
    const std::string folder = file.substr(0, file.rfind('/'));
    if (!makeFolders(folder)) {
      giveUp(std::strerror(errno));
      return false;
    }
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      giveUp(std::strerror(errno));
      return false;
    }
    ::close(fd);
    return true;
  }

  // Opens the file when it exists and checks that it is a database whose
  // settings table (when present) can be read.
  bool openExisting() {
    const std::string& file = path();
    struct stat st;
    if (stat(file.c_str(), &st) != 0) {
      if (errno == ENOENT) return false;  // nothing stored yet: defaults
      giveUp(std::strerror(errno));
      return false;
    }
    keepPrivate(file, st);
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
      giveUp(db_ ? sqlite3_errmsg(db_) : "cannot open");
      return false;
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // Reading the schema is the first access to the file's pages, so a file
    // that is not a database fails here rather than at a later write.
    if (!exec("SELECT count(*) FROM sqlite_master")) {
      giveUp(sqlite3_errmsg(db_));
      return false;
    }
    return true;
  }

  // The store holds profile passwords: a file found readable by others (an
  // older version, a copy, a restored backup) loses its group and other
  // permissions, and so do its journal files; the owner's own bits stay, so
  // a store the user made read-only stays read-only. Files of another owner
  // are left alone (chmod would fail anyway).
  static void keepPrivate(const std::string& file, const struct stat& st) {
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) return;
    for (const std::string& name : {file, file + "-wal", file + "-shm"}) {
      struct stat each;
      if (::lstat(name.c_str(), &each) == 0 && S_ISREG(each.st_mode) && (each.st_mode & 077) != 0)
        ::chmod(name.c_str(), each.st_mode & 0700);
    }
  }

  // A file that can be read but not written (no permission, read-only
  // disk) keeps serving reads; only the writes fail.
  bool prepareForWriting() {
    if (!exec("PRAGMA journal_mode=WAL") || !exec("PRAGMA synchronous=FULL") ||
        !exec("CREATE TABLE IF NOT EXISTS settings("
              "name TEXT PRIMARY KEY COLLATE NOCASE, value TEXT NOT NULL)")) {
      std::fprintf(stderr, "quelto: cannot write the settings file %s (%s)\n", path().c_str(),
                   sqlite3_errmsg(db_));
      readOnly_ = true;
      return false;
    }
    writable_ = true;
    return true;
  }

  std::mutex mutex_;
  std::string path_;
  sqlite3_stmt* statements_[kQueryCount] = {};
  sqlite3* db_ = nullptr;
  bool writable_ = false;
  bool broken_ = false;
  bool readOnly_ = false;
  int batchDepth_ = 0;
  bool inTransaction_ = false;
};

Store& store() {
  static Store instance;
  return instance;
}

void bindText(sqlite3_stmt* stmt, int index, const std::string& text) {
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (db && sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  void bind(int index, const std::string& text) { bindText(stmt_, index, text); }
  int step() { return sqlite3_step(stmt_); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

std::optional<std::string> readStored(const std::string& name) {
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.lock());
  sqlite3_stmt* stmt = s.statement(Store::kSelect, s.forRead());
  if (!stmt) return std::nullopt;  // no file, no table, or unusable
  bindText(stmt, 1, name);
  const int result = sqlite3_step(stmt);
  std::optional<std::string> value;
  if (result == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    std::size_t length = static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0));
    if (text) {
      const std::string_view all(reinterpret_cast<const char*>(text), length);
      // Do not end on half a UTF-8 character.
      value = std::string(all.substr(0, utf8CutPoint(all, kMaxTextRead)));
    }
  }
  // Reset at once: a statement left running would pin an old snapshot.
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (result != SQLITE_ROW && result != SQLITE_DONE) s.noteFailure(result);
  return value;
}

int writeStored(const std::string& name, const std::string& value) {
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.lock());
  sqlite3_stmt* stmt = s.statement(Store::kUpsert, s.forWrite());
  if (!stmt) return kSettingWriteFailed;
  bindText(stmt, 1, name);
  bindText(stmt, 2, value);
  const int result = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (result == SQLITE_DONE) return kSettingWriteOk;
  s.noteFailure(result);
  return kSettingWriteFailed;
}

const char* skipSpaces(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  return p;
}

// The number at the start of text the way scanf reads it: leading white
// space, an optional sign, then as many characters as form a number.
template <typename T>
std::optional<T> parseLeading(const std::string& text) {
  const char* p = skipSpaces(text.c_str());
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
    if (*p == '+' || *p == '-') return std::nullopt;
  }
  // from_chars takes no '+' and reads the '-' itself.
  std::string digits = negative ? "-" : "";
  digits += p;
  T value{};
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace

std::string getSettingString(const std::string& name, const std::string& defaultValue) {
  std::optional<std::string> stored = readStored(name);
  return stored ? *stored : defaultValue;
}

int getSettingInt(const std::string& name, int defaultValue) {
  std::optional<std::string> stored = readStored(name);
  if (!stored) return defaultValue;
  std::optional<int> value = parseLeading<int>(*stored);
  return value ? *value : defaultValue;
}

double getSettingDouble(const std::string& name, double defaultValue) {
  std::optional<std::string> stored = readStored(name);
  if (!stored) return defaultValue;
  std::optional<double> value = parseLeading<double>(*stored);
  return value && std::isfinite(*value) ? *value : defaultValue;
}

bool getSettingBool(const std::string& name, bool defaultValue) {
  std::optional<std::string> stored = readStored(name);
  if (!stored) return defaultValue;
  return !stored->empty() && (*stored)[0] == '1';
}

int setSettingString(const std::string& name, const std::string& value) {
  return writeStored(name, value);
}

int setSettingInt(const std::string& name, int value) {
  return writeStored(name, std::to_string(value));
}

int setSettingDouble(const std::string& name, double value) {
  char text[400];  // "%lf" of the largest double is 309 digits + 7
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return kSettingWriteFailed;
  return writeStored(name, std::string(text, result.ptr));
}

int setSettingBool(const std::string& name, bool value) {
  return writeStored(name, value ? "1" : "0");
}

void deleteSettingTree(const std::string& name) {
  std::string root = name;
  while (!root.empty() && root.back() == '\\') root.pop_back();
  if (root.empty()) return;
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.lock());
  // Only an existing store can hold the tree; do not create one to empty it.
  if (!s.forRead()) return;
  // The prefix test is on characters of the name plus a backslash, so that
  // "profiles\12" never takes "profiles\123" with it.
  Statement stmt(s.forWrite(),
                 "DELETE FROM settings WHERE name = ?1 OR "
                 "substr(name, 1, length(?2)) = ?2 COLLATE NOCASE");
  if (!stmt) return;
  stmt.bind(1, root);
  stmt.bind(2, root + "\\");
  stmt.step();
}

SettingsBatch::SettingsBatch() {
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.lock());
  s.beginBatch();
}

SettingsBatch::~SettingsBatch() {
  finish();
}

int SettingsBatch::finish() {
  if (!open_) return kSettingWriteOk;
  open_ = false;
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.lock());
  return s.endBatch();
}

std::string settingsStorePath() {
  return Store::currentPath();
}

void closeSettingsStore() {
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.lock());
  s.close();
}

}  // namespace quelto
