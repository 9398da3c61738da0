// Conversion between the Windows-1252 bytes the model speaks and the UTF-8
// text that the toolkit, the terminal and the clipboard speak.
//
// Only the boundaries call these: drawing and measuring conversation lines,
// typed and pasted text, the clipboard, metadata typed into windows, command
// line arguments, and interface strings that go into a file.
#pragma once

#include <string>

namespace quelto {

// Windows-1252 bytes to UTF-8. The five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
std::string cp1252ToUtf8(const std::string& bytes);

// UTF-8 to Windows-1252 bytes. Characters with no Windows-1252 form are
// dropped, and so is every byte of a malformed UTF-8 sequence.
std::string utf8ToCp1252(const std::string& text);

// The Unicode code point of one Windows-1252 byte (0xFFFD for the undefined
// ones), and the byte of a code point (-1 when it has none).
char32_t cp1252ToCodePoint(unsigned char byte);
int codePointToCp1252(char32_t cp);

// Windows-1252 text with every small letter that has a capital in
// Windows-1252 raised, accented ones included (\xe9 to \xc9, \x9c to \x8c).
std::string cp1252ToUpper(std::string bytes);

}  // namespace quelto
