#include "ui/widgets/rounded_tabs.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace quelto {

namespace {
constexpr Fl_Color kLightEdge = 54;
constexpr Fl_Color kDarkEdge = 39;
// Tabs are drawn 10 pixels narrower than their span, 8 of which the sloped
// right edge takes back: neighbours end up 2 pixels apart.
constexpr int kTabShrink = 10;
}  // namespace

RoundedTabs::RoundedTabs(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label) {
  box(FL_THIN_UP_BOX);
}

RoundedTabs::~RoundedTabs() = default;

int RoundedTabs::tabHeight() const {
  int top = h();
  int bottom = y();
  for (int i = 0; i < children(); ++i) {
    const Fl_Widget* o = child(i);
    top = std::min(top, o->y() - y());
    bottom = std::max(bottom, o->y() + o->h());
  }
  const int below = y() + h() - bottom;
  const int inset = Fl::box_dy(box());
  if (below > top) return std::min(0, -(below - inset));
  return std::max(0, top - inset);
}

RoundedTabs::TabLayout RoundedTabs::tabLayout() {
  TabLayout t;
  t.height = tabHeight();
  t.count = std::min(children(), kMaxPages);
  const Fl_Widget* current = value();
  auto& p = t.position;
  auto& w = t.width;
  p[0] = 0;
  for (int i = 0; i < t.count; ++i) {
    Fl_Widget* o = child(i);
    if (o == current) t.current = i;
    int labelW = 0, labelH = 0;
    if (o->label() && *o->label()) o->measure_label(labelW, labelH);
    w[i] = std::max(labelW + kSlope, kMinTabWidth);
    p[i + 1] = p[i] + w[i];
  }
  const int n = t.count;
  int r = this->w() - kSlope - 1;
  if (p[n] <= r) return t;
  // Too wide: pack the tabs against the right edge, each overlapping the
  // next by at most the slope...
  p[n] = r;
  for (int i = n - 1; i >= 0; --i) {
    int l = std::min(r - w[i], p[i + 1] - kSlope);
    if (p[i] <= l) break;
    p[i] = l;
    r -= kSlope;
  }
  // ...then against the left edge, cutting widths that still do not fit...
  for (int i = 0; i < n; ++i) {
    if (p[i] >= i * kSlope) break;
    p[i] = i * kSlope;
    w[i] = std::min(w[i], this->w() - 1 - kSlope * (n - i) - p[i]);
  }
  // ...and let the tabs right of the current one start where their left
  // neighbour ends, so the current tab shows whole.
  for (int i = n; i > t.current; --i) p[i] = p[i - 1] + w[i - 1];
  return t;
}

Fl_Widget* RoundedTabs::value() {
  if (value_ && find(value_) < children() && value_->visible()) return value_;
  value_ = nullptr;
  for (int i = 0; i < children(); ++i) {
    Fl_Widget* o = child(i);
    if (value_) {
      o->hide();
    } else if (o->visible()) {
      value_ = o;
    }
  }
  if (!value_ && children() > 0) {
    value_ = child(0);
    value_->show();
  }
  return value_;
}

bool RoundedTabs::value(Fl_Widget* page) {
  Fl_Widget* previous = value();
  if (!page || page == previous || find(page) >= children()) return false;
  page->show();
  if (previous) previous->hide();
  value_ = page;
  redraw();
  do_callback();
  return true;
}

Fl_Widget* RoundedTabs::which(int eventX, int eventY) {
  const TabLayout t = tabLayout();
  const int H = t.height;
  if (H == 0) return nullptr;
  if (H > 0) {
    if (eventY > y() + H || eventY < y()) return nullptr;
  } else {
    if (eventY > y() + h() || eventY < y() + h() + H) return nullptr;
  }
  if (eventX < x()) return nullptr;
  // How far down the slope the point is: tabs lean over their right
  // neighbours, so the boundary between two tabs moves with the height.
  const int d = (eventY - (H > 0 ? y() : y() + h())) * kSlope / H;
  for (int i = 0; i < t.count; ++i) {
    if (eventX < x() + t.position[i + 1] + (i < t.current ? kSlope - d : d)) return child(i);
  }
  return nullptr;
}

void RoundedTabs::setPush(Fl_Widget* page) {
  if (push_ == page) return;
  const Fl_Widget* current = value();
  if ((push_ && push_ != current) || (page && page != current)) damage(FL_DAMAGE_EXPOSE);
  push_ = page;
}

