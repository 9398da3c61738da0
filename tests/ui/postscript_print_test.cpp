// A conversation laid out through the toolkit's PostScript output and
// rendered by ghostscript: three pages that a person can look at in
// <build>/tests/conversation/print-out/page-<n>.png.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "conversation/conversation.h"
#include "settings/translation.h"
#include "tests/conversation/scratch_env.h"
#include "text/text_encoding.h"
#include "ui/fltk_page_device.h"

namespace quelto {
namespace {

namespace fs = std::filesystem;

using PostScriptPrint = testing::ScratchTest;

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(PostScriptPrint, ThreePageConversationRendersWithGhostscript) {
  setLanguage(kLanguageFrench);
  Profile profile;
  profile.firstName = "Ren\xc3\xa9";
  profile.lastName = "Lef\xc3\xa8vre";
  Conversation c;
  c.caller = utf8ToCp1252("Cabinet du Dr Fran\xc3\xa7ois");
  c.date =
      "9 d\xe9"
      "cembre 2026";
  c.notes = "Rendez-vous {annuel} \\ ordonnance";
  const std::string asked = utf8ToCp1252(
      "Bonjour, ici le cabinet m\xc3\xa9"
      "dical. Quel jour vous conviendrait pour le "
      "rendez-vous de contr\xc3\xb4le? Nous avons des places mardi et jeudi.\n");
  const std::string typed =
      "Mardi matin serait parfait, vers 10 heures si possible. Merci beaucoup!\tA bientot.\n";
  for (int turn = 0; turn < 16; ++turn) {
    for (const char ch : asked) c.addReceived(static_cast<unsigned char>(ch));
    for (const char ch : typed) c.addSent(static_cast<unsigned char>(ch));
  }

  const fs::path out = fs::path(QUELTO_BINARY_DIR) / "tests/conversation/print-out";
  fs::remove_all(out);
  fs::create_directories(out);
  const fs::path ps = out / "conversation.ps";
  ASSERT_TRUE(printConversationToPostScript(ps.string(), c, profile));

  const std::string doc = readAll(ps);
  ASSERT_EQ(doc.rfind("%!PS", 0), 0u);
  size_t pages = 0;
  for (size_t at = doc.find("%%Page:"); at != std::string::npos; at = doc.find("%%Page:", at + 1))
    ++pages;
  EXPECT_EQ(pages, 3u);

  const std::string gs = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r60 -sOutputFile='" +
                         (out / "page-%d.png").string() + "' '" + ps.string() + "'";
  ASSERT_EQ(std::system(gs.c_str()), 0);
  for (int n = 1; n <= 3; ++n) {
    const fs::path png = out / ("page-" + std::to_string(n) + ".png");
    ASSERT_TRUE(fs::exists(png)) << png;
    // A blank A4 page at this resolution compresses to well under 1 kB.
    EXPECT_GT(fs::file_size(png), 4000u) << png;
  }
  EXPECT_FALSE(fs::exists(out / "page-4.png"));
}

TEST_F(PostScriptPrint, AFailedWriteKeepsTheOldFile) {
  Conversation c;
  Profile profile;
  EXPECT_FALSE(printConversationToPostScript(path("missing/out.ps"), c, profile));
}

}  // namespace
}  // namespace quelto
