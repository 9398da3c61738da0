#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

using SettingsStoreTest = ScratchStore;

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 0777;
}

TEST_F(SettingsStoreTest, EmptyStoreGivesDefaultsAndReadsCreateNothing) {
  EXPECT_EQ(getSettingString("Language", "Fr"), "Fr");
  EXPECT_EQ(getSettingInt("StartBitThreshold", -7), -7);
  EXPECT_DOUBLE_EQ(getSettingDouble("VuMeterFactor", 12.0), 12.0);
  EXPECT_TRUE(getSettingBool("ShowSlpashScreen", true));
  EXPECT_FALSE(getSettingBool("ConfirmFileQuit", false));
  deleteSettingTree("profiles\\0");
  EXPECT_FALSE(std::filesystem::exists(dir() + "/config/quelto"));

  // A store that exists stays unchanged by reads too.
  ASSERT_EQ(setSettingInt("Other", 1), kSettingWriteOk);
  EXPECT_EQ(getSettingInt("Missing", 4), 4);
  EXPECT_EQ(rows().size(), 1u);
}

TEST_F(SettingsStoreTest, FirstWriteCreatesPrivateFolderAndFileInWalMode) {
  ASSERT_EQ(settingsStorePath(), storeFile());
  ASSERT_EQ(setSettingString("ConfirmFileQuit", "1"), kSettingWriteOk);
  EXPECT_EQ(modeOf(dir() + "/config/quelto"), 0700u);
  EXPECT_EQ(modeOf(storeFile()), 0600u);
  closeSettingsStore();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(storeFile().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

// A store found open to others (copied, restored, made by an older
// version) is made private as soon as it is opened; the owner's own bits
// stay, so a read-only store still only reads.
TEST_F(SettingsStoreTest, StoreFoundWithWiderPermissionsIsMadePrivateAtOpen) {
  struct Case {
    mode_t found, after;
  };
  const Case cases[] = {{0644, 0600}, {0666, 0600}, {0640, 0600}, {0604, 0600},
                        {0600, 0600}, {0444, 0400}, {0400, 0400}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.found));
    seed("Language", "English");
    chmod(storeFile().c_str(), c.found);
    const bool wal = std::filesystem::exists(storeFile() + "-wal");
    if (wal) chmod((storeFile() + "-wal").c_str(), c.found);
    closeSettingsStore();
    EXPECT_EQ(getSettingString("Language", ""), "English");
    EXPECT_EQ(modeOf(storeFile()), c.after);
    if (wal) {
      EXPECT_EQ(modeOf(storeFile() + "-wal"), c.after);
    }
    closeSettingsStore();
    chmod(storeFile().c_str(), 0600);
  }
}

TEST_F(SettingsStoreTest, HomeConfigIsUsedWithoutXdgConfigHome) {
  unsetenv("XDG_CONFIG_HOME");
  closeSettingsStore();
  EXPECT_EQ(settingsStorePath(), dir() + "/.config/quelto/settings.sqlite");
  ASSERT_EQ(setSettingInt("UIVersion", 34), kSettingWriteOk);
  EXPECT_TRUE(std::filesystem::exists(dir() + "/.config/quelto/settings.sqlite"));
}

TEST_F(SettingsStoreTest, TypedValuesAreStoredAsTheirTexts) {
  setSettingBool("B1", true);
  setSettingBool("B0", false);
  setSettingDouble("D", 1.1);
  setSettingDouble("DNeg", -0.5);
  setSettingDouble("DBig", 1e20);
  setSettingInt("I", -7);
  setSettingInt("IMax", 2147483647);
  setSettingString("S", "Français");
  const auto stored = rows();
  EXPECT_EQ(stored.at("B1"), "1");
  EXPECT_EQ(stored.at("B0"), "0");
  EXPECT_EQ(stored.at("D"), "1.100000");
  EXPECT_EQ(stored.at("DNeg"), "-0.500000");
  EXPECT_EQ(stored.at("DBig"), "100000000000000000000.000000");
  EXPECT_EQ(stored.at("I"), "-7");
  EXPECT_EQ(stored.at("IMax"), "2147483647");
  EXPECT_EQ(stored.at("S"), "Français");
  EXPECT_TRUE(getSettingBool("B1", false));
  EXPECT_DOUBLE_EQ(getSettingDouble("D", 0.0), 1.1);
  EXPECT_EQ(getSettingInt("I", 0), -7);
}

// Stored texts as users, scripts or older versions may leave them, read as
// each kind: a value that does not parse gives the default, never 0.
TEST_F(SettingsStoreTest, ReadsParseStoredTextsLikeScanf) {
  struct Case {
    const char* stored;
    int asInt;        // read with default 5
    double asDouble;  // read with default 2.5
    bool asBool;      // read with default true
  };
  const Case cases[] = {
      {"12abc", 12, 12.0, true}, {"abc", 5, 2.5, false},
      {"", 5, 2.5, false},       {"0", 0, 0.0, false},
      {"1", 1, 1.0, true},       {"10", 10, 10.0, true},
      {" 42", 42, 42.0, false},  {"+8", 8, 8.0, false},
      {"-7", -7, -7.0, false},   {"--7", 5, 2.5, false},
      {"-", 5, 2.5, false},      {"1.100000", 1, 1.1, true},
      {"3e2", 3, 300.0, false},  {"99999999999", 5, 99999999999.0, false},
      {"inf", 5, 2.5, false},    {"nan", 5, 2.5, false},
      {"true", 5, 2.5, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    seed("Value", c.stored);
    EXPECT_EQ(getSettingInt("Value", 5), c.asInt);
    EXPECT_DOUBLE_EQ(getSettingDouble("Value", 2.5), c.asDouble);
    EXPECT_EQ(getSettingBool("Value", true), c.asBool);
    EXPECT_EQ(getSettingString("Value", "x"), c.stored);
  }
}

TEST_F(SettingsStoreTest, NamesCompareWithoutCaseAndKeepTheirBackslashes) {
  setSettingString("profiles\\12\\Name", "Ann");
  EXPECT_EQ(getSettingString("PROFILES\\12\\name", ""), "Ann");
  setSettingString("Profiles\\12\\NAME", "Bob");
  const auto stored = rows();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored.begin()->first, "profiles\\12\\Name");
  EXPECT_EQ(stored.begin()->second, "Bob");
  // A seeded table is read like our own.
  seed("ConfirmFileQuit", "1");
  EXPECT_TRUE(getSettingBool("confirmfilequit", false));
}

