// The reader's check and accessors.
//
// The check runs in constant memory. Element heads stand back to back in
// document order, so one pass visits every element at the offset where the
// previous head ends. At each element it checks the head, and that the
// element's children, reached through their lengths, fill its ChildrenChunk
// exactly with as many chunks as the count says. When that holds for every
// element, and the root fills the TreeChunk, the lengths describe exactly the
// tree the pass walked: an element whose children's lengths are right has its
// own length right, from the leaves up.
#include <xmlcompiler/format/document_reader.h>

#include <xmlcompiler/com/buffer.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "format/compiled_format.h"

namespace oxa::reader {

namespace {

using format::LoadUInt32;

// Bounds-checked reads for the check; offsets are 64-bit, so no sum of
// 32-bit fields wraps.
class Checker {
 public:
  Checker(const std::uint8_t* data, std::uint64_t size, ReadError* error)
      : data_(data), size_(size), error_(error) {}

  bool Fail(std::uint64_t offset, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    if (error_ != nullptr) {
      error_->offset = offset;
      va_list args;
      va_start(args, format);
      std::vsnprintf(error_->what, sizeof(error_->what), format, args);
      va_end(args);
    }
    return false;
  }
  // The word at `at`, which must end at or before `limit`.
  bool Word(std::uint64_t at, std::uint64_t limit, std::uint32_t* value, const char* field) {
    if (at + 4 > limit || at + 4 > size_)
      return Fail(at, "truncated: %s runs past the end of its chunk", field);
    *value = LoadUInt32(data_ + at);
    return true;
  }
  // A chunk header at `at` inside [.., limit): the tag, and a body that fits.
  bool Chunk(std::uint64_t at, std::uint64_t limit, std::uint32_t tag, const char* name,
             std::uint64_t* bodyEnd) {
    std::uint32_t actual = 0, length = 0;
    if (!Word(at, limit, &actual, "chunk tag")) return false;
    if (actual != tag) return Fail(at, "expected %s (tag %u), found tag %u", name, tag, actual);
    if (!Word(at + 4, limit, &length, "chunk length")) return false;
    *bodyEnd = at + format::kChunkHeader + length;
    if (*bodyEnd > limit && at == 0) {  // the DocumentChunk: nothing encloses it
      return Fail(at + 4, "%s length %u runs past the end of the data (%llu bytes)", name, length,
                  static_cast<unsigned long long>(limit));
    }
    if (*bodyEnd > limit)
      return Fail(at + 4, "%s length %u runs past the end of its enclosing chunk", name, length);
    return true;
  }

  bool CheckStrings(std::uint64_t tableEnd, std::uint32_t* count, std::uint64_t* dataAt);
  bool CheckElement(std::uint64_t at, std::uint64_t treeEnd, std::uint32_t strings,
                    std::uint64_t* headEnd, std::uint64_t* elementEnd);

