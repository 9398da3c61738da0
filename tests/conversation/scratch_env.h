// A scratch world for the conversation tests: settings in a fresh folder,
// default profiles, logging off. Never the user's own settings.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "conversation/activity_log.h"
#include "settings/profile.h"
#include "settings/settings_store.h"

namespace quelto::testing {

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelto-conv-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    std::filesystem::create_directories(dir / "config");
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("HOME", dir.c_str(), 1);
    closeSettingsStore();
    stopActivityLog();
    setActivityLogClock({});
    currentProfile() = Profile{};
    profileList().assign(1, Profile{});
  }

  void TearDown() override {
    stopActivityLog();
    setActivityLogClock({});
    closeSettingsStore();
    std::filesystem::remove_all(dir);
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }

  std::filesystem::path dir;
};

}  // namespace quelto::testing
