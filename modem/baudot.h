// The 5-bit Baudot code that text telephones for the deaf put on the line,
// and the single shift state that both directions share.
//
// A code is a number 0-31 built from the five data bits in line order: the
// first data bit after the start bit is the most significant (16), the last
// the least significant (1); mark = 1, space = 0. So A = 24, E = 16, T = 1.
//
// Characters are single bytes of Windows-1252 (unsigned char). Everything
// here is pure table work: no state other than the shift value the caller
// passes in, safe to call from any thread on distinct shift values.
#pragma once

#include <cstdint>
#include <optional>

namespace quelto {

// The two shift codes. A shift state is always one of these two values,
// held as a plain int so it can be published as the modem's shift byte.
constexpr int FIGS = 27;
constexpr int LTRS = 31;
using ShiftState = int;

// Bytes with a meaning of their own on the line.
constexpr unsigned char kBackspace = 8;
constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kCarriageReturn = 13;
constexpr unsigned char kBell = 7;

// What encodeChar puts on the line for one accepted character: the shift
// code to send first (FIGS or LTRS) when one is needed, then the code.
struct BaudotCodes {
  std::optional<int> shiftFirst;
  int code = 0;
};

// True exactly for the characters that have a transmit code, plus backspace.
// Only these may be queued for sending.
bool isSendable(unsigned char ch);

// The codes that carry ch given the current shift state, which it updates:
// letters (and bytes above 128) want LTRS, figures want FIGS; carriage return
// and line feed repeat the current shift code and leave it unchanged; a space
// goes alone in letters, as LTRS + space in figures. Backspace is code 0 with
// no shift. Returns none (and leaves shift unchanged) for a character that
// has no code; accented letters go as their base letter.
std::optional<BaudotCodes> encodeChar(unsigned char ch, ShiftState& shift);

// The page a character is sent on: LTRS for letters (and bytes above 128),
// FIGS for figures and punctuation; none for characters that travel on
// either page (space, carriage return, line feed, backspace) or have no code.
std::optional<ShiftState> pageOf(unsigned char ch);

// The character a received code stands for on the current page, or none.
// FIGS (27) and LTRS (31) change the page and give no character; a received
// space does not change the page. Codes outside 0-31 give none.
// The result may be backspace (8), bell (7), carriage return (13) or line
// feed (10); the receive path decides what to do with those.
std::optional<unsigned char> decodeCode(int code, ShiftState& shift);

}  // namespace quelto
