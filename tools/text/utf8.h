// UTF-8 and the characters' display widths, for every tool that reads or
// shows text: one decoder (utf8proc's), one encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace oxa::tools {

// The well-formed UTF-8 character that starts at `p` (before `end`): its
// length in bytes, its code point in `*c`; 0 when none starts there
// (a stray or missing continuation byte, an overlong form, a surrogate or a
// value past U+10FFFF).
std::size_t DecodeUtf8(const std::uint8_t* p, const std::uint8_t* end, char32_t* c);

// The same over `text` from `*at`, advancing `*at` past the character.
bool NextUtf8(std::string_view text, std::size_t* at, char32_t* c);

// Appends code point `c` to `out` in UTF-8.
void AppendUtf8(char32_t c, std::string* out);

// `text` in UTF-8.
std::string Utf8(std::u32string_view text);

// How many bytes `c` takes in UTF-8, and how many UTF-16 code units.
inline std::uint32_t Utf8Length(char32_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}
inline std::uint32_t Utf16Length(char32_t c) {
  return c < 0x10000 ? 1 : 2;
}

// The columns `c` takes in a terminal: 2 for East Asian wide characters, 0
// for combining marks, 1 otherwise.
int DisplayWidth(char32_t c);

}  // namespace oxa::tools
