// A word processor reads the exported document back as the user typed it:
// braces, backslashes and accented letters included.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "conversation/conversation.h"
#include "scratch_env.h"
#include "settings/translation.h"
#include "text/text_encoding.h"

namespace quelto {
namespace {

using RtfInLibreOffice = testing::ScratchTest;

TEST_F(RtfInLibreOffice, TextComesOutAsTyped) {
  setLanguage(kLanguageEnglish);
  currentProfile().firstName = "Ren\xc3\xa9";
  currentProfile().lastName = "{L\\B}";
  currentProfile().receivedTextCapitals = 0;
  Conversation c;
  c.caller = utf8ToCp1252("Caf\xc3\xa9 {du} coin \\ ici");
  c.date = "1 {2} 3";
  c.notes = utf8ToCp1252("\xe2\x82\xac 5 \\par {\\b x}");
  for (const char ch : utf8ToCp1252("d\xc3\xa9j\xc3\xa0 {vu} \\o/\n"))
    c.addReceived(static_cast<unsigned char>(ch));
  for (const char ch : std::string("C:\\temp\\{new}")) c.addSent(static_cast<unsigned char>(ch));
  ASSERT_TRUE(c.exportRtfFile(path("call.rtf")));

  const std::string cmd = "cd '" + dir.string() + "' && HOME='" + dir.string() +
                          "' libreoffice --headless --convert-to 'txt:Text (encoded):UTF8' "
                          "--outdir out call.rtf >lo.log 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(path("out/call.txt"), std::ios::binary);
  ASSERT_TRUE(in.good());
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  if (text.rfind("\xef\xbb\xbf", 0) == 0) text.erase(0, 3);  // byte order mark
  EXPECT_EQ(text,
            "Received Call: Caf\xc3\xa9 {du} coin \\ ici\n"
            "Date: 1 {2} 3\n"
            "Notes: \xe2\x82\xac 5 \\par {\\b x}\n"
            "Printed by: Ren\xc3\xa9 {L\\B}\n"
            "\n"
            "d\xc3\xa9j\xc3\xa0 {vu} \\o/\n"
            "C:\\temp\\{new}\n");
}

}  // namespace
}  // namespace quelto
