// An expat unknown-encoding handler for the legacy encodings. On POSIX
// systems it rests on the C library's iconv and teaches the reference host's
// parser every encoding that iconv knows and expat's handler can express; on
// Windows it knows none yet, and expat reads only its own encodings there.
//
// expat can take an encoding in which each byte is either a character or the
// lead byte of a sequence whose length the lead byte alone decides, and in
// which every ASCII character of XML's markup is that same single byte. That
// covers the single-byte code pages (windows-125x, ISO-8859-x, KOI8-R/U, the
// DOS and Mac code pages, ASCII by any of its names) and the double-byte
// families (Shift_JIS/CP932, EUC-JP, GBK/CP936, GB2312, Big5/CP950,
// EUC-KR/CP949). Encodings that keep a shift state (ISO-2022-JP, UTF-7) or
// whose sequence length depends on later bytes (GB18030) are refused, and
// expat then reports "unknown encoding".
//
// What iconv says of an encoding is worked out once per process and name
// (thousands of conversions for a multi-byte one), whatever the name's case,
// and shared by every parse after it on any thread.
#pragma once

#include <expat.h>

#include <cstddef>
#include <cstdint>

namespace oxa::host {

// For XML_SetUnknownEncodingHandler (its data argument is unused). Fills
// `info` from iconv's description of `name` and returns XML_STATUS_OK, or
// returns XML_STATUS_ERROR for an encoding iconv lacks or expat cannot take.
int XMLCALL LegacyEncodingHandler(void* unused, const XML_Char* name, XML_Encoding* info);

// The character (a code point) that `byte` alone is in `encoding`, by
// iconv; false when the encoding has none for it or iconv lacks the encoding.
bool CharacterOfByte(const char* encoding, unsigned char byte, std::uint32_t* codePoint);

// A common encoding that is a superset of `encoding` (windows-874 for
// TIS-620, windows-1252 for ISO-8859-1 and ASCII, ...), or null.
const char* SupersetOf(const char* encoding) noexcept;

// How many encodings' tables this process has worked out so far.
std::size_t EncodingTablesBuilt() noexcept;

}  // namespace oxa::host
