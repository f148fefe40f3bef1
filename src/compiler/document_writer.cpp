// DocumentWriter: string table, tree, and the hand-over to the host buffer.
#include "compiler/document_writer.h"

#include <stdexcept>
#include <vector>

#include "com/boundary.h"

namespace oxa {

HResult DocumentWriter::WriteDocument(const ElementNode* root, const Census& census,
                                      IBuffer* out) noexcept {
  RETURN_HR_IF_NULL(kFail, root);
  RETURN_HR_IF_NULL(kNullPointer, out);
  RETURN_IF_FAILED(Guarded([&] {
    writer_.BeginChunk(DocumentChunk);
    WriteStringTable(census);
    WriteTree(root, census);
    writer_.EndChunk();
    return kOk;
  }));
  return out->Set(writer_.Data(), writer_.Size());
}

void DocumentWriter::WriteStringTable(const Census& census) {
  writer_.BeginChunk(StringTableChunk);
  writer_.WriteUInt32(census.GetCount());
  std::uint64_t offset = 0;
  for (const auto& entry : census) {
    writer_.WriteUInt32(static_cast<std::uint32_t>(offset));
    offset += entry.key.Length() + 1;
    if (offset > 0xFFFFFFFFu) throw std::length_error("string table larger than 4 GB");
  }
  writer_.WriteUInt32(static_cast<std::uint32_t>(offset));
  for (const auto& entry : census) writer_.WriteString(entry.key.Chars(), entry.key.Length());
  writer_.EndChunk();
}

void DocumentWriter::WriteTree(const ElementNode* root, const Census& census) {
  writer_.BeginChunk(TreeChunk);
  StringIndexMap map;
  std::uint32_t index = 0;
  for (const auto& entry : census) map.SetAt(entry.key, index++);
  WriteElement(root, map);
  writer_.EndChunk();
}

std::uint32_t DocumentWriter::IndexOf(const ByteString& s, const StringIndexMap& map) const {
  const StringIndexMap::Entry* entry = map.Find(s);
  // Every string of the tree is in the census; a miss is an internal fault.
  if (entry == map.end()) throw std::logic_error("string missing from the census");
  return entry->value;
}

void DocumentWriter::BeginElement(const ElementNode* node, const StringIndexMap& map) {
  writer_.BeginChunk(ElementChunk);
  writer_.WriteUInt32(IndexOf(node->name, map));
  writer_.BeginChunk(AttributesChunk);
  writer_.WriteUInt32(node->attributes.GetCount());
  for (Position pos = node->attributes.GetStartPosition(); pos != 0;) {
    const AttributeList::Entry& attribute = node->attributes.GetNext(pos);
    writer_.WriteUInt32(IndexOf(attribute.key, map));
    writer_.WriteUInt32(IndexOf(attribute.value, map));
  }
  writer_.EndChunk();
  writer_.BeginChunk(ChildrenChunk);
  writer_.WriteUInt32(static_cast<std::uint32_t>(node->ChildCount()));
}

void DocumentWriter::WriteElement(const ElementNode* node, const StringIndexMap& map) {
  struct Frame {
    const ElementNode* node;
    std::int32_t next;
  };
  std::vector<Frame> stack;
  BeginElement(node, map);
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
    BeginElement(child, map);
    stack.push_back({child, 0});
  }
}

}  // namespace oxa
