// StringInterner: the distinct strings of one compilation, found by hash.
//
// Purpose: lets the tree builder collect every element name, attribute name
// and value once while parsing without keeping a sorted array up to date.
// Cost: Intern and Lookup hash the text once and probe an open-addressing
// table (HashSlots, kept at most half full); the strings themselves are ByteStrings that
// the tree's nodes share. Indices are dense, in order of first appearance,
// and stay valid until Clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/byte_string.h"
#include "compiler/hash_slots.h"

namespace oxa {

class StringInterner {
 public:
  static constexpr std::uint32_t kNone = kNoIndex;

  // The index of the text of `length` bytes, added when new. Throws
  // std::bad_alloc, or std::length_error for a text over the ByteString limit.
  std::uint32_t Intern(const char* text, std::size_t length);
  // The index of the text, or kNone.
  std::uint32_t Lookup(const char* text, std::size_t length) const noexcept;
  // The string at `index` (below Size()); valid until the next Intern or Clear.
  const ByteString& At(std::uint32_t index) const noexcept { return strings_[index]; }
  // The same string, ready to be copied with its block shared (see
  // ByteString::MakeShareable); throws std::bad_alloc.
  const ByteString& Shareable(std::uint32_t index) {
    strings_[index].MakeShareable();
    return strings_[index];
  }
  std::uint32_t Size() const noexcept { return static_cast<std::uint32_t>(strings_.size()); }
  // Makes room for `count` strings in all without rehashing.
  void Reserve(std::uint32_t count);
  // Hands the strings over (in index order) and empties the interner, whose
  // table gives its storage back.
  std::vector<ByteString> TakeStrings() noexcept;
  // Forgets every string; the table's storage stays.
  void Clear() noexcept;
  // Forgets every string and gives the storage back.
  void Release() noexcept;

 private:
  static constexpr std::size_t kInitialSlots = 1024;
  static std::uint32_t Hash(const char* text, std::size_t length) noexcept;
  // The slot of the text, or the empty slot where it belongs.
  std::size_t Probe(const char* text, std::size_t length, std::uint32_t hash) const noexcept;

  std::vector<ByteString> strings_;
  HashSlots slots_;  // string indices
};

}  // namespace oxa
