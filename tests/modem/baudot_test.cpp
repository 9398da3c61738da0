#include "modem/baudot.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace quelto {
namespace {

// Encodes every byte of `typed` from `start` and returns the codes in line
// order (shift code first when one is sent).
std::vector<int> lineCodes(const std::string& typed, ShiftState& shift) {
  std::vector<int> out;
  for (char c : typed) {
    std::optional<BaudotCodes> codes = encodeChar(static_cast<unsigned char>(c), shift);
    if (!codes) continue;
    if (codes->shiftFirst) out.push_back(*codes->shiftFirst);
    out.push_back(codes->code);
  }
  return out;
}

std::string received(const std::vector<int>& codes, ShiftState& shift) {
  std::string out;
  for (int code : codes)
    if (std::optional<unsigned char> c = decodeCode(code, shift))
      out.push_back(static_cast<char>(*c));
  return out;
}

struct EncodeCase {
  const char* name;
  ShiftState start;
  std::string typed;
  std::vector<int> codes;
  ShiftState end;
};

TEST(BaudotEncode, ShiftRulesPutTheExpectedCodesOnTheLine) {
  const std::vector<EncodeCase> cases = {
      {"letter figure space letter", LTRS, "A1 B", {24, 27, 29, 31, 4, 19}, LTRS},
      {"carriage return in figures repeats FIGS", FIGS, "\r", {27, 2}, FIGS},
      {"carriage return in letters repeats LTRS", LTRS, "\r", {31, 2}, LTRS},
      {"line feed in figures repeats FIGS", FIGS, "\n", {27, 8}, FIGS},
      {"space in letters goes alone", LTRS, " ", {4}, LTRS},
      {"space in figures goes as LTRS space", FIGS, " ", {31, 4}, LTRS},
      {"letter in figures needs LTRS", FIGS, "T", {31, 1}, LTRS},
      {"figure in letters needs FIGS", LTRS, "5", {27, 1}, FIGS},
      {"figures run shifts once", LTRS, "12.5", {27, 29, 25, 7, 1}, FIGS},
      {"lower and upper case share codes", LTRS, "aA", {24, 24}, LTRS},
      {"e acute is E in letters", FIGS, "\xE9", {31, 16}, LTRS},
      {"c cedilla is letter C", LTRS, "\xE7", {14}, LTRS},
      {"backspace is code 0 and keeps figures", FIGS, "\b", {0}, FIGS},
      {"backspace is code 0 and keeps letters", LTRS, "\b", {0}, LTRS},
      {"rejected characters send nothing", FIGS, "\xC7\xD1@\x07", {}, FIGS},
      {"line end inside figures keeps figures", LTRS, "9\r\n9", {27, 3, 27, 2, 27, 8, 3}, FIGS},
  };
  for (const EncodeCase& c : cases) {
    ShiftState shift = c.start;
    EXPECT_EQ(lineCodes(c.typed, shift), c.codes) << c.name;
    EXPECT_EQ(shift, c.end) << c.name;
  }
}

struct DecodeCase {
  const char* name;
  ShiftState start;
  std::vector<int> codes;
  std::string text;
  ShiftState end;
};

TEST(BaudotDecode, PagesAndShiftsGiveTheExpectedText) {
  const std::vector<DecodeCase> cases = {
      {"FIGS then T code is 5", LTRS, {27, 1}, "5", FIGS},
      {"LTRS then T code is T", FIGS, {31, 1}, "T", LTRS},
      {"a space does not reset the page", LTRS, {27, 1, 4, 1}, "5 5", FIGS},
      {"bell on the figures page", FIGS, {20}, "\a", FIGS},
      {"S on the letters page", LTRS, {20}, "S", LTRS},
      {"backspace on letters", LTRS, {0}, "\b", LTRS},
      {"backspace on figures", FIGS, {0}, "\b", FIGS},
      {"line controls on both pages", FIGS, {2, 8, 31, 2, 8}, "\r\n\r\n", LTRS},
      {"codes outside 0-31 give nothing", LTRS, {-1, 32, 255}, "", LTRS},
  };
  for (const DecodeCase& c : cases) {
    ShiftState shift = c.start;
    EXPECT_EQ(received(c.codes, shift), c.text) << c.name;
    EXPECT_EQ(shift, c.end) << c.name;
  }
}

TEST(BaudotDecode, PagesMatchTheCodeTable) {
  const std::string letters = "\bT\rO HNM\nLRGIPCVEZDBSYFXAWJ UQK ";
  const std::string figures = std::string("\b5\r9 =,.\n)4+80:;3\"$?\a6!/-2' 71( ");
  for (int code = 0; code < 32; ++code) {
    if (code == FIGS || code == LTRS) continue;
    ShiftState shift = LTRS;
    EXPECT_EQ(decodeCode(code, shift), static_cast<unsigned char>(letters[code])) << code;
    shift = FIGS;
    EXPECT_EQ(decodeCode(code, shift), static_cast<unsigned char>(figures[code])) << code;
  }
}

// What the far end shows for every typed byte of Windows-1252: letters in
// capitals, accented letters as their base letter, figures as themselves.
// Every other byte must be rejected.
unsigned char expectedOnTheLine(unsigned char ch) {
  if (ch >= 'a' && ch <= 'z') return static_cast<unsigned char>(ch - 'a' + 'A');
  if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) return ch;
  if (std::string("!\"$'()+,-./:;=? \r\n").find(static_cast<char>(ch)) != std::string::npos)
    return ch;
  const std::string a = "\xC0\xC2\xC4\xE0\xE2\xE4", e = "\xC8\xC9\xCA\xCB\xE8\xE9\xEA\xEB",
                    i = "\xCC\xCE\xCF\xEC\xEE\xEF", o = "\xD2\xD4\xD6\xF2\xF4\xF6",
                    u = "\xD9\xDB\xDC\xF9\xFB\xFC";
  const char c = static_cast<char>(ch);
  if (a.find(c) != std::string::npos) return 'A';
  if (e.find(c) != std::string::npos) return 'E';
  if (i.find(c) != std::string::npos) return 'I';
  if (o.find(c) != std::string::npos) return 'O';
  if (u.find(c) != std::string::npos) return 'U';
  if (ch == 0xE7) return 'C';
  return 0;
}

