// Window positions and sizes kept from one run to the next, over a small
// window interface and a given work area, so the rules run without a
// display; the toolkit's windows plug in through WindowGeometry.
//
// Stored as text settings named after the window: "%dx%d%c%d%c%d" (width,
// height, sign and absolute x, sign and absolute y), e.g. "515x400+100+50",
// "515x400-8+50"; read like scanf "%dx%d%d%d". "UIVersion" guards them: the
// stored positions are used only when it is kUiVersion, written at every
// save. User-interface thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace quelto {

constexpr int kUiVersion = 34;

// The desktop without panels, in pixels.
struct WorkArea {
  int width = 0;
  int height = 0;
};

// A top-level window as these rules see it: position on the screen and size
// in pixels.
class WindowGeometry {
 public:
  virtual ~WindowGeometry() = default;
  virtual int x() const = 0;
  virtual int y() const = 0;
  virtual int w() const = 0;
  virtual int h() const = 0;
  virtual void resize(int x, int y, int w, int h) = 0;
};

// The twelve windows' setting names, in the order they are restored and
// saved.
extern const std::array<const char*, 12> kWindowSettingNames;

// The main window's size on a first run (nothing stored): 60 % of the work
// area's width and height, never below 515 x 400 (the layout's own size).
struct WindowSize {
  int w, h;
};
constexpr WindowSize kMainWindowMinimumSize{515, 400};
WindowSize firstRunMainWindowSize(WorkArea area);

// Moves the window to the centre of the work area (each coordinate that
// would be negative becomes 10); its size does not change.
void centreWindow(WindowGeometry& window, WorkArea area);

// Puts the window where the setting says, mending what does not fit: a
// position outside [0, area - 10) is centred on that axis; a size outside
// [1, area] keeps the window's current size.
void restoreWindowGeometry(const std::string& name, WindowGeometry& window, WorkArea area);

// Stores the window's geometry under name.
int saveWindowGeometry(const std::string& name, const WindowGeometry& window);

// The stored text for a geometry, and its parse (a field that does not
// parse keeps the value from `fallback`).
std::string formatWindowGeometry(int w, int h, int x, int y);
struct ParsedGeometry {
  int w, h, x, y;
};
ParsedGeometry parseWindowGeometry(const std::string& text, ParsedGeometry fallback);

struct NamedWindow {
  const char* settingName;
  WindowGeometry* window;
};

// Start-up: "UIVersion" is kUiVersion: restore each window in order; else
// centre them all.
void restoreWindowLayout(const std::vector<NamedWindow>& windows, WorkArea area);

// End of the run: "UIVersion" = kUiVersion, then each window in order, in
// one SettingsBatch. Returns kSettingWriteFailed when any write failed.
int saveWindowLayout(const std::vector<NamedWindow>& windows);

}  // namespace quelto
