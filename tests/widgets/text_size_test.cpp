#include "ui/forms/text_size.h"

#include <gtest/gtest.h>

namespace quelto {
namespace {

struct Sizes {
  int sent;
  int received;
  int band;
};

Sizes sizesOf(const Profile& p) {
  return {p.sentTextSize, p.receivedTextSize, p.currentTextSize};
}

TEST(TextSize, StepsAllThreeSizesTogetherWithinTheRange) {
  struct Case {
    Sizes before;
    int direction;
    Sizes after;
    bool changed;
  };
  const Case cases[] = {
      {{18, 18, 18}, +1, {20, 20, 20}, true},
      {{18, 18, 18}, -1, {16, 16, 16}, true},
      {{12, 24, 18}, +1, {14, 26, 20}, true},
      // The edges: one size stops, the others go on.
      {{71, 30, 72}, +1, {72, 32, 72}, true},
      {{9, 8, 20}, -1, {8, 8, 18}, true},
      {{72, 72, 72}, +1, {72, 72, 72}, false},
      {{8, 8, 8}, -1, {8, 8, 8}, false},
      // Stored by hand outside the range: never further out, never across.
      {{6, 100, 18}, +1, {8, 100, 20}, true},
      {{6, 100, 18}, -1, {6, 98, 16}, true},
      {{4, 4, 4}, -1, {4, 4, 4}, false},
      {{90, 90, 90}, +1, {90, 90, 90}, false},
  };
  for (const Case& c : cases) {
    Profile p;
    p.sentTextSize = c.before.sent;
    p.receivedTextSize = c.before.received;
    p.currentTextSize = c.before.band;
    SCOPED_TRACE(testing::Message() << c.before.sent << "/" << c.before.received << "/"
                                    << c.before.band << " direction " << c.direction);
    EXPECT_EQ(stepTextSizes(p, c.direction), c.changed);
    const Sizes after = sizesOf(p);
    EXPECT_EQ(after.sent, c.after.sent);
    EXPECT_EQ(after.received, c.after.received);
    EXPECT_EQ(after.band, c.after.band);
  }
}

TEST(TextSize, LeavesEveryOtherFieldAlone) {
  Profile p;
  p.printSentTextSize = 11;
  p.printReceivedTextSize = 13;
  Profile expected = p;
  ASSERT_TRUE(stepTextSizes(p, +1));
  expected.sentTextSize += kTextSizeStep;
  expected.receivedTextSize += kTextSizeStep;
  expected.currentTextSize += kTextSizeStep;
  EXPECT_EQ(p, expected);
}

}  // namespace
}  // namespace quelto
