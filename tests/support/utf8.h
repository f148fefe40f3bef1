// The UTF-8 bytes of one code point, for tests that build a document's
// expected text from a table of characters.
#pragma once

#include <cstdint>
#include <string>

namespace oxa::testing {

// `c` must be a Unicode scalar value (not a surrogate, at most U+10FFFF).
inline std::string Utf8(std::uint32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

}  // namespace oxa::testing
