// Interface tables: the one way every object of this project, plug-in, host
// or test fake, answers QueryInterface. A table is built from the interface
// types an object offers, as ATL's interface maps are: each row is an
// interface's id (its kIid) and how to reach that interface from the object.
// One function walks it.
//
// The one rule for IUnknown: every table starts with it, and it reaches the
// object's identity. That is the table's base itself when the base is an
// IUnknown of its own (the plug-in's object frame), else the first interface
// listed.
#pragma once

#include <type_traits>

#include <xmlcompiler/com/result.h>
#include <xmlcompiler/com/unknown.h>

namespace oxa {

// One row of an interface table of objects reached through their base
// Object: an id and how to reach that interface. A table ends with a row
// whose id is null.
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

// The identity of the object of class T whose first listed interface is First.
template <class Object, class T, class First>
void* IdentityFrom(Object* object) {
  if constexpr (std::is_convertible_v<Object*, IUnknown*>) {
    return static_cast<IUnknown*>(object);
  } else {
    return static_cast<IUnknown*>(static_cast<First*>(static_cast<T*>(object)));
  }
}

// The table of objects of class T, reached from their base Object, that
// offer Interfaces in this order: IUnknown, each of Interfaces, the end row.
template <class Object, class T, class First, class... Rest>
struct InterfaceTable {
  static_assert(!std::is_same_v<First, IUnknown> || sizeof...(Rest) == 0,
                "IUnknown is in every table already");
  static constexpr InterfaceRow<Object> kRows[] = {
      {&IUnknown::kIid, &IdentityFrom<Object, T, First>},
      {&First::kIid, &InterfaceFrom<Object, T, First>},
      {&Rest::kIid, &InterfaceFrom<Object, T, Rest>}...,
      {nullptr, nullptr}};
};

// An object that offers IUnknown alone.
template <class Object, class T>
struct InterfaceTable<Object, T, IUnknown> {
  static constexpr InterfaceRow<Object> kRows[] = {
      {&IUnknown::kIid, &IdentityFrom<Object, T, IUnknown>}, {nullptr, nullptr}};
};

// The interface `iid` of `object` from `table`, or null when the table lacks
// it. The first row that matches wins.
template <class Object>
void* FindInterface(const InterfaceRow<Object>* table, Object* object, const Guid& iid) noexcept {
  for (const InterfaceRow<Object>* row = table; row->iid != nullptr; ++row) {
    if (*row->iid == iid) return row->cast(object);
  }
  return nullptr;
}

// QueryInterface answered from `table`: a null `out` is refused (0x80004003)
// and not written; on a match one reference is added through the found
// interface's own AddRef and the pointer stored; else `out` is cleared and
// the result is 0x80004002.
template <class Object>
HResult AnswerFromTable(const InterfaceRow<Object>* table, Object* object, const Guid& iid,
                        void** out) noexcept {
  if (out == nullptr) return kNullPointer;
  void* found = FindInterface(table, object, iid);
  if (found == nullptr) {
    *out = nullptr;
    return kNoInterface;
  }
  static_cast<IUnknown*>(found)->AddRef();
  *out = found;
  return kOk;
}

}  // namespace oxa
