#include <gtest/gtest.h>  // before the toolkit headers, which bring in X11 macros

#include "ui/widgets/level_meter.h"

#include "tests/widgets/widget_test_support.h"

#include <FL/Fl_Window.H>

namespace quelto {
namespace {

using test::Pixels;
using test::rgbOf;

class VuMeterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LevelMeter::setThresholds(LevelMeter::kDefaultOffset, LevelMeter::kDefaultFactor);
    win.begin();
    meter = new LevelMeter(10, 10, 69, 20, "Signal");
    meter->box(FL_ROUND_UP_BOX);
    meter->color(FL_BLACK);
    meter->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    win.end();
  }

  // Counts the segment columns drawn in red along the meter's middle row.
  int redSegmentsOnScreen() {
    test::showAndDraw(win);
    Pixels px(win, meter->x(), meter->y(), meter->w(), meter->h());
    int count = 0;
    for (int i = 0; i < LevelMeter::kSegments; ++i) {
      if (px.at(meter->x() + 2 + 4 * i + 1, meter->y() + meter->h() / 2) == rgbOf(FL_RED)) ++count;
    }
    return count;
  }

  Fl_Window win{100, 40};
  LevelMeter* meter = nullptr;
};

TEST_F(VuMeterTest, SegmentsLightOnlyAboveTheirThreshold) {
  struct Case {
    int level;
    int lit;
  } cases[] = {{0, 0}, {1, 1}, {12, 1}, {13, 2}, {180, 15}, {181, 16}, {255, 16}};
  meter->color(FL_RED);
  for (const Case& c : cases) {
    meter->value(static_cast<std::uint8_t>(c.level));
    EXPECT_EQ(meter->litSegments(), c.lit) << "level " << c.level;
    EXPECT_EQ(redSegmentsOnScreen(), c.lit) << "level " << c.level;
  }
}

TEST_F(VuMeterTest, ThresholdsComeFromTheSettings) {
  LevelMeter::setThresholds(10, 5.0);
  meter->value(10);
  EXPECT_EQ(meter->litSegments(), 0);
  meter->value(21);  // above 10, 15 and 20
  EXPECT_EQ(meter->litSegments(), 3);
}

TEST_F(VuMeterTest, WithoutSignalTheBarIsAPlainBoxInTheStateColour) {
  meter->color(FL_GREEN);
  meter->value(200);
  EXPECT_EQ(redSegmentsOnScreen(), 0);
  Pixels px(win, meter->x(), meter->y(), meter->w(), meter->h());
  EXPECT_EQ(px.at(meter->x() + 10, meter->y() + 10), rgbOf(FL_GREEN));
}

TEST_F(VuMeterTest, TwoClicksReturnToTheFirstModeAndTheLampBackgroundIsFilledOnce) {
  test::showAndDraw(win);
  ASSERT_EQ(meter->mode(), LevelMeter::BarMode);
  Fl::e_x = meter->x() + 5;
  Fl::e_y = meter->y() + 5;
  meter->handle(FL_PUSH);
  meter->handle(FL_RELEASE);
  EXPECT_EQ(meter->mode(), LevelMeter::LampModeRepaint);
  test::showAndDraw(win);
  EXPECT_EQ(meter->mode(), LevelMeter::LampMode);
  // The lamp sits at the right end in the state colour; the label area was
  // cleared to the selection colour.
  meter->color(FL_YELLOW);
  meter->redraw();
  test::showAndDraw(win);
  Pixels px(win, meter->x(), meter->y(), meter->w(), meter->h());
  const int lampX = meter->x() + meter->w() - meter->h() - 1;
  EXPECT_EQ(px.at(lampX + meter->h() / 2, meter->y() + meter->h() / 2), rgbOf(FL_YELLOW));
  EXPECT_EQ(px.at(meter->x() + 1, meter->y() + 1), rgbOf(meter->selection_color()));

  meter->handle(FL_PUSH);
  meter->handle(FL_RELEASE);
  EXPECT_EQ(meter->mode(), LevelMeter::BarMode);
}

TEST_F(VuMeterTest, TheLampLabelLooksTheSameAfterManyStatusChanges) {
  meter->mode(LevelMeter::LampMode);
  test::showAndDraw(win);
  const int labelW = meter->w() - meter->h() - 1;
  const Pixels first(win, meter->x(), meter->y(), labelW, meter->h());
  const Fl_Color states[] = {FL_GREEN, FL_RED, FL_YELLOW, FL_BLACK};
  for (int i = 0; i < 20; ++i) {
    meter->color(states[i % 4]);
    meter->redraw();
    Fl::flush();
  }
  const Pixels later(win, meter->x(), meter->y(), labelW, meter->h());
  int differing = 0;
  for (int y = meter->y(); y < meter->y() + meter->h(); ++y)
    for (int x = meter->x(); x < meter->x() + labelW; ++x)
      differing += first.at(x, y) != later.at(x, y);
  EXPECT_EQ(differing, 0);
}

// The lamp never covers the label: every pixel the label adds lies left of
// the lamp, in English and in the longest translation.
TEST_F(VuMeterTest, TheLampLabelStaysLeftOfTheLamp) {
  meter->mode(LevelMeter::LampMode);
  meter->labelsize(14);
  meter->color(FL_YELLOW);
  const int lampX = meter->x() + meter->w() - meter->h() - 1;
  auto drawn = [&](const char* label) {
    meter->label(label);
    meter->redraw();
    test::showAndDraw(win);
    return Pixels(win, meter->x(), meter->y(), meter->w(), meter->h());
  };
  for (const char* label : {"Signal", "Signal reçu"}) {
    const Pixels bare = drawn(nullptr);
    const Pixels labelled = drawn(label);
    int leftOfLamp = 0, onTheLamp = 0;
    for (int y = meter->y(); y < meter->y() + meter->h(); ++y)
      for (int x = meter->x(); x < meter->x() + meter->w(); ++x)
        if (bare.at(x, y) != labelled.at(x, y)) ++(x < lampX ? leftOfLamp : onTheLamp);
    EXPECT_GT(leftOfLamp, 0) << label;
    EXPECT_EQ(onTheLamp, 0) << label;
  }
}

TEST(VuMeterMode, StoredValuesAreTakenAsKnownModes) {
  LevelMeter meter(0, 0, 69, 20);
  struct Case {
    int stored;
    int mode;
  } cases[] = {{0, LevelMeter::BarMode},
               {1, LevelMeter::LampMode},
               {2, LevelMeter::LampMode},
               {7, LevelMeter::BarMode},
               {-1, LevelMeter::BarMode}};
  for (const Case& c : cases) {
    meter.restoreMode(c.stored);
    EXPECT_EQ(meter.mode(), c.mode) << "stored " << c.stored;
  }
}

}  // namespace
}  // namespace quelto
