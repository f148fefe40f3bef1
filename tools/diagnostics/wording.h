// The small pieces of the findings' wording that many messages share: how
// a name is quoted, a byte written, a character named, a number grouped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace oxa::tools {

// `text` in double quotes, as the messages quote what the author wrote.
std::string Quoted(std::string_view text);
std::string Quoted(std::u32string_view text);

// `value` in upper-case hexadecimal, at least `digits` digits.
std::string Hex(unsigned value, int digits);

// A character as the messages name it: `"é" (U+00E9)`, or `U+0001` for one
// that does not show (controls, U+FFFD).
std::string CharacterName(char32_t c);

// `n` with its thousands grouped by commas.
std::string Grouped(std::uint64_t n);

}  // namespace oxa::tools
