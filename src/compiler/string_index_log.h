// StringIndexLog: the string indices of the nodes reachable from the root,
// in pre-order, kept by the tree builder as nodes and copies are made, so
// that the writer reads every index it writes instead of looking strings up.
// Pre-order is creation order because the tree grows only at its right edge.
//
// Layout, all 32-bit words:
//   entries  per node: its name's index, the offset of its attribute names in
//            `shapes`, then one value index per attribute, in list order.
//   shapes   each distinct sequence of attribute names once: the count n,
//            then n name indices in list order.
// Elements of one kind carry the same names, which are kept once: a node
// costs 2 + n words. Indices are the builder's interned string indices until
// Renumber turns them into string table indices.
//
// Cost: appending a node hashes its name sequence once and probes a table
// (HashSlots) of the shapes; appending a copy copies its source's entry. Offsets are 32-bit:
// appends that would pass 4 G words throw std::length_error.
#pragma once

#include <cstdint>
#include <vector>

#include "compiler/attribute_ordering.h"
#include "compiler/element_node.h"
#include "compiler/hash_slots.h"

namespace oxa {

class StringIndexLog {
 public:
  static constexpr std::uint32_t kNone = kNoIndex;
  using Pairs = AttributeOrdering::Pairs;

  // Appends `node`'s entry: its name and its (name, value) pairs in list
  // order; sets node->logAt. Throws std::bad_alloc or std::length_error.
  void AppendNode(ElementNode* node, std::uint32_t name, const Pairs& pairs);
  // Appends `copy`'s entry, the same as its logged `source`'s; sets copy->logAt.
  void AppendCopy(ElementNode* copy, const ElementNode* source);
  // Makes room for the entries of copies of `source`'s children, which must
  // be logged: theirs stand together, from the first child's entry to the
  // end of its last descendant's. Throws std::bad_alloc or std::length_error.
  void ReserveForCopiesOf(const ElementNode* source);
  // The value index of the attribute named `name` in `node`'s entry, or kNone.
  std::uint32_t ValueOf(const ElementNode* node, std::uint32_t name) const noexcept;
  // Replaces every index i by rank[i] (each below rank.size()).
  void Renumber(const std::vector<std::uint32_t>& rank) noexcept;
  // Empties the log and gives its storage back.
  void Release() noexcept;

  bool Empty() const noexcept { return entries_.empty(); }
  // The nodes logged.
  std::uint32_t NodeCount() const noexcept { return nodeCount_; }
  // The attributes of the nodes logged, all together.
  std::uint64_t AttributeCount() const noexcept {
    return entries_.size() - kEntryHead * std::uint64_t{nodeCount_};
  }
  const std::vector<std::uint32_t>& Entries() const noexcept { return entries_; }
  const std::vector<std::uint32_t>& Shapes() const noexcept { return shapes_; }

 private:
  static constexpr std::size_t kInitialSlots = 64;
  // The words of a node's entry before its value indices: name and shape offset.
  static constexpr std::size_t kEntryHead = 2;
  // The offset in shapes_ of the names of `pairs`, added when new.
  std::uint32_t ShapeOf(const Pairs& pairs);

  std::vector<std::uint32_t> entries_;
  std::vector<std::uint32_t> shapes_;
  HashSlots slots_;  // offsets into shapes_, by the hash of the name sequence
  std::uint32_t shapeCount_ = 0;
  std::uint32_t nodeCount_ = 0;
};

}  // namespace oxa
