// The element tree of one compilation, and the string census beside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_string.h"
#include "base/ptr_array.h"
#include "base/sorted_vector.h"
#include "compiler/node_arena.h"

namespace oxa {

// Attributes of one element: name to value, in ascending byte order of the
// name, each name once.
using AttributeList = SortedVector<ByteString, ByteString, TextLess>;

// Every distinct element name, attribute name and attribute value of one
// compilation, in ascending byte order; the values are always 1.
using Census = SortedVector<ByteString, std::uint32_t, TextLess>;

// One element. A node owns its name, its attributes and the nodes in
// `children`; `parent` does not own (null for the root and for a detached
// second top-level element).
//
// Nodes live in a NodeArena: `new (arena) ElementNode()`, and so does the
// storage of their attribute lists (AttributeList::UseStorage). Deleting a
// node runs its destructor, which gives back its texts and its children
// array; its own memory and its list's go back when the arena rewinds.
// The trap: `delete node` frees nothing (operator delete is empty), so a
// node made with plain `new` would leak; there is no such operator new.
struct ElementNode {
  static_assert(alignof(AttributeList::Entry) <= NodeArena::kAlignment);
  static void* operator new(std::size_t size, NodeArena& arena) { return arena.Allocate(size); }
  static void operator delete(void*, NodeArena&) noexcept {}
  static void operator delete(void*) noexcept {}

  ByteString name;
  AttributeList attributes;
  PtrArray children;  // ElementNode*, in document order
  ElementNode* parent = nullptr;
  // Where this node's string indices start in its builder's index log (nodes
  // reachable from the root only).
  std::uint32_t logAt = 0;

  std::int32_t ChildCount() const noexcept { return children.GetCount(); }
  ElementNode* Child(std::int32_t index) const noexcept {
    return children.PointerAt<ElementNode>(index);
  }
};
static_assert(alignof(ElementNode) <= NodeArena::kAlignment);

// Frees the subtree below and including `node`, children before parents,
// without recursion or allocation. Null does nothing.
void FreeTree(ElementNode* node) noexcept;

// Appends `child` to `parent`'s children. Arrays past a few thousand slots
// grow by half their size, so that a million siblings stay linear.
void AppendChild(ElementNode* parent, ElementNode* child);

// Appends `value` to `array` with the same growth rule.
void AppendSlot(PtrArray& array, PtrArray::Slot value);

}  // namespace oxa
