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

void StringIndexMap::Build(const Census& census) {
  strings_.Clear();
  strings_.Reserve(census.GetCount());
  for (const auto& entry : census) strings_.Intern(entry.key.Chars(), entry.key.Length());
}

std::uint32_t StringIndexMap::IndexOf(const ByteString& s) const {
  const std::uint32_t index = strings_.Lookup(s.Chars(), s.Length());
  if (index == StringInterner::kNone) throw std::logic_error("string missing from the census");
  return index;
}

void DocumentWriter::WriteTree(const ElementNode* root, const Census& census) {
  writer_.BeginChunk(TreeChunk);
  struct ClearOnExit {
    StringIndexMap& map;
    ~ClearOnExit() { map.Clear(); }
  } clear{map_};
  map_.Build(census);
  WriteElement(root, map_);
  writer_.EndChunk();
}

void DocumentWriter::BeginElement(const ElementNode* node, const StringIndexMap& map) {
  writer_.BeginChunk(ElementChunk);
  writer_.WriteUInt32(map.IndexOf(node->name));
  writer_.BeginChunk(AttributesChunk);
  writer_.WriteUInt32(node->attributes.GetCount());
  for (Position pos = node->attributes.GetStartPosition(); pos != 0;) {
    const AttributeList::Entry& attribute = node->attributes.GetNext(pos);
    writer_.WriteUInt32(map.IndexOf(attribute.key));
    writer_.WriteUInt32(map.IndexOf(attribute.value));
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
