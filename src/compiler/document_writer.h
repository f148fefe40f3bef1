// DocumentWriter: writes the compiled document of an element tree and its
// census (the format is described in format/compiled_format.h), and hands
// the bytes to a host buffer.
#pragma once

#include <cstdint>
#include <vector>

#include <xmlcompiler/com/boundary.h>

#include <xmlcompiler/com/buffer.h>
#include "compiler/chunk_writer.h"
#include "compiler/element_node.h"
#include "compiler/string_index_log.h"
#include "format/compiled_format.h"

namespace oxa {

class DocumentWriter {
 public:
  // Writes the document of `root` and `census`, taking the string indices
  // from a builder's index log (TreeBuilder::GetIndexLog), and copies it into
  // `out` with its Set. Returns 0, or: 0x80004005 without a root (nothing is
  // written) or for a log that does not match the tree (an internal fault),
  // 0x8007000E when memory runs out, 0x80070057 when the document or a string
  // offset would not fit 32 bits, or the failure of `out`'s Set. The bytes
  // stay readable through Writer() until Rewind.
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

  // Writes the document with the string indices that `indices` gives in
  // pre-order: Name(node), then AttributeName(entry) and AttributeValue(entry)
  // per attribute in list order, then Finish() once the tree is written; any
  // of them may throw. Results as Compose's. The index log gives them in the
  // library; the tests' reference writer looks them up.
  template <class Indices>
  HResult Write(const ElementNode* root, const Census& census, Indices& indices) noexcept;

 private:
  void WriteStringTable(const Census& census);
  // Writes `node`'s ElementChunk and those of all its descendants, in
  // pre-order, with an explicit stack rather than recursion.
  template <class Indices>
  void WriteElement(const ElementNode* node, Indices& indices);
  // Writes the element's name, its AttributesChunk, and opens its ChildrenChunk.
  template <class Indices>
  void BeginElement(const ElementNode* node, Indices& indices);

  ChunkWriter writer_;
};

template <class Indices>
HResult DocumentWriter::Write(const ElementNode* root, const Census& census,
                              Indices& indices) noexcept {
  return Guarded([&] {
    writer_.BeginChunk(format::DocumentChunk);
    WriteStringTable(census);
    writer_.BeginChunk(format::TreeChunk);
    WriteElement(root, indices);
    indices.Finish();
    writer_.EndChunk();
    writer_.EndChunk();
    return kOk;
  });
}

template <class Indices>
void DocumentWriter::BeginElement(const ElementNode* node, Indices& indices) {
  // The element's whole head is claimed at once: the ElementChunk's header
  // and name, the AttributesChunk (its length follows from the count) and the
  // ChildrenChunk's header and count. The Element and Children chunks stay
  // open; their lengths are patched when they end.
  using namespace format;
  const std::uint32_t count = node->attributes.GetCount();
  const std::uint64_t children = ChildrenChunkAt(count);
  const std::uint32_t start = writer_.Size();
  std::uint8_t* p = writer_.Claim(ElementHeadSize(count));
  StoreUInt32(p, ElementChunk);
  StoreUInt32(p + 4, 0);
  StoreUInt32(p + kElementNameAt, indices.Name(node));
  StoreUInt32(p + kElementAttributesAt, AttributesChunk);
  StoreUInt32(p + kElementAttributesAt + 4,
              static_cast<std::uint32_t>(children - kElementAttributesAt - kChunkHeader));
  StoreUInt32(p + kAttributeCountAt, count);
  std::uint8_t* pair = p + kAttributePairsAt;
  for (Position pos = node->attributes.GetStartPosition(); pos != 0; pair += kAttributePairSize) {
    const AttributeList::Entry& attribute = node->attributes.GetNext(pos);
    StoreUInt32(pair, indices.AttributeName(attribute));
    StoreUInt32(pair + 4, indices.AttributeValue(attribute));
  }
  StoreUInt32(p + children, ChildrenChunk);
  StoreUInt32(p + children + 4, 0);
  StoreUInt32(p + children + kChildCountAt, static_cast<std::uint32_t>(node->ChildCount()));
  writer_.OpenChunk(start + 4);
  writer_.OpenChunk(static_cast<std::uint32_t>(start + children + 4));
}

template <class Indices>
void DocumentWriter::WriteElement(const ElementNode* node, Indices& indices) {
  struct Frame {
    const ElementNode* node;
    std::int32_t next;
  };
  std::vector<Frame> stack;
  BeginElement(node, indices);
  stack.push_back({node, 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.node->ChildCount()) {
      writer_.EndChunk();  // ChildrenChunk
      writer_.EndChunk();  // ElementChunk
      stack.pop_back();
      continue;
    }
    const ElementNode* child = frame.node->Child(frame.next++);
    BeginElement(child, indices);
    stack.push_back({child, 0});
  }
}

}  // namespace oxa
