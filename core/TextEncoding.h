// Conversions of the single-byte and UTF-16 texts that tags and playlist files
// still carry into the UTF-8 the whole player works in.
//
// Threads: any; the functions share no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

// Each byte taken as the Latin-1 character of the same code.
std::string Latin1ToUtf8(std::string_view latin1);

// Each byte taken as a Windows-1252 character: as Latin-1, except that 0x80 to
// 0x9F are the typographic characters that code page puts there (the five
// codes it leaves free stay C1 controls, as Windows itself maps them).
std::string Windows1252ToUtf8(std::string_view text);

// UTF-16 without its byte-order mark; an unpaired surrogate becomes U+FFFD
// and an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// The text as it is when it is valid UTF-8, otherwise taken as Latin-1.
std::string ToValidUtf8(std::string_view text);

} // namespace tessel
