#include "settings/window_geometry.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "settings/global_settings.h"
#include "settings/settings_store.h"

namespace quelto {
namespace {

// A coordinate that fits nowhere falls back to this distance from the edge.
constexpr int kFallbackEdge = 10;

int centred(int areaSize, int windowSize) {
  const int c = (areaSize - windowSize) / 2;
  return c < 0 ? kFallbackEdge : c;
}

// One "%d" the way scanf reads it: white space, optional sign, digits.
// Returns false (and leaves p) when no number is there or it does not fit.
bool scanInt(const char*& p, int& out) {
  const char* q = p;
  while (std::isspace(static_cast<unsigned char>(*q))) ++q;
  const char* start = q;
  if (*q == '+' || *q == '-') ++q;
  if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
  char* end = nullptr;
  const long long value = std::strtoll(start, &end, 10);
  if (value < INT_MIN || value > INT_MAX) return false;
  out = static_cast<int>(value);
  p = end;
  return true;
}

}  // namespace

const std::array<const char*, 12> kWindowSettingNames = {
    "MainWindow",
    "GlobalPreferencesWindow2",
    "CreateProfileWindow",
    "EditCurrentProfileWindow",
    "AboutWindow",
    "HelpWindow",
    "ProgrammedMessagesWindow",
    "PhonebookWindow",
    "ProfilePickWindow",
    "ProfileDeletePickWindow",
    "FileInfoWindow",
    "EditProfileWindow",
};

std::string formatWindowGeometry(int w, int h, int x, int y) {
  const long long ax = std::llabs(static_cast<long long>(x));
  const long long ay = std::llabs(static_cast<long long>(y));
  return std::to_string(w) + "x" + std::to_string(h) + (x >= 0 ? "+" : "-") + std::to_string(ax) +
         (y >= 0 ? "+" : "-") + std::to_string(ay);
}

ParsedGeometry parseWindowGeometry(const std::string& text, ParsedGeometry fallback) {
  ParsedGeometry g = fallback;
  const char* p = text.c_str();
  if (!scanInt(p, g.w)) return g;
  if (*p != 'x') return g;
  ++p;
  if (!scanInt(p, g.h)) return g;
  if (!scanInt(p, g.x)) return g;
  scanInt(p, g.y);
  return g;
}

void centreWindow(WindowGeometry& window, WorkArea area) {
  window.resize(centred(area.width, window.w()), centred(area.height, window.h()), window.w(),
                window.h());
}

WindowSize firstRunMainWindowSize(WorkArea area) {
  const auto side = [](int available, int minimum) { return std::max(minimum, available * 3 / 5); };
  return {side(area.width, kMainWindowMinimumSize.w), side(area.height, kMainWindowMinimumSize.h)};
}

void restoreWindowGeometry(const std::string& name, WindowGeometry& window, WorkArea area) {
  const int w = window.w();
  const int h = window.h();
  const ParsedGeometry fallback{w, h, centred(area.width, w), centred(area.height, h)};
  const std::string stored =
      getSettingString(name, formatWindowGeometry(fallback.w, fallback.h, fallback.x, fallback.y));
  ParsedGeometry g = parseWindowGeometry(stored, fallback);
  if (g.x < 0 || g.x >= area.width - kFallbackEdge) g.x = (area.width - w) / 2;
  if (g.y < 0 || g.y >= area.height - kFallbackEdge) g.y = (area.height - h) / 2;
  if (g.w < 1 || g.w > area.width || g.h < 1 || g.h > area.height) {
    g.w = w;
    g.h = h;
  }
  window.resize(g.x, g.y, g.w, g.h);
}

int saveWindowGeometry(const std::string& name, const WindowGeometry& window) {
  return setSettingString(name,
                          formatWindowGeometry(window.w(), window.h(), window.x(), window.y()));
}

void restoreWindowLayout(const std::vector<NamedWindow>& windows, WorkArea area) {
  const bool restore = readSetting(setting::kUiVersion) == kUiVersion;
  for (const NamedWindow& named : windows) {
    if (!named.window) continue;
    if (restore) {
      restoreWindowGeometry(named.settingName, *named.window, area);
    } else {
      centreWindow(*named.window, area);
    }
  }
}

int saveWindowLayout(const std::vector<NamedWindow>& windows) {
  SettingsBatch batch;
  int result = writeSetting(setting::kUiVersion, kUiVersion);
  for (const NamedWindow& named : windows) {
    if (named.window) result |= saveWindowGeometry(named.settingName, *named.window);
  }
  result |= batch.finish();
  return result == kSettingWriteOk ? kSettingWriteOk : kSettingWriteFailed;
}

}  // namespace quelto
