// An expat unknown-encoding handler for the legacy encodings, with one
// meaning per name on every system.
//
// The names of the table of code pages (Shift_JIS and its aliases, GBK and
// GB2312, Big5, EUC-KR, windows-874 and TIS-620, windows-1250 to 1258, the
// DOS code pages 437, 850, 855 and 866, KOI8-R and KOI8-U, macintosh and
// MacCyrillic, ISO-8859-2 to -9, -13 and -15) mean the Windows code page's
// table, read through MultiByteToWideChar on Windows and through the C
// library's matching table (CP932, CP936, ...) on POSIX. In them, the C1
// controls that a Windows code page gives for the bytes it leaves undefined
// are refused, as are private-use characters; the few bytes where the
// systems' tables disagree are read one way on both. ASCII is read as expat
// reads US-ASCII, by the handler itself. On POSIX, any other name iconv
// knows is read through iconv as it stands; on Windows it is unknown.
// (expat itself reads UTF-8, UTF-16, ISO-8859-1 and US-ASCII.)
//
// expat can take an encoding in which each byte is either a character or the
// lead byte of a sequence whose length the lead byte alone decides, and in
// which every ASCII character of XML's markup is that same single byte.
// Encodings that keep a shift state (ISO-2022-JP, UTF-7) or whose sequence
// length depends on later bytes (GB18030) are refused, and expat then reports
// "unknown encoding".
//
// An encoding's tables are worked out once per process and encoding (thousands
// of conversions for a multi-byte one through iconv), whatever the name's
// case, and shared by every parse after it on any thread.
#pragma once

#include <xmlcompiler/com/platform.h>

#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace oxa::host {

// For XML_SetUnknownEncodingHandler (its data argument is unused). Fills
// `info` with the reading of `name` and returns XML_STATUS_OK, or returns
// XML_STATUS_ERROR for an encoding the system lacks or expat cannot take.
int XMLCALL LegacyEncodingHandler(void* unused, const XML_Char* name, XML_Encoding* info);

// The character (a code point) that `byte` alone is in `encoding`, as the
// handler reads it; false when there is none or the system lacks the encoding.
bool CharacterOfByte(const char* encoding, unsigned char byte, std::uint32_t* codePoint);

// The name a declaration would give the encoding `name` means: the first
// name of its code page in the table ("Shift_JIS" for "cp932"); null for a
// name outside the table.
const char* CanonicalEncodingName(const char* name) noexcept;

// A common encoding that is a superset of `encoding` (windows-874 for
// TIS-620, windows-1252 for ISO-8859-1 and ASCII, ...), or null.
const char* SupersetOf(const char* encoding) noexcept;

// A kind of encoding a layout may declare on this system, as the help and
// the manual list them.
struct EncodingFamily {
  const char* shown;  // "Shift_JIS/CP932", "windows-125x"
  const char* name;   // one name that declares it: "Shift_JIS", "windows-1252"
  bool multiByte;     // whether its characters take several bytes
};

// Every encoding a layout may declare on this system, XML's own first: the
// same list on every system but for the encodings that only the C library
// reads (EUC-JP), which come last.
std::span<const EncodingFamily> LayoutEncodings() noexcept;

// What this system reads beyond LayoutEncodings(), in words ("any other
// that iconv knows and expat can take"), or "" for nothing.
const char* OtherLayoutEncodings() noexcept;

// How many encodings' tables this process has worked out so far.
std::size_t EncodingTablesBuilt() noexcept;

}  // namespace oxa::host
