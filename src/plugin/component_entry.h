// ComponentEntry: one record of a static component table. A table is a
// sequence of components, each an EntryComponent record followed by its
// property records, ended by one EntryEnd record. Tables are static data and
// outlive every plug-in object that indexes them.
#pragma once

#include <cstdint>

#include <xmlcompiler/com/unknown.h>

namespace oxa {

using CreateComponentFunction = HResult(OXA_CALL*)(IUnknown* outer, IUnknown** out);

enum ComponentEntryType : std::uint32_t {
  EntryComponent = 0,  // value: the class id (16 bytes); create: its creation function
  EntryEnd = 1,        // ends the table
  EntryUInt32 = 2,     // name; value: an unsigned 32-bit number, read at each query
  EntryString = 3,     // name; value: a zero-terminated text
  EntryBuffer = 4,     // name; value: `length` bytes
};

struct ComponentEntry {
  std::uint32_t type;
  const char* name;
  const void* value;
  std::uint32_t length;
  CreateComponentFunction create;
};

// The library's own table: the XML compiler, without properties.
extern const ComponentEntry ComponentTable[];

}  // namespace oxa
