// DocumentWriter: writes the compiled document of an element tree and its
// census (the format is described in compiler/compiled_format.h), and hands
// the bytes to a host buffer.
#pragma once

#include <cstdint>
#include <vector>

#include <xmlcompiler/com/buffer.h>
#include "compiler/chunk_writer.h"
#include "compiler/element_node.h"
#include "compiler/string_index_log.h"
#include "compiler/string_interner.h"
#include "format/compiled_format.h"

namespace oxa {

// Maps each string of the table to its index. The census keys are interned
// in table order, so a string's interned index is its table index; a lookup
// is one hash probe. Built per document.
class StringIndexMap {
 public:
  // Enters every census key, in order; throws std::bad_alloc.
  void Build(const Census& census);
  // The table index of `s`. Every string of the tree is in the census; a
  // missing one is an internal fault and throws std::logic_error.
  std::uint32_t IndexOf(const ByteString& s) const;
  // Empties the map; its storage stays for the next document.
  void Clear() noexcept { strings_.Clear(); }

 private:
  StringInterner strings_;
};

class DocumentWriter {
 public:
  // Writes the document of `root` and `census` and copies it into `out` with
  // its Set. Returns 0, or: 0x80004005 without a root (nothing is written),
  // 0x8007000E when memory runs out, 0x80070057 when the document or a string
  // offset would not fit 32 bits, or the failure of `out`'s Set. The bytes
  // stay readable through Writer() until Rewind. Each string's index is
  // found through a StringIndexMap of the census.
  HResult WriteDocument(const ElementNode* root, const Census& census, IBuffer* out) noexcept;
  // The same, taking the indices from a builder's index log (TreeBuilder::GetIndexLog)
  // instead of looking strings up; a log that does not match the tree is an
  // internal fault (0x80004005).
  HResult WriteDocument(const ElementNode* root, const Census& census,
                        const StringIndexLog& indexLog, IBuffer* out) noexcept;
  // WriteDocument in two steps, so that the tree can be freed in between:
  // Compose writes the document from the index log (the results of
  // WriteDocument but the Set's), HandOver copies the bytes written into
  // `out` with its Set (0x80004003 for a null `out`).
  HResult Compose(const ElementNode* root, const Census& census,
                  const StringIndexLog& indexLog) noexcept;
  HResult HandOver(IBuffer* out) noexcept;
  // The bytes of the document Compose writes for `census` and `indexLog`.
  static std::uint64_t DocumentSize(const Census& census, const StringIndexLog& indexLog) noexcept;
  // Starts the next document at offset 0; the block stays allocated.
  void Rewind() noexcept { writer_.Rewind(); }

  const ChunkWriter& Writer() const noexcept { return writer_; }

 private:
  template <class Indices>
  HResult Write(const ElementNode* root, const Census& census, Indices& indices) noexcept;
  void WriteStringTable(const Census& census);
  // Writes `node`'s ElementChunk and those of all its descendants, in
  // pre-order, with an explicit stack rather than recursion.
  template <class Indices>
  void WriteElement(const ElementNode* node, Indices& indices);
  // Writes the element's name, its AttributesChunk, and opens its ChildrenChunk.
  template <class Indices>
  void BeginElement(const ElementNode* node, Indices& indices);

  ChunkWriter writer_;
  StringIndexMap map_;
};
}  // namespace oxa
