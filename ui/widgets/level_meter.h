// LevelMeter: the input-level meter at the right end of the main window's
// bottom line.
//
// Two looks, switched by clicking the meter:
//  - bar mode: a row of up to 16 red segments while a signal is present, a
//    plain box in the state colour otherwise;
//  - lamp mode: the label ("Signal") and a square lamp in the state colour.
// The status refresh sets the colour (color()) and the level (value()) and
// redraws; the meter never reads the modem itself.
//
// Thresholds are process-wide: segment i lights while
// value > thresholdOffset() + i * thresholdFactor(). The application reads
// "VuMeterOffset"/"VuMeterFactor" once at start and hands them to
// setThresholds(); it reads "VuMeterLed" and passes it to restoreMode(), and
// stores savedMode() back at the end of the run.
//
// Interface thread only.
#pragma once

#include <FL/Fl_Box.H>

#include <cstdint>

namespace quelto {

class LevelMeter : public Fl_Box {
 public:
  enum Mode : int {
    BarMode = 0,
    LampMode = 1,
    LampModeRepaint = 2,  // lamp mode whose background is still to be filled once
  };
  static constexpr int kSegments = 16;
  static constexpr int kDefaultOffset = 0;
  static constexpr double kDefaultFactor = 12.0;

  LevelMeter(int x, int y, int w, int h, const char* label = nullptr);
  ~LevelMeter() override;

  int mode() const { return mode_; }
  void mode(int m) { mode_ = m; }
  // Takes the stored "VuMeterLed" value: 2 counts as lamp mode, anything
  // that is not a known mode falls back to bar mode.
  void restoreMode(int stored);
  int savedMode() const { return mode_; }
  bool barMode() const { return mode_ == BarMode; }

  std::uint8_t value() const { return value_; }
  void value(std::uint8_t v) { value_ = v; }

  static void setThresholds(int offset, double factor);
  static int thresholdOffset();
  static double thresholdFactor();

  // Number of segments that draw() lights for the current value, counting
  // from the left and stopping at the first threshold not exceeded.
  int litSegments() const;

  int handle(int event) override;

  // Label size used in lamp mode for a label that must fit in `room` pixels:
  // the stored size, reduced down to kMinLampLabelSize at most.
  int lampLabelSize(int room) const;
  static constexpr int kMinLampLabelSize = 8;

 protected:
  void draw() override;

 private:
  void drawLampLabel(int lampX);

  int mode_ = BarMode;
  std::uint8_t value_ = 0;
};

}  // namespace quelto
