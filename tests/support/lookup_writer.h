// The reference writer of the tests and fuzzers: the same document as the
// library writes, but with every string's index looked up in the census
// instead of read from the tree builder's index log. Documents written both
// ways must agree byte for byte, which checks the log.
#pragma once

#include <cstdint>
#include <stdexcept>

#include <xmlcompiler/com/boundary.h>
#include <xmlcompiler/com/buffer.h>
#include "compiler/document_writer.h"
#include "compiler/element_node.h"
#include "compiler/string_interner.h"

namespace oxa::testing {

// Maps each string of the table to its index. The census keys are interned
// in table order, so a string's interned index is its table index; a lookup
// is one hash probe.
class StringIndexMap {
 public:
  // Enters every census key, in order; throws std::bad_alloc.
  explicit StringIndexMap(const Census& census) {
    strings_.Reserve(census.GetCount());
    for (const auto& entry : census) strings_.Intern(entry.key.Chars(), entry.key.Length());
  }
  // The table index of `s`. Every string of the tree is in the census; a
  // missing one is a fault of the tree and throws std::logic_error.
  std::uint32_t IndexOf(const ByteString& s) const {
    const std::uint32_t index = strings_.Lookup(s.Chars(), s.Length());
    if (index == StringInterner::kNone) throw std::logic_error("string missing from the census");
    return index;
  }

 private:
  StringInterner strings_;
};

// Table indices found by looking each string up in a StringIndexMap.
struct MappedIndices {
  const StringIndexMap& map;
  std::uint32_t Name(const ElementNode* node) { return map.IndexOf(node->name); }
  std::uint32_t AttributeName(const AttributeList::Entry& a) { return map.IndexOf(a.key); }
  std::uint32_t AttributeValue(const AttributeList::Entry& a) { return map.IndexOf(a.value); }
  void Finish() {}
};

// Writes the document of `root` and `census` with `writer`, looking every
// index up, and copies it into `out` with its Set. Results as
// DocumentWriter::WriteDocument's.
inline HResult WriteByLookup(DocumentWriter& writer, const ElementNode* root, const Census& census,
                             IBuffer* out) noexcept {
  RETURN_HR_IF_NULL(kFail, root);
  RETURN_HR_IF_NULL(kNullPointer, out);
  return Guarded([&] {
    const StringIndexMap map(census);
    MappedIndices indices{map};
    RETURN_IF_FAILED(writer.Write(root, census, indices));
    return writer.HandOver(out);
  });
}

}  // namespace oxa::testing