TEST(BaudotRoundTrip, EveryByteFromBothPagesArrivesAsExpectedOrIsRejected) {
  int sendable = 0;
  for (int b = 0; b < 256; ++b) {
    const unsigned char ch = static_cast<unsigned char>(b);
    const unsigned char want = expectedOnTheLine(ch);
    EXPECT_EQ(isSendable(ch), want != 0 || ch == '\b') << "byte " << b;
    sendable += isSendable(ch);
    for (ShiftState start : {LTRS, FIGS}) {
      ShiftState tx = start;
      ShiftState rx = start;
      std::optional<BaudotCodes> codes = encodeChar(ch, tx);
      if (ch == '\b') {
        ASSERT_TRUE(codes);
        EXPECT_EQ(codes->code, 0);
        continue;
      }
      if (want == 0) {
        EXPECT_FALSE(codes) << "byte " << b;
        EXPECT_EQ(tx, start);
        continue;
      }
      ASSERT_TRUE(codes) << "byte " << b;
      std::vector<int> line;
      if (codes->shiftFirst) line.push_back(*codes->shiftFirst);
      line.push_back(codes->code);
      EXPECT_EQ(received(line, rx), std::string(1, static_cast<char>(want))) << "byte " << b;
      EXPECT_EQ(rx, tx) << "sender and receiver pages agree after byte " << b;
    }
  }
  // 52 letters, 10 digits, 15 punctuation marks, space, CR, LF, 33 accented
  // letters and backspace.
  EXPECT_EQ(sendable, 114);
  for (int rejected : {0xC1, 0xCD, 0xD3, 0xDA, 0xC7, 0xD1, 0x07, 0x80, int('@'), int('\t'), 0})
    EXPECT_FALSE(isSendable(static_cast<unsigned char>(rejected))) << rejected;
}

}  // namespace
}  // namespace quelto