 private:
  const std::uint8_t* data_;
  std::uint64_t size_;
  ReadError* error_;
};

bool Checker::CheckStrings(std::uint64_t tableEnd, std::uint32_t* countOut,
                           std::uint64_t* dataOut) {
  using format::kStringCountAt;
  using format::kStringOffsetsAt;
  std::uint32_t count = 0;
  if (!Word(kStringCountAt, tableEnd, &count, "string count")) return false;
  const std::uint64_t dataAt = kStringOffsetsAt + 4 * (std::uint64_t{count} + 1);
  if (dataAt > tableEnd)
    return Fail(kStringCountAt, "string count %u does not fit the table", count);
  const std::uint32_t total = LoadUInt32(data_ + dataAt - 4);
  if (dataAt + total != tableEnd)
    return Fail(dataAt - 4, "end offset %u does not match the table length", total);
  if (LoadUInt32(data_ + kStringOffsetsAt) != 0)
    return Fail(kStringOffsetsAt, "the first string offset is not 0");
  const char* chars = reinterpret_cast<const char*>(data_ + dataAt);
  std::string_view previous;
  std::uint32_t start = 0;
  for (std::uint32_t i = 1; i <= count; ++i) {
    const std::uint64_t field = kStringOffsetsAt + 4 * std::uint64_t{i};
    const std::uint32_t end = LoadUInt32(data_ + field);
    if (end <= start || end > total || (i == count && end != total))
      return Fail(field, "string offset %u out of order", end);
    const std::size_t length = end - start - 1;
    if (chars[start + length] != '\0' || std::memchr(chars + start, 0, length) != nullptr)
      return Fail(dataAt + start, "string %u is not one zero-terminated text", i - 1);
    const std::string_view s(chars + start, length);
    if (i > 1 && !(previous < s))  // unsigned byte order, each string once
      return Fail(dataAt + start, "string %u is not above the one before it", i - 1);
    previous = s;
    start = end;
  }
  *countOut = count;
  *dataOut = dataAt;
  return true;
}

// One element at `at` inside the TreeChunk: its head, and that its children
// fill its ChildrenChunk exactly.
bool Checker::CheckElement(std::uint64_t at, std::uint64_t treeEnd, std::uint32_t strings,
                           std::uint64_t* headEnd, std::uint64_t* elementEnd) {
  using namespace format;
  if (!Chunk(at, treeEnd, ElementChunk, "ElementChunk", elementEnd)) return false;
  const std::uint64_t end = *elementEnd;
  std::uint32_t name = 0, count = 0;
  if (!Word(at + kElementNameAt, end, &name, "name index")) return false;
  if (name >= strings) return Fail(at + kElementNameAt, "name index %u out of range", name);
  std::uint64_t attributesEnd = 0;
  if (!Chunk(at + kElementAttributesAt, end, AttributesChunk, "AttributesChunk", &attributesEnd))
    return false;
  if (!Word(at + kAttributeCountAt, attributesEnd, &count, "attribute count")) return false;
  if (at + ChildrenChunkAt(count) != attributesEnd)
    return Fail(at + kAttributeCountAt, "attribute count %u does not match the chunk length",
                count);
  std::uint32_t previousName = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t pair = at + kAttributePairsAt + std::uint64_t{kAttributePairSize} * i;
    const std::uint32_t key = LoadUInt32(data_ + pair);
    const std::uint32_t value = LoadUInt32(data_ + pair + 4);
    if (key >= strings) return Fail(pair, "attribute name index %u out of range", key);
    if (value >= strings) return Fail(pair + 4, "attribute value index %u out of range", value);
    if (i > 0 && key <= previousName)
      return Fail(pair, "attribute name index %u is not above the one before it", key);
    previousName = key;
  }
  std::uint64_t childrenEnd = 0;
  if (!Chunk(attributesEnd, end, ChildrenChunk, "ChildrenChunk", &childrenEnd)) return false;
  if (childrenEnd != end)
    return Fail(attributesEnd, "ElementChunk holds bytes after its ChildrenChunk");
  std::uint32_t children = 0;
  if (!Word(attributesEnd + kChildCountAt, end, &children, "child count")) return false;
  *headEnd = attributesEnd + kFirstChildAt;
  std::uint64_t child = *headEnd;
  for (std::uint32_t i = 0; i < children; ++i) {
    if (child == end) return Fail(child, "a ChildrenChunk holds fewer children than its count");
    std::uint64_t childEnd = 0;
    if (!Chunk(child, end, ElementChunk, "ElementChunk", &childEnd)) return false;
    if (childEnd - child < kChunkHeader + kEmptyElementBody)
      return Fail(child + 4, "ElementChunk length %u is too short for an element",
                  static_cast<unsigned>(childEnd - child - kChunkHeader));
    child = childEnd;
  }
  if (child != end) return Fail(child, "a ChildrenChunk holds bytes after its last child");
  return true;
}

}  // namespace

bool Document::Open(const void* data, std::size_t size, Document* doc, ReadError* error) noexcept {
  using namespace format;
  *doc = Document();
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  Checker check(bytes, size, error);
  if (bytes == nullptr) return check.Fail(0, "no document");
  if (size > kMaxSize32) return check.Fail(kMaxSize32, "documents end before 4 GiB");
  std::uint64_t documentEnd = 0;
  if (!check.Chunk(0, size, DocumentChunk, "DocumentChunk", &documentEnd)) return false;
  if (documentEnd != size)
    return check.Fail(documentEnd, "bytes follow the end of the DocumentChunk");
  std::uint64_t tableEnd = 0;
  if (!check.Chunk(kStringTableAt, documentEnd, StringTableChunk, "StringTableChunk", &tableEnd))
    return false;
  std::uint32_t strings = 0;
  std::uint64_t stringData = 0;
  if (!check.CheckStrings(tableEnd, &strings, &stringData)) return false;
  std::uint64_t treeEnd = 0;
  if (!check.Chunk(tableEnd, documentEnd, TreeChunk, "TreeChunk", &treeEnd)) return false;
  if (treeEnd != documentEnd)
    return check.Fail(treeEnd, "the DocumentChunk holds bytes after its TreeChunk");

  const std::uint64_t rootAt = tableEnd + kChunkHeader;
  std::uint64_t at = rootAt;
  std::uint32_t elements = 0;
  do {
    std::uint64_t headEnd = 0, elementEnd = 0;
    if (!check.CheckElement(at, treeEnd, strings, &headEnd, &elementEnd)) return false;
    if (at == rootAt && elementEnd != treeEnd)
      return check.Fail(elementEnd, "the TreeChunk holds more than one element");
    ++elements;
    at = headEnd;
  } while (at != treeEnd);

  doc->data_ = bytes;
  doc->size_ = static_cast<std::uint32_t>(size);
  doc->stringCount_ = strings;
  doc->stringData_ = static_cast<std::uint32_t>(stringData);
  doc->tree_ = static_cast<std::uint32_t>(tableEnd);
  doc->elementCount_ = elements;
  return true;
}

