// The compiled document format: chunk tags, fixed offsets and the
// little-endian word helpers, shared by the plug-in's writer and the reader.
//
// Byte layout. Every integer is an unsigned 32-bit little-endian word; there
// is no magic, version, alignment or padding.
//
//   chunk          tag | length (bytes after the length field) | body
//   document       DocumentChunk at offset 0, ending the bytes:
//                    StringTableChunk, then TreeChunk
//   string table   N | offset[0] .. offset[N-1] | end offset | string data
//                  offsets count from the first string byte; offset[0] = 0;
//                  each string is its bytes and one 0; the strings are
//                  distinct and ascend in unsigned byte order
//   tree           exactly one ElementChunk, the root
//   element        name index | AttributesChunk | ChildrenChunk
//   attributes     n | n pairs (name index, value index), ascending by name
//   children       m | m ElementChunks
//
// An element's chunks up to its first child (its "head") take
// 36 + 8 * n bytes, so in the bytes of a tree the heads of its elements stand
// back to back in document order.
#pragma once

#include <cstdint>

namespace oxa::format {

enum ChunkTag : std::uint32_t {
  DocumentChunk = 0,
  StringTableChunk = 1,
  TreeChunk = 2,
  ElementChunk = 3,
  AttributesChunk = 4,
  ChildrenChunk = 5,
};

// Tag and length.
inline constexpr std::uint32_t kChunkHeader = 8;

// Offsets in the document.
inline constexpr std::uint32_t kStringTableAt = 8;   // the StringTableChunk
inline constexpr std::uint32_t kStringCountAt = 16;  // N
inline constexpr std::uint32_t kStringOffsetsAt =
    20;  // offset[0]; the end offset follows offset[N-1]

// Offsets in an ElementChunk, from its tag.
inline constexpr std::uint32_t kElementNameAt = 8;
inline constexpr std::uint32_t kElementAttributesAt = 12;  // the AttributesChunk
inline constexpr std::uint32_t kAttributeCountAt = 20;
inline constexpr std::uint32_t kAttributePairsAt = 24;
inline constexpr std::uint32_t kAttributePairSize = 8;
// Offsets in a ChildrenChunk, from its tag.
inline constexpr std::uint32_t kChildCountAt = 8;
inline constexpr std::uint32_t kFirstChildAt = 12;

// The smallest ElementChunk body: a name and two empty lists.
inline constexpr std::uint32_t kEmptyElementBody = 28;

// The ChildrenChunk's offset in an ElementChunk with `attributes` pairs.
constexpr std::uint64_t ChildrenChunkAt(std::uint32_t attributes) {
  return kAttributePairsAt + std::uint64_t{kAttributePairSize} * attributes;
}
// The bytes of an element's head: its ElementChunk up to its first child.
constexpr std::uint64_t ElementHeadSize(std::uint32_t attributes) {
  return ChildrenChunkAt(attributes) + kFirstChildAt;
}

// The word at `p`, least significant byte first, whatever the machine.
inline std::uint32_t LoadUInt32(const std::uint8_t* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
// Stores `value` at `p`, least significant byte first.
inline void StoreUInt32(std::uint8_t* p, std::uint32_t value) noexcept {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}

}  // namespace oxa::format
