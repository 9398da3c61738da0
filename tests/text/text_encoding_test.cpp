#include "text/text_encoding.h"

#include <gtest/gtest.h>

namespace quelto {
namespace {

TEST(TextEncoding, EveryDefinedByteSurvivesTheRoundTrip) {
  const std::string undefined = "\x81\x8D\x8F\x90\x9D";
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string back = utf8ToCp1252(cp1252ToUtf8(one));
    if (undefined.find(static_cast<char>(b)) != std::string::npos) {
      EXPECT_EQ(back, "") << "byte " << b;
    } else {
      EXPECT_EQ(back, one) << "byte " << b;
    }
  }
}

TEST(TextEncoding, KnownCharacters) {
  struct Case {
    std::string cp1252;
    std::string utf8;
  };
  const Case cases[] = {
      {"A", "A"},
      {"\xE9", "\xC3\xA9"},              // é
      {"\x80", "\xE2\x82\xAC"},          // €
      {"\x9C", "\xC5\x93"},              // œ
      {"\xC7\xE0", "\xC3\x87\xC3\xA0"},  // Çà
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp1252ToUtf8(c.cp1252), c.utf8);
    EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
  }
}

TEST(TextEncoding, DropsWhatHasNoForm) {
  EXPECT_EQ(utf8ToCp1252("a\xE2\x98\x83z"), "az");      // snowman
  EXPECT_EQ(utf8ToCp1252("a\xF0\x9F\x98\x80z"), "az");  // emoji
  EXPECT_EQ(utf8ToCp1252("a\xC3z"), "az");              // truncated sequence
  EXPECT_EQ(utf8ToCp1252("\xA9"), "");                  // stray continuation
}

// The Diagnostic report in French is shown in the received-text capitals:
// accented letters are raised with the others, and the letters with no
// Windows-1252 capital (ß, µ) and the signs between the letters stay.
TEST(TextEncoding, CapitalsOfAccentedLetters) {
  EXPECT_EQ(cp1252ToUtf8(cp1252ToUpper(utf8ToCp1252("périphérique où œuvre ÿ š ž à þ"))),
            "PÉRIPHÉRIQUE OÙ ŒUVRE Ÿ Š Ž À Þ");
  EXPECT_EQ(cp1252ToUtf8(cp1252ToUpper(utf8ToCp1252("ß µ ÷ × 1 € É Z"))), "ß µ ÷ × 1 € É Z");
}

}  // namespace
}  // namespace quelto
