#include "settings/window_geometry.h"

#include <gtest/gtest.h>

#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

using WindowGeometryTest = ScratchStore;

class FakeWindow : public WindowGeometry {
 public:
  FakeWindow(int x, int y, int w, int h) : x_(x), y_(y), w_(w), h_(h) {}
  int x() const override { return x_; }
  int y() const override { return y_; }
  int w() const override { return w_; }
  int h() const override { return h_; }
  void resize(int x, int y, int w, int h) override {
    x_ = x;
    y_ = y;
    w_ = w;
    h_ = h;
  }
  std::string text() const { return formatWindowGeometry(w_, h_, x_, y_); }

 private:
  int x_, y_, w_, h_;
};

const WorkArea kArea{1024, 740};

TEST_F(WindowGeometryTest, FormatsSignedPositions) {
  EXPECT_EQ(formatWindowGeometry(515, 400, 100, 50), "515x400+100+50");
  EXPECT_EQ(formatWindowGeometry(515, 400, -8, 50), "515x400-8+50");
  EXPECT_EQ(formatWindowGeometry(515, 400, 0, -30), "515x400+0-30");
  EXPECT_EQ(formatWindowGeometry(1, 1, -2147483647 - 1, 0), "1x1-2147483648+0");
}

TEST_F(WindowGeometryTest, ParsesLikeScanfKeepingTheFallbackAfterTheFirstBadField) {
  const ParsedGeometry fb{1, 2, 3, 4};
  struct Case {
    const char* text;
    ParsedGeometry expected;
  };
  const Case cases[] = {
      {"515x400+100+50", {515, 400, 100, 50}},
      {"515x400-8-20", {515, 400, -8, -20}},
      {" 515x 400 +100 +50", {515, 400, 100, 50}},
      {"515X400+100+50", {515, 2, 3, 4}},
      {"515x400", {515, 400, 3, 4}},
      {"515x400+100", {515, 400, 100, 4}},
      {"515x400+100+abc", {515, 400, 100, 4}},
      {"abc", {1, 2, 3, 4}},
      {"", {1, 2, 3, 4}},
      {"99999999999x5+0+0", {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedGeometry g = parseWindowGeometry(c.text, fb);
    EXPECT_EQ(g.w, c.expected.w);
    EXPECT_EQ(g.h, c.expected.h);
    EXPECT_EQ(g.x, c.expected.x);
    EXPECT_EQ(g.y, c.expected.y);
  }
}

TEST(FirstRunMainWindow, SixtyPercentOfTheWorkAreaNeverBelowTheLayout) {
  struct Case {
    WorkArea area;
    int w, h;
  } cases[] = {{{1920, 1080}, 1152, 648}, {{1024, 768}, 614, 460}, {{800, 600}, 515, 400},
               {{515, 400}, 515, 400},    {{0, 0}, 515, 400},       {{3840, 1000}, 2304, 600}};
  for (const Case& c : cases) {
    const WindowSize size = firstRunMainWindowSize(c.area);
    EXPECT_EQ(size.w, c.w) << c.area.width << "x" << c.area.height;
    EXPECT_EQ(size.h, c.h) << c.area.width << "x" << c.area.height;
  }
}

TEST_F(WindowGeometryTest, CentreWindow) {
  FakeWindow main(0, 0, 515, 400);
  centreWindow(main, kArea);
  EXPECT_EQ(main.text(), "515x400+254+170");
  FakeWindow big(0, 0, 2000, 800);
  centreWindow(big, kArea);
  EXPECT_EQ(big.text(), "2000x800+10+10");
}

TEST_F(WindowGeometryTest, RestoreMendsWhatNoLongerFits) {
  struct Case {
    const char* stored;  // nullptr: nothing stored
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "515x400+254+170"},
      {"515x400+100+50", "515x400+100+50"},
      {"600x300+0+0", "600x300+0+0"},
      // Off-screen positions (a monitor that is gone) are centred on that axis.
      {"515x400-8+50", "515x400+254+50"},
      {"515x400+1014+50", "515x400+254+50"},
      {"515x400+1013+729", "515x400+1013+729"},
      {"515x400+1500+900", "515x400+254+170"},
      // Sizes that do not fit keep the built-in size.
      {"1025x400+10+10", "515x400+10+10"},
      {"300x741+10+10", "515x400+10+10"},
      {"0x400+10+10", "515x400+10+10"},
      {"1024x740+0+0", "1024x740+0+0"},
      {"garbage", "515x400+254+170"},
      {"300x200", "300x200+254+170"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(absent)");
    deleteSettingTree("MainWindow");
    if (c.stored) setSettingString("MainWindow", c.stored);
    FakeWindow main(0, 0, 515, 400);
    restoreWindowGeometry("MainWindow", main, kArea);
    EXPECT_EQ(main.text(), c.expected);
  }
  // A window wider than the work area with a bad position is centred
  // without a lower bound.
  setSettingString("HelpWindow", "5000x400-50+10");
  FakeWindow help(0, 0, 1200, 400);
  restoreWindowGeometry("HelpWindow", help, kArea);
  EXPECT_EQ(help.text(), "1200x400-88+10");
}

TEST_F(WindowGeometryTest, LayoutVersionGuardsTheStoredPositions) {
  FakeWindow main(0, 0, 515, 400);
  FakeWindow about(0, 0, 300, 200);
  const std::vector<NamedWindow> windows{{kWindowSettingNames[0], &main},
                                         {kWindowSettingNames[4], &about}};
  EXPECT_STREQ(kWindowSettingNames[1], "GlobalPreferencesWindow2");
  EXPECT_STREQ(kWindowSettingNames[11], "EditProfileWindow");

  setSettingString("MainWindow", "515x400+100+50");
  restoreWindowLayout(windows, kArea);  // no "UIVersion": centred
  EXPECT_EQ(main.text(), "515x400+254+170");
  EXPECT_EQ(about.text(), "300x200+362+270");

  main.resize(-8, 50, 600, 450);
  ASSERT_EQ(saveWindowLayout(windows), kSettingWriteOk);
  EXPECT_EQ(raw("UIVersion"), "34");
  EXPECT_EQ(raw("MainWindow"), "600x450-8+50");
  EXPECT_EQ(raw("AboutWindow"), "300x200+362+270");

  FakeWindow main2(0, 0, 515, 400);
  const std::vector<NamedWindow> again{{"MainWindow", &main2}};
  setSettingString("MainWindow", "600x450+40+50");
  restoreWindowLayout(again, kArea);
  EXPECT_EQ(main2.text(), "600x450+40+50");
  setSettingInt("UIVersion", 33);
  FakeWindow main3(0, 0, 515, 400);
  restoreWindowLayout({{"MainWindow", &main3}}, kArea);
  EXPECT_EQ(main3.text(), "515x400+254+170");
}

}  // namespace
}  // namespace quelto
