#include "ui/widgets/level_meter.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace quelto {

namespace {
int gOffset = LevelMeter::kDefaultOffset;
double gFactor = LevelMeter::kDefaultFactor;
}  // namespace

LevelMeter::LevelMeter(int x, int y, int w, int h, const char* label) : Fl_Box(x, y, w, h, label) {}

LevelMeter::~LevelMeter() = default;

void LevelMeter::restoreMode(int stored) {
  switch (stored) {
    case LampMode:
    case LampModeRepaint:
      mode_ = LampMode;
      break;
    default:
      mode_ = BarMode;
      break;
  }
}

void LevelMeter::setThresholds(int offset, double factor) {
  gOffset = offset;
  gFactor = factor;
}

int LevelMeter::thresholdOffset() {
  return gOffset;
}

double LevelMeter::thresholdFactor() {
  return gFactor;
}

int LevelMeter::litSegments() const {
  int lit = 0;
  while (lit < kSegments && value_ > gOffset + lit * gFactor) ++lit;
  return lit;
}

int LevelMeter::lampLabelSize(int room) const {
  if (!label()) return labelsize();
  int size = labelsize();
  fl_font(labelfont(), size);
  while (size > kMinLampLabelSize && fl_width(label()) > room) fl_font(labelfont(), --size);
  return size;
}

void LevelMeter::drawLampLabel(int lampX) {
  // The label keeps to the room left of the lamp, a smaller size where a
  // long translation would otherwise run under it.
  const int room = lampX - x() - 2 * Fl::box_dx(box()) - 1;
  const Fl_Fontsize stored = labelsize();
  labelsize(lampLabelSize(room));
  fl_push_clip(x(), y(), lampX - x(), h());
  draw_label(x(), y(), lampX - x(), h(), align());
  fl_pop_clip();
  labelsize(stored);
}

void LevelMeter::draw() {
  if (mode_ != BarMode) {
    const int lampX = x() + w() - h() - 1;
    if (mode_ == LampModeRepaint) {
      // Coming from bar mode: the bar covered the whole widget.
      fl_draw_box(FL_FLAT_BOX, x(), y(), w(), h(), selection_color());
      mode_ = LampMode;
    } else {
      // Anti-aliased text drawn over itself grows darker at every
      // status change: clear the label's area first.
      fl_draw_box(FL_FLAT_BOX, x(), y(), lampX - x(), h(), selection_color());
    }
    drawLampLabel(lampX);
    draw_box(box(), lampX, y(), h(), h(), color());
    return;
  }
  if (color() != FL_RED) {
    draw_box(FL_BORDER_BOX, x(), y(), w(), h(), color());
    return;
  }
  draw_box(FL_BORDER_BOX, x(), y(), w(), h(), FL_BLACK);
  fl_color(FL_RED);
  const int lit = litSegments();
  for (int i = 0; i < lit; ++i) fl_rectf(x() + 2 + 4 * i, y() + 2, 3, h() - 4);
}

int LevelMeter::handle(int event) {
  switch (event) {
    case FL_PUSH:
    case FL_ENTER:
    case FL_LEAVE:
      return 1;
    case FL_RELEASE:
      mode_ = (mode_ == BarMode) ? LampModeRepaint : BarMode;
      redraw();
      return 1;
    default:
      return Fl_Box::handle(event);
  }
}

}  // namespace quelto
