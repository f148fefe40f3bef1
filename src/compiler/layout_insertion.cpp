// Layout insertion: `insertlayout layoutid="L"` stands for copies of the
// children of the first element (in pre-order) whose "id" is L.
//
// The tree only ever grows at its right edge: new nodes and copies are
// appended as the last child of the current element, which lies on the
// rightmost path. Pre-order of the reachable nodes is therefore the order in
// which they were created, and the first node created with an "id" value is
// the first in pre-order. TreeBuilder keeps that node per value as nodes and
// copies are made, so a lookup is one hash probe.
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include "compiler/tree_builder.h"

namespace oxa {
bool TreeBuilder::MatchesId(const ElementNode* node, const char* id) noexcept {
  const AttributeList::Entry* entry = node->attributes.Find(kIdAttribute);
  return entry != node->attributes.end() && ByteString::Compare(entry->value.Chars(), id) == 0;
}

HResult TreeBuilder::FindLayout(const ByteString& id, ElementNode** found) const noexcept {
  *found = nullptr;
  if (root_ == nullptr) return kFail;
  const std::uint32_t index = strings_.Lookup(id.Chars(), id.Length());
  if (index == StringInterner::kNone || index >= idNodes_.size()) return kFail;
  const ElementNode* node = idNodes_[index];
  if (node == nullptr || !MatchesId(node, id.Chars())) return kFail;
  *found = const_cast<ElementNode*>(node);
  return kOk;
}

HResult TreeBuilder::InsertLayout(IValues* attributes) {
  return InsertLayout(attributes, nullptr);
}

HResult TreeBuilder::InsertLayout(IValues* attributes, LayoutMatch* match) {
  RETURN_HR_IF_NULL(kFail, attributes);
  ComPtr<IBuffer> value;
  RETURN_IF_FAILED(attributes->GetString(kLayoutIdAttribute, value.Put()));
  const std::string_view text = BufferText(value.Get());
  CheckLength(text.size(), kLayoutIdAttribute, "value");
  const ByteString layoutId(text.data(), text.size());
  if (match != nullptr) {
    match->hasLayoutId = true;
    match->layoutId = layoutId;
  }

  ElementNode* found = nullptr;
  RETURN_IF_FAILED(FindLayout(layoutId, &found));
  if (match != nullptr) match->found = found;
  // With no element open there is nowhere to put the copies.
  RETURN_HR_IF_NULL(kFail, current_);
  findings_.CopyingLayout(layoutId.Chars());
  CopyChildren(found, current_);
  findings_.CopyingLayout("");
  return kOk;
}

void TreeBuilder::CopyChildren(const ElementNode* source, ElementNode* destination) {
  // Explicit stack instead of recursion: one frame per list being copied.
  // Each list's count is read once, when its copy begins, so a layout that
  // names its own destination copies the children it had at that moment.
  struct Frame {
    const ElementNode* source;
    ElementNode* copy;
    std::int32_t next;
    std::int32_t count;
  };
  // The copies' index log entries: as many as the source's, reserved at once.
  if (detachedTop_ == nullptr) indexLog_.ReserveForCopiesOf(source);
  std::vector<Frame> stack;
  stack.push_back({source, destination, 0, source->ChildCount()});
  // A top-level copy joins `destination` only once its subtree is complete;
  // until then it is owned here.
  std::unique_ptr<ElementNode, void (*)(ElementNode*)> pending(nullptr,
                                                               [](ElementNode* n) { FreeTree(n); });

  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.count) {
      stack.pop_back();
      if (stack.size() == 1) {
        AppendChild(destination, pending.get());
        pending.release();
      }
      continue;
    }
    ElementNode* child = frame.source->Child(frame.next++);
    ++nodesCopied_;
    if (nodesCopied_ > kExpansionFloor && nodesCopied_ > kExpansionFactor * elementsDelivered_) {
      findings_.NoteExpansionBound(Ordinal());
      throw std::bad_alloc();  // layout expansion over its bound
    }
    ElementNode* parent = frame.copy;
    // The copy shares the child's blocks; none of them may be full already.
    child->name.MakeShareable();
    for (AttributeList::Entry& entry : child->attributes) {
      entry.key.MakeShareable();
      entry.value.MakeShareable();
    }
    auto copy = std::unique_ptr<ElementNode>(new (arena_) ElementNode());
    copy->name = child->name;
    const std::uint32_t count = child->attributes.GetCount();
    if (count != 0)
      copy->attributes.UseStorage(arena_.AllocateArray(count, sizeof(AttributeList::Entry)), count);
    copy->attributes = child->attributes;
    copy->parent = parent;
    ElementNode* made = copy.get();
    if (stack.size() == 1) {
      pending.reset(copy.release());
    } else {
      AppendChild(parent, made);
      copy.release();
    }
    LogCopy(made, child);
    IndexNode(made, 0);
    stack.push_back({child, made, 0, child->ChildCount()});
  }
}

}  // namespace oxa
