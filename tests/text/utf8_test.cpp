// The UTF-8 walking helpers on well-formed and broken text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "text/utf8.h"

namespace quelto {
namespace {

TEST(Utf8, CountsAndCutsWithoutSplittingACharacter) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  EXPECT_EQ(utf8CharacterCount(text), 5u);
  EXPECT_EQ(utf8CharacterCount(""), 0u);
  struct Case {
    std::size_t max, cut;
  } cases[] = {{0, 0}, {1, 1}, {2, 1},   {3, 3},   {4, 3},   {5, 3},
               {6, 6}, {9, 6}, {10, 10}, {11, 11}, {100, 11}};
  for (const Case& c : cases) EXPECT_EQ(utf8CutPoint(text, c.max), c.cut) << c.max;
}

TEST(Utf8, DecodesSequencesAndStepsOverBrokenOnes) {
  struct Case {
    std::string text;
    std::vector<std::optional<char32_t>> decoded;
  } cases[] = {
      {"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {U'A', U'\u00E9', U'\u20AC', U'\U0001F600'}},
      {"\x80"
       "A",
       {std::nullopt, U'A'}},  // a stray continuation
      {"\xC3"
       "A",
       {std::nullopt, U'A'}},        // cut short: A is kept
      {"\xE2\x82", {std::nullopt}},  // cut short at the end
      {"\xF8\x88\x80\x80\x80",
       {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},  // no such lead
  };
  for (const Case& c : cases) {
    std::vector<std::optional<char32_t>> got;
    for (std::size_t i = 0; i < c.text.size();) got.push_back(decodeUtf8(c.text, i));
    EXPECT_EQ(got, c.decoded) << c.text;
  }
  EXPECT_EQ(utf8SequenceLength(0x41), 1u);
  EXPECT_EQ(utf8SequenceLength(0xC3), 2u);
  EXPECT_EQ(utf8SequenceLength(0xE2), 3u);
  EXPECT_EQ(utf8SequenceLength(0xF0), 4u);
  EXPECT_EQ(utf8SequenceLength(0xFF), 1u);
}

}  // namespace
}  // namespace quelto
