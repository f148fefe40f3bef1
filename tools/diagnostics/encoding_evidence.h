// What a document's bytes say of its encoding, beyond what it declares: the
// likely encodings of an undeclared document that is not UTF-8, and the
// warnings where a declared encoding is not the one its author wrote in.
// The candidates are the multi-byte encodings this system reads
// (host::LayoutEncodings()), the detector's guess, the system's code page
// and windows-1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics/record.h"
#include "diagnostics/source_text.h"

namespace oxa::tools {

struct LikelyEncodings {
  std::vector<std::string> names;  // best first, as a declaration would name them
  bool clear = false;              // whether the first is clearly the answer
};

// The encodings an undeclared document that is not UTF-8 is likely written
// in. Every candidate must read every byte; a multi-byte one must also find
// two bytes above 0x7F side by side. One is clear when it is the
// system's code page (`systemCodePage`, "CP" and its number, or "" for
// none), the only multi-byte encoding that reads the bytes, or the one of
// several that the detector names on a longer text.
LikelyEncodings GuessEncoding(const std::uint8_t* bytes, std::size_t size,
                              const std::string& systemCodePage);

// The warnings about a declared encoding that the bytes contradict: ISO-8859-1
// holding bytes 0x80-0x9F (windows-1252, as browsers read it), or a legacy
// encoding holding nothing but well-formed UTF-8.
std::vector<Record> EncodingWarnings(const std::string& declared, const SourceText& source);

// Whether `encoding` reads every byte of the document: no byte it leaves
// undefined, no broken sequence.
bool ReadsAll(const std::string& encoding, const std::uint8_t* bytes, std::size_t size);

// Where the first byte 0x80-0x9F is: the C1 controls in ISO-8859-1; size
// when there is none.
std::size_t FirstC1Byte(const std::uint8_t* bytes, std::size_t size);

// Where the first byte that starts no well-formed UTF-8 character is; size
// when there is none.
std::size_t FirstNonUtf8(const std::uint8_t* bytes, std::size_t size);

// Whether the bytes above 0x7F are all well-formed UTF-8 sequences of two
// bytes or more, and there is at least one.
bool LooksLikeUtf8(const std::uint8_t* bytes, std::size_t size);

}  // namespace oxa::tools