std::string_view Document::String(std::uint32_t index) const noexcept {
  if (index >= stringCount_) return {};
  const std::uint8_t* offsets = data_ + format::kStringOffsetsAt + 4 * std::size_t{index};
  const std::uint32_t start = LoadUInt32(offsets);
  const std::uint32_t end = LoadUInt32(offsets + 4);
  return {reinterpret_cast<const char*>(data_) + stringData_ + start, end - start - 1};
}

std::uint32_t Document::StringOffset(std::uint32_t index) const noexcept {
  if (index > stringCount_) return 0;
  return stringData_ + LoadUInt32(data_ + format::kStringOffsetsAt + 4 * std::size_t{index});
}

std::uint32_t Document::FindString(std::string_view text) const noexcept {
  std::uint32_t low = 0, high = stringCount_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const std::string_view s = String(middle);
    if (s < text) {
      low = middle + 1;
    } else if (text < s) {
      high = middle;
    } else {
      return middle;
    }
  }
  return kNoString;
}

Element Document::Root() const noexcept {
  if (data_ == nullptr) return {};
  return Element(this, tree_ + format::kChunkHeader);
}

ElementRange Document::Elements() const noexcept {
  if (data_ == nullptr) return ElementRange({}, {}, false);
  return ElementRange(Root(), Element(this, size_), false);
}

std::uint32_t Element::End() const noexcept {
  if (doc_ == nullptr) return 0;
  return at_ + format::kChunkHeader + LoadUInt32(doc_->data_ + at_ + 4);
}

std::uint32_t Element::NameIndex() const noexcept {
  if (doc_ == nullptr) return kNoString;
  return LoadUInt32(doc_->data_ + at_ + format::kElementNameAt);
}

std::string_view Element::Name() const noexcept {
  return doc_ == nullptr ? std::string_view() : doc_->String(NameIndex());
}

std::uint32_t Element::AttributeCount() const noexcept {
  if (doc_ == nullptr) return 0;
  return LoadUInt32(doc_->data_ + at_ + format::kAttributeCountAt);
}

Attribute Element::AttributeAt(std::uint32_t i) const noexcept {
  if (i >= AttributeCount()) return {kNoString, kNoString};
  const std::uint8_t* pair =
      doc_->data_ + at_ + format::kAttributePairsAt + std::size_t{format::kAttributePairSize} * i;
  return {LoadUInt32(pair), LoadUInt32(pair + 4)};
}

std::string_view Element::AttributeName(std::uint32_t i) const noexcept {
  return doc_ == nullptr ? std::string_view() : doc_->String(AttributeAt(i).name);
}

std::string_view Element::AttributeValue(std::uint32_t i) const noexcept {
  return doc_ == nullptr ? std::string_view() : doc_->String(AttributeAt(i).value);
}

bool Element::FindAttribute(std::string_view name, std::string_view* value) const noexcept {
  if (doc_ == nullptr) return false;
  // Names ascend within an element, and so do their indices in the sorted table.
  const std::uint32_t key = doc_->FindString(name);
  if (key == kNoString) return false;
  std::uint32_t low = 0, high = AttributeCount();
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const Attribute a = AttributeAt(middle);
    if (a.name < key) {
      low = middle + 1;
    } else if (key < a.name) {
      high = middle;
    } else {
      if (value != nullptr) *value = doc_->String(a.value);
      return true;
    }
  }
  return false;
}

std::uint32_t Element::ChildCount() const noexcept {
  if (doc_ == nullptr) return 0;
  return LoadUInt32(doc_->data_ + at_ + format::ChildrenChunkAt(AttributeCount()) +
                    format::kChildCountAt);
}

Element Element::Child(std::uint32_t i) const noexcept {
  if (i >= ChildCount()) return {};
  auto it = Children().begin();
  for (; i > 0; --i) ++it;
  return *it;
}

ElementRange Element::Children() const noexcept {
  if (doc_ == nullptr) return ElementRange({}, {}, true);
  const auto first = static_cast<std::uint32_t>(at_ + format::ElementHeadSize(AttributeCount()));
  return ElementRange(Element(doc_, first), Element(doc_, End()), true);
}

Element Element::NextInDocument() const noexcept {
  if (doc_ == nullptr) return {};
  const auto next = static_cast<std::uint32_t>(at_ + format::ElementHeadSize(AttributeCount()));
  return next == doc_->size_ ? Element() : Element(doc_, next);
}

ElementIterator& ElementIterator::operator++() noexcept {
  if (siblings_) {
    element_ = Element(element_.doc_, element_.End());
  } else {
    const Element next = element_.NextInDocument();
    element_ = next ? next : Element(element_.doc_, element_.doc_->size_);
  }
  return *this;
}

}  // namespace oxa::reader