TEST_F(SettingsStoreTest, DeleteTreeTakesTheProfileAndItsPhonebookButNoSibling) {
  const char* kept[] = {"profiles\\123\\name", "profiles\\123", "profiles\\1",
                        "profiles\\12x",       "profiles",      "Profiles"};
  const char* removed[] = {"profiles\\12", "profiles\\12\\name", "PROFILES\\12\\bottin\\numEntries",
                           "profiles\\12\\bottin\\entry0name"};
  for (const char* n : kept) setSettingString(n, "keep");
  for (const char* n : removed) setSettingString(n, "gone");
  // "Profiles" and "profiles" are the same name.
  ASSERT_EQ(rows().size(), 9u);
  deleteSettingTree("Profiles\\12\\");
  const auto stored = rows();
  EXPECT_EQ(stored.size(), 5u);
  for (const auto& [name, value] : stored) EXPECT_EQ(value, "keep") << name;
  // An empty name would be the whole store: it removes nothing.
  deleteSettingTree("");
  deleteSettingTree("\\");
  EXPECT_EQ(rows().size(), 5u);
}

TEST_F(SettingsStoreTest, TextReadsStopAt65535Bytes) {
  const std::string exact(65535, 'a');
  setSettingString("Long", exact);
  EXPECT_EQ(getSettingString("Long", ""), exact);
  setSettingString("Long", exact + "bc");
  EXPECT_EQ(getSettingString("Long", ""), exact);
  // The cut never leaves half a character.
  setSettingString("Long", std::string(65534, 'a') + "é");
  EXPECT_EQ(getSettingString("Long", ""), std::string(65534, 'a'));
  EXPECT_EQ(raw("Long")->size(), 65536u);
}

TEST_F(SettingsStoreTest, BatchCommitsOnceAtTheEndOfTheOutermostScope) {
  setSettingInt("Before", 1);
  {
    SettingsBatch outer;
    setSettingInt("A", 1);
    {
      SettingsBatch inner;
      setSettingInt("B", 2);
      EXPECT_EQ(inner.finish(), kSettingWriteOk);
    }
    EXPECT_EQ(getSettingInt("B", 0), 2);  // our own writes are visible
    EXPECT_FALSE(raw("A").has_value());   // others see nothing yet
    EXPECT_FALSE(raw("B").has_value());
  }
  EXPECT_EQ(raw("A"), "1");
  EXPECT_EQ(raw("B"), "2");
  // A write alone commits at once.
  setSettingInt("After", 3);
  EXPECT_EQ(raw("After"), "3");
}

TEST_F(SettingsStoreTest, BatchWithoutWritesCreatesNoStore) {
  { SettingsBatch batch; }
  EXPECT_FALSE(storeExists());
  {
    SettingsBatch batch;
    setSettingInt("First", 1);
    EXPECT_EQ(batch.finish(), kSettingWriteOk);
    EXPECT_EQ(batch.finish(), kSettingWriteOk);
  }
  EXPECT_EQ(raw("First"), "1");
}

TEST_F(SettingsStoreTest, CorruptFileGivesDefaultsFailsWritesAndSaysSoOnce) {
  std::filesystem::create_directories(dir() + "/config/quelto");
  {
    std::ofstream junk(storeFile(), std::ios::binary);
    junk << std::string(4096, 'Z');
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(getSettingString("Language", "Fr"), "Fr");
  EXPECT_EQ(getSettingInt("UIVersion", 0), 0);
  EXPECT_EQ(setSettingInt("UIVersion", 34), kSettingWriteFailed);
  {
    SettingsBatch batch;
    EXPECT_EQ(setSettingString("X", "y"), kSettingWriteFailed);
  }
  deleteSettingTree("profiles\\1");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(storeFile()), std::string::npos) << err;
  EXPECT_EQ(err.find(storeFile()), err.rfind(storeFile())) << "reported more than once: " << err;
  // The file is left as it was for the user to look at.
  EXPECT_EQ(std::filesystem::file_size(storeFile()), 4096u);
}

TEST_F(SettingsStoreTest, UnwritableFolderFailsWritesWithoutStopping) {
  std::filesystem::create_directories(dir() + "/config");
  // A plain file where the folder should be: the folder cannot be made.
  { std::ofstream blocker(dir() + "/config/quelto"); }
  testing::internal::CaptureStderr();
  EXPECT_EQ(setSettingInt("UIVersion", 34), kSettingWriteFailed);
  EXPECT_EQ(getSettingInt("UIVersion", 0), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("settings.sqlite"), std::string::npos) << err;
}

TEST_F(SettingsStoreTest, SeededStoreWithoutTableReadsDefaultsAndGetsOneAtFirstWrite) {
  sql("CREATE TABLE unrelated(x)");
  EXPECT_EQ(getSettingInt("NProfiles", 1), 1);
  ASSERT_EQ(setSettingInt("NProfiles", 2), kSettingWriteOk);
  EXPECT_EQ(raw("NProfiles"), "2");
}

}  // namespace
}  // namespace quelto
