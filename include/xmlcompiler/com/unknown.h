// IUnknown: the head of every interface of the host's component model.
//
// Interfaces are abstract classes without data or virtual destructors, so a
// vtable pointer is all an interface pointer leads to, as the host expects.
#pragma once

#include <cstdint>

#include <xmlcompiler/com/guid.h>
#include <xmlcompiler/com/platform.h>
#include <xmlcompiler/com/result.h>

namespace oxa {

// {00000000-0000-0000-C000-000000000046}
inline constexpr Guid kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  static constexpr const Guid& kIid = kIidUnknown;
  // On success stores an interface pointer holding one new reference in `out`;
  // otherwise clears `out` (a null `out` is refused and not written).
  virtual HResult OXA_CALL QueryInterface(const Guid& iid, void** out) = 0;
  // Adds one reference; returns the new count.
  virtual std::uint32_t OXA_CALL AddRef() = 0;
  // Gives up one reference; returns the remaining count (0: the object is gone).
  virtual std::uint32_t OXA_CALL Release() = 0;

 protected:
  ~IUnknown() = default;
};

}  // namespace oxa
