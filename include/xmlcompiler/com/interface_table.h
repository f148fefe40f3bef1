// Interface tables: the one way every object of this project, plug-in or
// host, answers QueryInterface. A table lists each interface id an object
// offers with how to reach that interface from the object; one function
// walks it.
#pragma once

#include <xmlcompiler/com/unknown.h>

namespace oxa {

// One row of an interface table of objects of class Object: an id and how to
// reach that interface. A table ends with a row whose id is null.
template <class Object>
struct InterfaceRow {
  const Guid* iid;
  void* (*cast)(Object* object);
};

// The pointer of interface I of the concrete object of class T, reached from its base Object.
template <class Object, class T, class I>
void* InterfaceFrom(Object* object) {
  return static_cast<I*>(static_cast<T*>(object));
}

// The interface `iid` of `object` from `table`, or null when the table lacks it.
template <class Object>
void* FindInterface(const InterfaceRow<Object>* table, Object* object, const Guid& iid) noexcept {
  for (const InterfaceRow<Object>* row = table; row->iid != nullptr; ++row) {
    if (*row->iid == iid) return row->cast(object);
  }
  return nullptr;
}

}  // namespace oxa
