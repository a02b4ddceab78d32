// Text helpers. Text inside the program is UTF-8; bytes that arrive as 8-bit text and are not
// valid UTF-8 are taken as Windows-1252.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tw {

// True when the bytes form valid UTF-8 (plain ASCII included).
bool IsValidUtf8(std::string_view s);

// Windows-1252 bytes to UTF-8. The five codes the code page leaves undefined map to U+FFFD.
std::string Cp1252ToUtf8(std::string_view s);

// UTF-8 as it is when valid, else the bytes read as Windows-1252: never encodes twice.
std::string ToUtf8(std::string_view s);

// Appends the UTF-8 form of one code point (invalid ones become U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);

// UTF-16 code units (little- or big-endian bytes) to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// One Windows-1252 byte as its UTF-16 unit; the five undefined codes keep their value, as the
// desktop platforms' conversion does.
char16_t Cp1252ToUtf16(uint8_t b);
// UTF-16 units to Windows-1252 bytes; a character the code page lacks becomes '?'.
std::string Utf16ToCp1252(std::u16string_view s);
// UTF-8 (or, when not valid, Windows-1252 bytes) to UTF-16 units.
std::u16string Utf8ToUtf16(std::string_view s);
// UTF-16 units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);

// The number of UTF-16 code units of a UTF-8 text.
size_t Utf16Length(std::string_view utf8);

// The longest prefix of a UTF-8 text that holds at most maxUnits UTF-16 code units, never cutting
// a character in half.
std::string_view TruncateUtf16(std::string_view utf8, size_t maxUnits);

std::string ToLowerAscii(std::string_view s);

// Bytes as upper-case hexadecimal pairs with a separator between them ("0A FF").
std::string HexBytes(std::span<const uint8_t> bytes, std::string_view separator = " ");

}  // namespace tw
