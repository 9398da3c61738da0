#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "conversation/conversation.h"
#include "scratch_env.h"
#include "settings/translation.h"

namespace quelto {
namespace {

class RtfExport : public testing::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    setLanguage(kLanguageEnglish);
    Profile& p = currentProfile();
    p.receivedTextFace = 0;  // Helvetica
    p.receivedTextSize = 18;
    p.sentTextFace = 5;  // Courier bold
    p.sentTextSize = 12;
    p.firstName = "Marie";
    p.lastName = "Dupr\xc3\xa9";  // UTF-8, as profiles hold names
  }

  static void setLines(Conversation& c, const std::vector<std::string>& texts) {
    c.lines.clear();
    for (const std::string& t : texts) {
      auto line = std::make_unique<ConversationLine>();
      line->text = t;
      c.lines.push_back(std::move(line));
    }
  }

  static std::string rtf(Conversation& c) {
    std::ostringstream out;
    c.exportRtf(out);
    return out.str();
  }
};

const std::string kHead =
    "{\\rtf1\\ansi\\deff0\n"
    "{\\fonttbl{\\f0\\fswiss\\fprq2 helvetica;}{\\f1\\fmodern\\fprq0 courier;}}\n"
    "{\\info{\\comment Created by Quelto}{\\vern1000}}\n";
const std::string kPR = "\\pard\\plain\\f0\\fs36 ";
const std::string kPS = "\\pard\\plain\\f1\\fs24\\b ";

TEST_F(RtfExport, WholeDocumentWithEscapedMetadataAndText) {
  Conversation c;
  c.caller = "Dr {Martin}";
  c.date = "9/12";
  c.notes = "a\\b";
  setLines(c, {std::string("\x01HELLO\n\nBYE\n"), std::string("\x00ok {x} \\y", 10),
               std::string(1, '\0')});
  EXPECT_EQ(rtf(c), kHead + kPR + "Received Call: Dr \\{Martin\\}\\par\n" + kPR +
                        "Date: 9/12\\par\n" + kPR + "Notes: a\\\\b\\par\n" + kPR +
                        "Printed by: Marie Dupr\xe9\\par\n" + kPR + "\\par\n" + kPR +
                        "HELLO\\par\n" + kPR + "\\par\n" +  // two line feeds in a row
                        kPR + "BYE\\par\n" + kPS + "ok \\{x\\} \\\\y\\par\n" + kPS +
                        "\\par\n" +  // the empty current line
                        "}\n");
}

TEST_F(RtfExport, NotesKeepTheirLineBreaks) {
  Conversation c;
  struct Case {
    std::string notes, rtf;
  };
  const Case cases[] = {
      {"first\nsecond", "first\\line second"},
      {"dos\r\nline", "dos\\line line"},
      {"a\n\nb {c}", "a\\line \\line b \\{c\\}"},
      {"end\n", "end\\line "},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.notes);
    c.notes = tc.notes;
    EXPECT_NE(rtf(c).find(kPR + "Notes: " + tc.rtf + "\\par\n"), std::string::npos) << rtf(c);
  }
}

TEST_F(RtfExport, PlacedCallEmptyConversationAndStyles) {
  {
    SCOPED_TRACE("a placed call with an empty caller, nothing typed");
    Conversation c;
    c.incoming = 0;
    const std::string doc = rtf(c);
    EXPECT_NE(doc.find(kPR + "Placed Call: \\par\n"), std::string::npos);
    // The heading block's empty paragraph, then the one empty line's.
    const std::string tail = kPR + "\\par\n" + kPS + "\\par\n}\n";
    ASSERT_GE(doc.size(), tail.size());
    EXPECT_EQ(doc.substr(doc.size() - tail.size()), tail);
  }
  {
    SCOPED_TRACE("Times italic and bold italic; the headings translated and in Windows-1252");
    setLanguage(kLanguageFrench);
    currentProfile().receivedTextFace = 10;  // Times italic
    currentProfile().sentTextFace = 7;       // Courier bold italic
    Conversation c;
    const std::string doc = rtf(c);
    EXPECT_NE(doc.find("{\\fonttbl{\\f0\\froman\\fprq2 times;}{\\f1\\fmodern\\fprq0 courier;}}"),
              std::string::npos);
    EXPECT_NE(doc.find("\\pard\\plain\\f0\\fs36\\i Imprim\xe9 par: Marie Dupr\xe9\\par\n"),
              std::string::npos);
    EXPECT_NE(doc.find("\\pard\\plain\\f0\\fs36\\i Appel re\xe7u de: \\par\n"), std::string::npos);
    EXPECT_NE(doc.find("\\pard\\plain\\f1\\fs24\\b\\i \\par\n}\n"), std::string::npos);
  }
}

TEST_F(RtfExport, FileIsWrittenAndReplacedWhole) {
  Conversation c;
  c.addSent('x');
  ASSERT_TRUE(c.exportRtfFile(path("call.rtf")));
  EXPECT_FALSE(c.exportRtfFile(path("missing/call.rtf")));
  EXPECT_FALSE(c.exportRtfFile(""));
}

}  // namespace
}  // namespace quelto
