// A compiled document too deep for any recursive reader, built by hand.
#pragma once

#include <cstdint>
#include <vector>

#include "format/compiled_format.h"

namespace oxa::testing {

// A chain of `depth` elements, each the only child of the one before, all
// named "d" (string 0), without attributes.
inline std::vector<std::uint8_t> ChainDocument(std::uint32_t depth) {
  std::vector<std::uint8_t> b;
  auto word = [&](std::uint32_t w) {
    b.resize(b.size() + 4);
    format::StoreUInt32(b.data() + b.size() - 4, w);
  };
  const std::uint32_t tree = 36 * depth;
  word(0), word(14 + 8 + tree + 8), word(1), word(14), word(1), word(0), word(2), b.push_back('d'),
      b.push_back(0);
  word(2), word(tree);
  for (std::uint32_t level = 0; level < depth; ++level) {
    const std::uint32_t below = 36 * (depth - level - 1);
    word(3), word(28 + below), word(0), word(4), word(4), word(0), word(5), word(4 + below),
        word(level + 1 < depth ? 1 : 0);
  }
  return b;
}

}  // namespace oxa::testing
