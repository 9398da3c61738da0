// The per-user settings store: every value the program keeps from one run to
// the next is a named text in one SQLite file.
//
// Where: $XDG_CONFIG_HOME/quelto/settings.sqlite, or ~/.config/quelto/ when
// XDG_CONFIG_HOME is unset or empty. The environment is read when the store
// is first used (lazily, from any of the functions below) and again after
// closeSettingsStore(); tests point XDG_CONFIG_HOME at a scratch folder and
// call closeSettingsStore() between cases.
//
// File format (a public interface: users and scripts read and seed it with
// the sqlite3 tool):
//   CREATE TABLE settings(name TEXT PRIMARY KEY COLLATE NOCASE,
//                         value TEXT NOT NULL)
// Names are stored bare, relative to the program's root, exactly as callers
// give them: "ConfirmFileQuit", "profiles\12\sentTextColor" (single
// backslashes). A backslash separates nested names; names are compared
// without regard to ASCII letter case.
//
// Texts are stored as the caller gives them; the program hands over UTF-8.
// Typed values are stored as text:
//   integer  "%d"                      read like scanf "%d"
//   double   "%lf" (1.1 -> "1.100000") read like scanf "%lf"
//   boolean  "1" / "0"                 true exactly when the text starts "1"
// Formatting and parsing ignore the process locale (always a '.' point).
//
// Rules:
// - A read never writes. A missing name, an unreadable value or a typed value
//   that does not parse gives the caller's default; "12abc" reads as 12.
//   Integers out of range and non-finite doubles also give the default.
// - Text reads return at most 65535 bytes (cut back to a whole UTF-8
//   character).
// - Nothing is created until the first write: the folder with mode 0700, the
//   file with mode 0600 (it holds profile passwords), WAL journal, full sync.
//   A write outside a SettingsBatch is committed before it returns. A store
//   found readable or writable by group or others is made private (its
//   group and other permission bits cleared) when it is first opened.
// - A store that cannot be opened, created or read (corrupt file, no
//   permission) never stops the program: reads give defaults, writes return
//   kSettingWriteFailed, and the file's path is reported once on stderr.
//
// Threads: the program uses the store from the user-interface thread and
// from static initialisation before main (the framing thresholds, the
// level-meter numbers and the language are read there). Calls are
// serialised by an internal lock, so a stray call from another thread is
// safe, but nothing relies on it.
#pragma once

#include <string>

namespace quelto {

constexpr int kSettingWriteOk = 0;
constexpr int kSettingWriteFailed = -1;

std::string getSettingString(const std::string& name, const std::string& defaultValue);
int getSettingInt(const std::string& name, int defaultValue);
double getSettingDouble(const std::string& name, double defaultValue);
bool getSettingBool(const std::string& name, bool defaultValue);

// Each returns kSettingWriteOk (0) or kSettingWriteFailed (-1).
int setSettingString(const std::string& name, const std::string& value);
int setSettingInt(const std::string& name, int value);
int setSettingDouble(const std::string& name, double value);
int setSettingBool(const std::string& name, bool value);

// Removes the setting of that name and every setting below it: for
// "profiles\12" that is "profiles\12" and "profiles\12\..." (its phonebook
// included), never "profiles\123...". Trailing backslashes are ignored; an
// empty name removes nothing (it would otherwise name the whole store).
void deleteSettingTree(const std::string& name);

// Groups many writes into one transaction, committed once when the scope
// ends (or at finish()), so that saving every profile waits for the disk
// once instead of thousands of times. Scopes nest; only the outermost one
// commits. Reads inside the scope see the scope's writes. The store is
// created at the first write inside the scope, not by the scope itself.
// Use it on the user-interface thread only, as a local object.
class SettingsBatch {
 public:
  SettingsBatch();
  ~SettingsBatch();
  SettingsBatch(const SettingsBatch&) = delete;
  SettingsBatch& operator=(const SettingsBatch&) = delete;

  // Ends the scope now. For the outermost scope: commits, and returns
  // kSettingWriteFailed when the commit failed (the scope's writes are then
  // lost, although each returned 0). Inner scopes return kSettingWriteOk.
  // Calling it again does nothing.
  int finish();

 private:
  bool open_ = true;
};

// The file the store uses (or would create) for the current environment.
std::string settingsStorePath();

// Closes the store (committing nothing pending: call it outside any batch).
// The next call opens it again from the environment as it is then, and may
// report an unusable file again.
void closeSettingsStore();

}  // namespace quelto
