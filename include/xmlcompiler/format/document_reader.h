// The reader of compiled documents, for hosts that load them at start-up.
//
// Document::Open checks a whole document once, as strictly as the format
// allows: every tag, length, count, offset and index, that the strings are
// zero-terminated, distinct and ascending, and that the chunks nest exactly.
// It reports the first fault with its offset, never reads outside the bytes
// it is given, allocates nothing and throws nothing. After that check every
// accessor reads the caller's bytes directly, in constant time unless its
// comment says otherwise, without allocating and without recursion.
//
//   oxa::reader::Document doc;
//   oxa::reader::ReadError error;
//   if (!oxa::reader::Document::Open(bytes, size, &doc, &error))
//     fprintf(stderr, "offset %llu: %s\n", (unsigned long long)error.offset, error.what);
//   for (oxa::reader::Element child : doc.Root().Children())
//     puts(std::string(child.Name()).c_str());
//
// The bytes must stay unchanged and alive while the Document and its
// Elements are used.
#pragma once

#include <xmlcompiler/com/platform.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include <xmlcompiler/com/buffer.h>

namespace oxa::reader {

// The first fault of a document that Open refused.
struct ReadError {
  std::uint64_t offset = 0;  // of the field at fault
  char what[160] = {};       // one line of English, zero-terminated
};

inline constexpr std::uint32_t kNoString = kNoIndex;

class Document;
class ElementRange;

// An attribute as stored: indices into the string table.
struct Attribute {
  std::uint32_t name;
  std::uint32_t value;
};

// One element of a checked document: a small view of its ElementChunk.
// A default-constructed Element is null (false); accessors of a null Element
// return empty values.
class Element {
 public:
  Element() = default;
  explicit operator bool() const noexcept { return doc_ != nullptr; }

  // Offset of its ElementChunk in the document, and one past its last byte.
  std::uint32_t Offset() const noexcept { return at_; }
  std::uint32_t End() const noexcept;
  std::uint32_t NameIndex() const noexcept;
  std::string_view Name() const noexcept;

  std::uint32_t AttributeCount() const noexcept;
  // The i-th attribute in stored order (ascending by name); {kNoString,
  // kNoString} when i is out of range.
  Attribute AttributeAt(std::uint32_t i) const noexcept;
  std::string_view AttributeName(std::uint32_t i) const noexcept;
  std::string_view AttributeValue(std::uint32_t i) const noexcept;
  // The value of the attribute named `name` (binary search); false when absent.
  bool FindAttribute(std::string_view name, std::string_view* value) const noexcept;

  std::uint32_t ChildCount() const noexcept;
  // The i-th child; O(i), as children are reached by skipping their
  // preceding siblings. Null when i is out of range.
  Element Child(std::uint32_t i) const noexcept;
  // The children in order: for (Element c : e.Children()) ...
  ElementRange Children() const noexcept;
  // The element after this one's head in document order (its first child,
  // next sibling or an ancestor's next sibling); null after the last.
  Element NextInDocument() const noexcept;

  friend bool operator==(const Element& a, const Element& b) noexcept {
    return a.doc_ == b.doc_ && a.at_ == b.at_;
  }

 private:
  friend class Document;
  friend class ElementIterator;
  Element(const Document* doc, std::uint32_t at) noexcept : doc_(doc), at_(at) {}

  const Document* doc_ = nullptr;
  std::uint32_t at_ = 0;
};

// Walks a range of elements: siblings (each next one starts at the previous
// one's end) or document order (each next one starts after the previous
// one's head).
class ElementIterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = Element;
  using difference_type = std::ptrdiff_t;
  using pointer = const Element*;
  using reference = const Element&;

  ElementIterator() = default;
  const Element& operator*() const noexcept { return element_; }
  const Element* operator->() const noexcept { return &element_; }
  ElementIterator& operator++() noexcept;
  ElementIterator operator++(int) noexcept {
    ElementIterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const ElementIterator& a, const ElementIterator& b) noexcept {
    return a.element_.Offset() == b.element_.Offset();
  }

 private:
  friend class ElementRange;
  ElementIterator(Element element, bool siblings) noexcept
      : element_(element), siblings_(siblings) {}
  Element element_;
  bool siblings_ = false;
};

// A forward range of elements: the children of one element, or every
// element of a document in document order.
class ElementRange {
 public:
  using iterator = ElementIterator;
  ElementIterator begin() const noexcept { return ElementIterator(first_, siblings_); }
  ElementIterator end() const noexcept { return ElementIterator(end_, siblings_); }
  bool empty() const noexcept { return first_.Offset() == end_.Offset(); }

 private:
  friend class Element;
  friend class Document;
  ElementRange(Element first, Element end, bool siblings) noexcept
      : first_(first), end_(end), siblings_(siblings) {}
  Element first_;
  Element end_;  // where the range ends: an offset, not an element
  bool siblings_;
};

// A checked compiled document over the caller's bytes.
class Document {
 public:
  Document() = default;

  // Checks the `size` bytes at `data` and on success makes `*doc` a view of
  // them. On failure `*error` names the first fault and `*doc` is empty.
  // `error` may be null. Documents of 4 GiB or more are refused.
  static bool Open(const void* data, std::size_t size, Document* doc, ReadError* error) noexcept;

  // True once Open has succeeded.
  bool IsOpen() const noexcept { return data_ != nullptr; }
  const std::uint8_t* Data() const noexcept { return data_; }
  std::uint32_t Size() const noexcept { return size_; }

  std::uint32_t StringCount() const noexcept { return stringCount_; }
  // String `index` without its terminating zero (which follows it in
  // memory); empty when index is out of range.
  std::string_view String(std::uint32_t index) const noexcept;
  // Offset in the document of string `index`'s first byte; for index
  // StringCount(), the offset after the last string's zero.
  std::uint32_t StringOffset(std::uint32_t index) const noexcept;
  // The index of `text` in the table, by binary search; kNoString when absent.
  std::uint32_t FindString(std::string_view text) const noexcept;

  // Offset of the TreeChunk.
  std::uint32_t TreeOffset() const noexcept { return tree_; }
  Element Root() const noexcept;
  std::uint32_t ElementCount() const noexcept { return elementCount_; }
  // Every element in document order (pre-order).
  ElementRange Elements() const noexcept;

 private:
  friend class Element;
  friend class ElementIterator;

  const std::uint8_t* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t stringCount_ = 0;
  std::uint32_t stringData_ = 0;  // offset of string 0's first byte
  std::uint32_t tree_ = 0;
  std::uint32_t elementCount_ = 0;
};

}  // namespace oxa::reader
