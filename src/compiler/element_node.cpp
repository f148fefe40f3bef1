// Tree helpers shared by the builder, layout insertion and the writer.
#include "compiler/element_node.h"

namespace oxa {

void AppendSlot(PtrArray& array, PtrArray::Slot value) {
  const std::int32_t count = array.GetCount();
  if (count == array.GetCapacity() && count >= 8192) array.SetSize(count, count / 2);
  array.Add(value);
}

void AppendChild(ElementNode* parent, ElementNode* child) {
  AppendSlot(parent->children, reinterpret_cast<PtrArray::Slot>(child));
}

void FreeTree(ElementNode* top) noexcept {
  // Walk down along last children, deleting leaves and detaching them from
  // their parents on the way back up; parent links lead back to `top`.
  ElementNode* node = top;
  while (node != nullptr) {
    const std::int32_t count = node->children.GetCount();
    if (count > 0) {
      ElementNode* child = node->Child(count - 1);
      node->children.RemoveAt(count - 1);
      child->parent = node;
      node = child;
      continue;
    }
    ElementNode* parent = node == top ? nullptr : node->parent;
    delete node;
    node = parent;
  }
}

}  // namespace oxa
