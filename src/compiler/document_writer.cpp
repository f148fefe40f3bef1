// DocumentWriter: string table, tree, and the hand-over to the host buffer.
#include "compiler/document_writer.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include <xmlcompiler/com/boundary.h>

namespace oxa {

namespace {

// Table indices found by looking each string up in the StringIndexMap.
struct MappedIndices {
  const StringIndexMap& map;
  std::uint32_t Name(const ElementNode* node) { return map.IndexOf(node->name); }
  std::uint32_t AttributeName(const AttributeList::Entry& a) { return map.IndexOf(a.key); }
  std::uint32_t AttributeValue(const AttributeList::Entry& a) { return map.IndexOf(a.value); }
  void Finish() {}
};

// Table indices read from a builder's index log, in step with the pre-order walk.
struct LoggedIndices {
  const std::vector<std::uint32_t>& entries;
  const std::vector<std::uint32_t>& shapes;
  std::size_t at = 0;
  std::size_t name = 0;  // the next attribute name in `shapes`
  std::uint32_t Next() {
    if (at == entries.size()) throw std::logic_error("the index log ends before the tree");
    return entries[at++];
  }
  std::uint32_t Name(const ElementNode* node) {
    const std::uint32_t index = Next();
    const std::size_t shape = Next();
    if (shape >= shapes.size() || shapes[shape] != node->attributes.GetCount() ||
        shapes.size() - shape - 1 < shapes[shape]) {
      throw std::logic_error("the index log does not match the tree");
    }
    name = shape + 1;
    return index;
  }
  std::uint32_t AttributeName(const AttributeList::Entry&) { return shapes[name++]; }
  std::uint32_t AttributeValue(const AttributeList::Entry&) { return Next(); }
  void Finish() {
    if (at != entries.size()) throw std::logic_error("the index log holds more than the tree");
  }
};

}  // namespace

HResult DocumentWriter::WriteDocument(const ElementNode* root, const Census& census,
                                      IBuffer* out) noexcept {
  RETURN_HR_IF_NULL(kFail, root);
  RETURN_HR_IF_NULL(kNullPointer, out);
  struct ClearOnExit {
    StringIndexMap& map;
    ~ClearOnExit() { map.Clear(); }
  } clear{map_};
  RETURN_IF_FAILED(Guarded([&] {
    map_.Build(census);
    return kOk;
  }));
  MappedIndices indices{map_};
  RETURN_IF_FAILED(Write(root, census, indices));
  return HandOver(out);
}

HResult DocumentWriter::WriteDocument(const ElementNode* root, const Census& census,
                                      const StringIndexLog& indexLog, IBuffer* out) noexcept {
  RETURN_HR_IF_NULL(kNullPointer, out);
  RETURN_IF_FAILED(Compose(root, census, indexLog));
  return HandOver(out);
}

HResult DocumentWriter::Compose(const ElementNode* root, const Census& census,
                                const StringIndexLog& indexLog) noexcept {
  RETURN_HR_IF_NULL(kFail, root);
  // The document's size is known before writing: the block grows once.
  RETURN_IF_FAILED(Guarded([&] {
    writer_.Reserve(DocumentSize(census, indexLog));
    return kOk;
  }));
  LoggedIndices indices{indexLog.Entries(), indexLog.Shapes()};
  return Write(root, census, indices);
}

std::uint64_t DocumentWriter::DocumentSize(const Census& census,
                                           const StringIndexLog& indexLog) noexcept {
  using namespace format;
  // Every string is its bytes and a zero; a logged node of n attributes
  // takes 2 + n words in the log and 36 + 8n bytes written, so the tree
  // takes 20 bytes a node plus 8 a logged word.
  std::uint64_t strings = 0;
  for (const auto& entry : census) strings += std::uint64_t{entry.key.Length()} + 1;
  const std::uint64_t table =
      kChunkHeader + 4 + 4 * (std::uint64_t{census.GetCount()} + 1) + strings;
  const std::uint64_t tree = kChunkHeader + 20 * std::uint64_t{indexLog.NodeCount()} +
                             8 * std::uint64_t{indexLog.Entries().size()};
  return kChunkHeader + table + tree;
}

HResult DocumentWriter::HandOver(IBuffer* out) noexcept {
  RETURN_HR_IF_NULL(kNullPointer, out);
  return out->Set(writer_.Data(), writer_.Size());
}

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

void DocumentWriter::WriteStringTable(const Census& census) {
  writer_.BeginChunk(format::StringTableChunk);
  writer_.WriteUInt32(census.GetCount());
  std::uint64_t offset = 0;
  for (const auto& entry : census) {
    writer_.WriteUInt32(static_cast<std::uint32_t>(offset));
    offset += entry.key.Length() + 1;
    if (offset > 0xFFFFFFFFu) throw std::length_error("string table larger than 4 GB");
  }
  writer_.WriteUInt32(static_cast<std::uint32_t>(offset));
  // The strings' total size is known by now: one claim, then plain copies.
  std::uint8_t* p = writer_.Claim(offset);
  for (const auto& entry : census) {
    const std::uint32_t length = entry.key.Length();
    std::memcpy(p, entry.key.Chars(), length);
    p[length] = 0;
    p += length + 1;
  }
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
