#include "audio/announcements.h"

#include <cstddef>

namespace quelto {

// Defined by the source generated from res/announce-*.raw.
extern const unsigned char kAnnouncementFrench[];
extern const std::size_t kAnnouncementFrenchLength;
extern const unsigned char kAnnouncementEnglish[];
extern const std::size_t kAnnouncementEnglishLength;

const std::vector<Announcement>& announcements() {
  static const std::vector<Announcement> list{
      {"La personne qui vous appelle est malentendante et utilise un appareil de "
       "télécommunication pour les sourds.",
       kAnnouncementFrench, static_cast<std::uint32_t>(kAnnouncementFrenchLength)},
      {"Your caller is an hearing impaired using a TDD.", kAnnouncementEnglish,
       static_cast<std::uint32_t>(kAnnouncementEnglishLength)},
  };
  return list;
}

}  // namespace quelto
