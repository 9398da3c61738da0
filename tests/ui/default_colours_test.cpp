// The default colours are readable: every text of a new profile (and of
// "Default Color" in Personal Preferences) against its background reaches
// the 4.5:1 contrast usually asked of body text, computed from the
// toolkit's own colour map.
#include <gtest/gtest.h>

#include <FL/Fl.H>

#include <algorithm>
#include <cmath>

#include "settings/profile.h"
#include "ui/conversation_view.h"
#include "ui/forms/personal_preferences.h"

namespace quelto {
namespace {

double channel(unsigned char c) {
  const double v = c / 255.0;
  return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double luminance(int colour) {
  unsigned char r, g, b;
  Fl::get_color(static_cast<Fl_Color>(colour), r, g, b);
  return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b);
}

double contrast(int a, int b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(DefaultColours, ContrastMeasureMatchesKnownPairs) {
  EXPECT_NEAR(contrast(FL_BLACK, FL_WHITE), 21.0, 0.01);
  EXPECT_NEAR(contrast(FL_CYAN, 196), 2.5, 0.1);  // the old received text on its background
}

TEST(DefaultColours, EveryTextIsReadableOnItsBackground) {
  const Profile p;
  const PreviewColours preview = defaultPreviewColours(kDefaultColour);
  const ConversationDisplay shown;
  struct Pair {
    const char* what;
    int text, background;
  } pairs[] = {
      {"sent", p.sentTextColor, p.backgroundColor},
      {"received", p.receivedTextColor, p.backgroundColor},
      {"band", p.currentTextColor, p.bottomBackgroundColor},
      {"selected sent", p.sentTextColor, kSelectionColor},
      {"selected received", p.receivedTextColor, kSelectionColor},
      {"Default Color sent", preview.sentTextColor, preview.backgroundColor},
      {"Default Color received", preview.receivedTextColor, preview.backgroundColor},
      {"Default Color band", preview.bottomTextColor, preview.bottomBoxColor},
      {"before a profile, sent", shown.sentColor, shown.background},
      {"before a profile, received", shown.receivedColor, shown.background},
      {"before a profile, band", shown.currentColor, shown.bottomBackground},
  };
  for (const Pair& pair : pairs) EXPECT_GE(contrast(pair.text, pair.background), 4.5) << pair.what;
  // Received and sent text are still told apart at a glance.
  EXPECT_NE(p.receivedTextColor, p.sentTextColor);
  EXPECT_GE(contrast(p.receivedTextColor, p.sentTextColor), 1.2);
}

}  // namespace
}  // namespace quelto
