// How far apart two words are, for the suggestions of the nearest one: the
// plug-in's nearest layout id, and xmlc's nearest command or option.
#pragma once

#include <cstdint>

namespace oxa {

// The optimal-string-alignment distance of a and b (insertions, deletions,
// substitutions and swaps of neighbours, each 1), or bound + 1 when it is
// over `bound`. Byte-wise and case-sensitive.
std::uint32_t EditDistance(const char* a, std::uint32_t m, const char* b, std::uint32_t n,
                           std::uint32_t bound);

}  // namespace oxa
