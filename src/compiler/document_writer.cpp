// DocumentWriter: string table, tree, and the hand-over to the host buffer.
#include "compiler/document_writer.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include <xmlcompiler/com/boundary.h>
#include <xmlcompiler/com/buffer.h>

namespace oxa {

namespace {

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
  // Every string is its bytes and a zero; every logged node is written as
  // an element head with its attributes' pairs.
  std::uint64_t strings = 0;
  for (const auto& entry : census) strings += std::uint64_t{entry.key.Length()} + 1;
  const std::uint64_t table =
      kChunkHeader + 4 + 4 * (std::uint64_t{census.GetCount()} + 1) + strings;
  const std::uint64_t tree = kChunkHeader + ElementHeadSize(0) * indexLog.NodeCount() +
                             std::uint64_t{kAttributePairSize} * indexLog.AttributeCount();
  return kChunkHeader + table + tree;
}

HResult DocumentWriter::HandOver(IBuffer* out) noexcept {
  RETURN_HR_IF_NULL(kNullPointer, out);
  return out->Set(writer_.Data(), writer_.Size());
}

void DocumentWriter::WriteStringTable(const Census& census) {
  writer_.BeginChunk(format::StringTableChunk);
  writer_.WriteUInt32(census.GetCount());
  std::uint64_t offset = 0;
  for (const auto& entry : census) {
    writer_.WriteUInt32(static_cast<std::uint32_t>(offset));
    offset += entry.key.Length() + 1;
    if (offset > kMaxSize32) throw std::length_error("string table larger than 4 GiB");
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

}  // namespace oxa
