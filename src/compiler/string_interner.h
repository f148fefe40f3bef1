// StringInterner: the distinct strings of one compilation, found by hash.
//
// Purpose: lets the tree builder collect every element name, attribute name
// and value once while parsing without keeping a sorted array up to date.
// Cost: Intern and Lookup hash the text once and probe an open-addressing
// table (kept at most half full); the strings themselves are ByteStrings that
// the tree's nodes share. Indices are dense, in order of first appearance,
// and stay valid until Clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/byte_string.h"

namespace oxa {

class StringInterner {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  // The index of the text of `length` bytes, added when new. Throws
  // std::bad_alloc, or std::length_error for a text over the ByteString limit.
  std::uint32_t Intern(const char* text, std::size_t length);
  // The index of the text, or kNone.
  std::uint32_t Lookup(const char* text, std::size_t length) const noexcept;
  // The string at `index` (below Size()); valid until the next Intern or Clear.
  const ByteString& At(std::uint32_t index) const noexcept { return strings_[index]; }
  std::uint32_t Size() const noexcept { return static_cast<std::uint32_t>(strings_.size()); }
  // Hands the strings over (in index order) and empties the interner; the
  // table's storage stays for the next compilation.
  std::vector<ByteString> TakeStrings() noexcept;
  void Clear() noexcept;

 private:
  static std::uint32_t Hash(const char* text, std::size_t length) noexcept;
  std::uint32_t Probe(const char* text, std::size_t length, std::uint32_t hash) const noexcept;
  void Grow();

  std::vector<ByteString> strings_;
  std::vector<std::uint32_t> hashes_;
  // Slot value: string index + 1; 0 marks an empty slot. Size is a power of two.
  std::vector<std::uint32_t> slots_;
};

}  // namespace oxa
