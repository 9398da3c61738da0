// A scratch settings store for each test: XDG_CONFIG_HOME (and HOME) point
// at a fresh folder, so no test ever touches the user's own settings, and
// the raw table can be read and seeded the way scripts do.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "settings/settings_store.h"

namespace quelto {

class ScratchStore : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelto-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("HOME", dir_.c_str(), 1);
    closeSettingsStore();
  }

  void TearDown() override {
    closeSettingsStore();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string dir() const { return dir_; }
  std::string storeFile() const { return dir_ + "/config/quelto/settings.sqlite"; }
  bool storeExists() const { return std::filesystem::exists(storeFile()); }

  // Runs SQL on the file through a separate connection, like the sqlite3
  // tool would.
  void sql(const std::string& statement) {
    std::filesystem::create_directories(dir_ + "/config/quelto");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(storeFile().c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
  }

  void seed(const std::string& name, const std::string& value) {
    sql("CREATE TABLE IF NOT EXISTS settings(name TEXT PRIMARY KEY COLLATE NOCASE, "
        "value TEXT NOT NULL)");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(storeFile().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO settings VALUES(?1, ?2)", -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }

  // Every stored row, as another program sees the file (committed data only).
  std::map<std::string, std::string> rows() {
    std::map<std::string, std::string> result;
    if (!storeExists()) return result;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(storeFile().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return result;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, value FROM settings", -1, &stmt, nullptr) ==
        SQLITE_OK) {
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        result[reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))] =
            std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)),
                        static_cast<std::size_t>(sqlite3_column_bytes(stmt, 1)));
      }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
  }

  std::optional<std::string> raw(const std::string& name) {
    const auto all = rows();
    const auto found = all.find(name);
    if (found == all.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::string dir_;
};

}  // namespace quelto