int RoundedTabs::handle(int event) {
  switch (event) {
    case FL_PUSH: {
      const int H = tabHeight();
      const bool inStrip =
          H > 0 ? Fl::event_y() <= y() + H : (H < 0 && Fl::event_y() >= y() + h() + H);
      if (!inStrip) {
        value();
        return Fl_Group::handle(event);
      }
    }
      [[fallthrough]];
    case FL_DRAG:
    case FL_RELEASE: {
      Fl_Widget* o = which(Fl::event_x(), Fl::event_y());
      if (event == FL_RELEASE) {
        setPush(nullptr);
        if (o) value(o);
      } else {
        setPush(o);
      }
      return 1;
    }
    default:
      value();
      return Fl_Group::handle(event);
  }
}

void RoundedTabs::draw() {
  Fl_Widget* v = value();
  const TabLayout t = tabLayout();
  const int H = t.height;
  if (damage() & FL_DAMAGE_ALL) {
    const Fl_Color c = v ? v->color() : color();
    const int stripY = H >= 0 ? y() : y() + h() + H;
    const int pageY = H >= 0 ? y() + H : y();
    const int pageH = h() - (H >= 0 ? H : -H);
    fl_color(color());
    fl_rectf(x(), stripY, w(), H >= 0 ? H : -H);
    fl_push_clip(x(), pageY, w(), pageH);
    draw_box(box(), x(), pageY, w(), pageH, c);
    fl_pop_clip();
    if (v) draw_child(*v);
  } else if (v) {
    update_child(*v);
  }
  if (!(damage() & (FL_DAMAGE_EXPOSE | FL_DAMAGE_ALL)) || !v || H == 0) return;
  const auto tabX1 = [&](int i) { return x() + t.position[i]; };
  const auto tabX2 = [&](int i) { return x() + t.position[i + 1] - kTabShrink; };
  for (int i = 0; i < t.current; ++i)
    drawTab(tabX1(i), tabX2(i), t.width[i] - kTabShrink, H, child(i), TabPlace::LeftOfCurrent);
  for (int i = t.count - 1; i > t.current; --i)
    drawTab(tabX1(i), tabX2(i), t.width[i] - kTabShrink, H, child(i), TabPlace::RightOfCurrent);
  const int i = t.current;
  drawTab(tabX1(i), tabX2(i), t.width[i] - kTabShrink, H, child(i), TabPlace::Current);
}

void RoundedTabs::drawTab(int x1, int x2, int W, int H, Fl_Widget* page, TabPlace place) {
  if (x2 < x1 + W) {
    // Squeezed: show the tab whole on the side its label is read from.
    if (place == TabPlace::LeftOfCurrent) {
      x2 = (x1 + W < x2 + kSlope) ? x1 + W : x2 + kSlope;
    } else {
      x1 = (x1 + W < x2 + kSlope) ? x2 - W : x1 - kSlope;
    }
  }
  const bool current = place == TabPlace::Current;
  const int s = current ? 1 : 0;
  const int d = current ? 0 : 2;  // tabs behind the current one stand lower
  const int stripH = H > 0 ? H : -H;
  // Vertical offsets are measured from the strip's outer edge; tabs at the
  // bottom are the mirror image of tabs at the top.
  const auto Y = [&](int k) { return H > 0 ? y() + k : y() + h() - 1 - k; };
  const int xr = x2 + kSlope;

  fl_color(page->color());
  fl_begin_polygon();
  fl_vertex(x1, Y(stripH + s - 1));
  fl_vertex(x1, Y(d + 2));
  fl_vertex(x1 + 2, Y(d));
  fl_vertex(xr - 2, Y(d));
  fl_vertex(xr, Y(d + 2));
  fl_vertex(xr, Y(stripH + s));
  fl_end_polygon();

  const bool pressed = !current && page == push_;
  fl_color(pressed ? kDarkEdge : kLightEdge);
  fl_line(x1, Y(stripH + s - 1), x1, Y(d + 2), x1 + 2, Y(d));
  fl_line(x1 + 2, Y(d), xr - 2, Y(d));
  if (current) {
    if (x1 > x()) fl_line(x(), Y(stripH), x1, Y(stripH));
    if (xr < x() + w() - 1) fl_line(xr, Y(stripH), x() + w() - 1, Y(stripH));
  }
  fl_color(pressed ? kLightEdge : kDarkEdge);
  fl_line(xr - 2, Y(d), xr, Y(d + 2), xr, Y(stripH + s - 1));

  if (W >= kSlope + 1) {
    const int labelX = place == TabPlace::LeftOfCurrent ? x1 + kSlope : x2 - W + kSlope;
    const int labelY = H > 0 ? y() : y() + h() - stripH - 3;
    page->draw_label(labelX, labelY, W - kSlope, stripH + 3, FL_ALIGN_CENTER);
  }
}

}  // namespace quelto
