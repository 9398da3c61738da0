// The built-in announcements and the request rule.
#include "audio/announcements.h"
#include "modem/modem_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace quelto {
namespace {

TEST(AnnouncementsTest, FrenchThenEnglishWithSpeechInThem) {
  const auto& list = announcements();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].text,
            "La personne qui vous appelle est malentendante et utilise un appareil de "
            "t\xC3\xA9l\xC3\xA9"
            "communication pour les sourds.");
  EXPECT_EQ(list[1].text, "Your caller is an hearing impaired using a TDD.");
  for (const Announcement& a : list) {
    SCOPED_TRACE(a.text);
    // Speech of a few seconds at 8000 samples per second, centred on 128,
    // loud enough to be heard and not clipped.
    EXPECT_GT(a.sampleCount, 2u * 8000);
    EXPECT_LT(a.sampleCount, 10u * 8000);
    double sum = 0, energy = 0;
    for (std::uint32_t i = 0; i < a.sampleCount; ++i) {
      sum += a.samples[i];
      energy += (a.samples[i] - 128.0) * (a.samples[i] - 128.0);
    }
    EXPECT_NEAR(sum / a.sampleCount, 128.0, 1.0);
    EXPECT_GT(std::sqrt(energy / a.sampleCount), 8.0);
    const auto [lo, hi] = std::minmax_element(a.samples, a.samples + a.sampleCount);
    EXPECT_GT(*lo, 0);
    EXPECT_LT(*hi, 255);
  }
  EXPECT_GT(list[0].sampleCount, list[1].sampleCount);
}

TEST(AnnouncementsTest, ARequestWhileOneIsPendingIsIgnored) {
  std::mutex mutex;
  ModemControl control(mutex);
  const auto& list = announcements();
  EXPECT_TRUE(control.requestAnnouncement(list[1].samples, list[1].sampleCount));
  EXPECT_FALSE(control.requestAnnouncement(list[0].samples, list[0].sampleCount));
  ModemControl::Lock lock(control);
  EXPECT_EQ(lock.announcementSamples(), list[1].samples);
  EXPECT_EQ(lock.announcementLength(), list[1].sampleCount);
}

}  // namespace
}  // namespace quelto
