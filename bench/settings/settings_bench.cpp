// Saves 20 profiles, each with 10 messages and 100 contacts, the way the end
// of a run does, then reads them back the way the start-up does, and prints
// the times. Runs in a scratch settings folder, never the user's.
//
//   build-*/bench/settings/settings_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/profile.h"
#include "settings/settings_store.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void fillProfiles() {
  using namespace quelto;
  profileList().clear();
  for (int p = 0; p < 20; ++p) {
    Profile profile;
    profile.id = p == 0 ? 0 : 1765000000 + p;
    profile.name = "Profile " + std::to_string(p);
    profile.password = "secret";
    for (int m = 0; m < kProgrammedMessageCount; ++m) {
      profile.messages[static_cast<std::size_t>(m)] =
          "Programmed message number " + std::to_string(m) + " GA";
    }
    for (int c = 0; c < 100; ++c) {
      profile.phonebook.append({"Contact " + std::to_string(c), "555-01" + std::to_string(c),
                                "Notes about contact " + std::to_string(c)});
    }
    profileList().push_back(profile);
  }
  currentProfile() = profileList()[3];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quelto;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char pattern[] = "/tmp/quelto-settings-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  setenv("XDG_CONFIG_HOME", pattern, 1);
  closeSettingsStore();

  fillProfiles();
  storeProfileListSettings();
  std::printf("settings bench: 20 profiles x (32 fields + 10 messages + 100 contacts), store %s\n",
              settingsStorePath().c_str());
  double bestSave = 1e9, bestLoad = 1e9;
  for (int r = 0; r < rounds; ++r) {
    Clock::time_point start = Clock::now();
    if (saveAllProfiles() != kSettingWriteOk) {
      std::fprintf(stderr, "save failed\n");
      return 1;
    }
    const double save = msSince(start);

    closeSettingsStore();  // read back as a new run would, from the file
    profileList().clear();
    start = Clock::now();
    const int loaded = loadProfilesFromSettings();
    const double load = msSince(start);
    std::printf("round %d: save %.1f ms, load %.1f ms (%d profiles, %d contacts in the last)\n",
                r + 1, save, load, loaded, profileList().back().phonebook.size());
    bestSave = std::min(bestSave, save);
    bestLoad = std::min(bestLoad, load);
    fillProfiles();
  }

  constexpr int kSingles = 50;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < kSingles; ++i) setSettingInt("BenchSingle", i);
  const double single = msSince(start) / kSingles;

  std::printf("best save %.1f ms (target < 100 ms), best load %.1f ms, one write alone %.2f ms\n",
              bestSave, bestLoad, single);
  closeSettingsStore();
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return 0;
}
