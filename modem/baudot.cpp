#include "modem/baudot.h"

#include <array>

namespace quelto {
namespace {

// Receive pages, indexed by code. Entries 27 and 31 are never looked up:
// those codes are consumed as shifts.
constexpr std::array<unsigned char, 32> kLettersPage = {
    8,   'T', 13,  'O', ' ', 'H', 'N', 'M', 10,  'L', 'R', 'G', 'I', 'P', 'C', 'V',
    'E', 'Z', 'D', 'B', 'S', 'Y', 'F', 'X', 'A', 'W', 'J', ' ', 'U', 'Q', 'K', ' '};
constexpr std::array<unsigned char, 32> kFiguresPage = {
    8,   '5', 13,  '9', ' ', '=', ',', '.', 10,  ')', '4',  '+', '8', '0', ':', ';',
    '3', '"', '$', '?', 7,   '6', '!', '/', '-', '2', '\'', ' ', '7', '1', '(', '0'};

struct TransmitTables {
  std::array<uint8_t, 256> code{};  // 0 = no code
  std::array<bool, 256> hasCode{};
  std::array<bool, 256> sendable{};
};

TransmitTables makeTransmitTables() {
  TransmitTables t;
  auto set = [&t](unsigned char ch, int code) {
    t.code[ch] = static_cast<uint8_t>(code);
    t.hasCode[ch] = true;
  };
  for (int code = 0; code < 32; ++code) {
    if (code == FIGS || code == LTRS) continue;
    unsigned char letter = kLettersPage[code];
    if (letter >= 'A' && letter <= 'Z') {
      set(letter, code);
      set(static_cast<unsigned char>(letter - 'A' + 'a'), code);
    }
    unsigned char figure = kFiguresPage[code];
    // Control characters and the space are not figures; the bell can be
    // received but not typed.
    if (figure > ' ') set(figure, code);
  }
  set(' ', 4);
  set(kCarriageReturn, 2);
  set(kLineFeed, 8);
  // Accented letters in Windows-1252 go as their base letter.
  for (unsigned char ch : {0xC0, 0xC2, 0xC4, 0xE0, 0xE2, 0xE4}) set(ch, 24);              // A
  for (unsigned char ch : {0xC8, 0xC9, 0xCA, 0xCB, 0xE8, 0xE9, 0xEA, 0xEB}) set(ch, 16);  // E
  for (unsigned char ch : {0xCC, 0xCE, 0xCF, 0xEC, 0xEE, 0xEF}) set(ch, 12);              // I
  for (unsigned char ch : {0xD2, 0xD4, 0xD6, 0xF2, 0xF4, 0xF6}) set(ch, 3);               // O
  for (unsigned char ch : {0xD9, 0xDB, 0xDC, 0xF9, 0xFB, 0xFC}) set(ch, 28);              // U
  set(0xE7, 14);  // c cedilla
  t.sendable = t.hasCode;
  t.sendable[kBackspace] = true;
  return t;
}

const TransmitTables& transmitTables() {
  static const TransmitTables tables = makeTransmitTables();
  return tables;
}

bool isAsciiLetter(unsigned char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

}  // namespace

bool isSendable(unsigned char ch) {
  return transmitTables().sendable[ch];
}

std::optional<BaudotCodes> encodeChar(unsigned char ch, ShiftState& shift) {
  if (ch == kBackspace) return BaudotCodes{std::nullopt, 0};
  const TransmitTables& t = transmitTables();
  if (!t.hasCode[ch]) return std::nullopt;

  int wanted = (isAsciiLetter(ch) || ch > 128) ? LTRS : FIGS;
  std::optional<int> first;
  if (ch == kCarriageReturn || ch == ' ' || ch == kLineFeed) {
    // Line ends repeat the current shift so that a receiver that lost it
    // gets it back; the page itself does not change.
    wanted = shift;
    first = shift;
  }
  if (ch == ' ' && shift == LTRS) first.reset();
  // A space always leaves the sender in letters: figures + space goes as
  // LTRS + space.
  if (ch == ' ') wanted = LTRS;
  if (wanted != shift) {
    shift = wanted;
    first = wanted;
  }
  return BaudotCodes{first, t.code[ch]};
}

std::optional<ShiftState> pageOf(unsigned char ch) {
  if (ch == kBackspace || ch == ' ' || ch == kCarriageReturn || ch == kLineFeed)
    return std::nullopt;
  if (!transmitTables().hasCode[ch]) return std::nullopt;
  return (isAsciiLetter(ch) || ch > 128) ? LTRS : FIGS;
}

std::optional<unsigned char> decodeCode(int code, ShiftState& shift) {
  if (code < 0 || code > 31) return std::nullopt;
  if (code == FIGS) {
    shift = FIGS;
    return std::nullopt;
  }
  if (code == LTRS) {
    shift = LTRS;
    return std::nullopt;
  }
  return shift != LTRS ? kFiguresPage[code] : kLettersPage[code];
}

}  // namespace quelto
