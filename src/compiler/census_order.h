// The census in text order: the interned strings of a compilation sorted
// once, at the end of the parse, and entered into the census by appending.
#pragma once

#include <cstdint>
#include <vector>

#include "base/byte_string.h"
#include "compiler/element_node.h"

namespace oxa {

// Enters `strings` (indexed by interned index) into the empty `census` in
// ascending text order, moving each text, and returns each interned index's
// rank in the census. O(n log n) comparisons, most of them on 16-byte keys
// without touching the texts. Throws std::bad_alloc when memory runs out.
std::vector<std::uint32_t> FillCensus(std::vector<ByteString> strings, Census* census);

}  // namespace oxa
