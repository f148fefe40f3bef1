// The 16-byte identifier of interfaces and classes.
//
// Memory layout (the component model's standard form, which the host compares
// byte for byte): bytes 0-3 the first group as a little-endian 32-bit number,
// bytes 4-5 and 6-7 the next two groups as little-endian 16-bit numbers,
// bytes 8-15 the last eight bytes as written. All supported targets are
// little-endian, so the plain struct below has exactly that layout.
#pragma once

#include <xmlcompiler/com/platform.h>

#include <bit>
#include <cstdint>
#include <cstring>

namespace oxa {

static_assert(std::endian::native == std::endian::little,
              "Guid and the compiled document format assume a little-endian target");

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16);

// Equality over all 16 bytes.
inline bool operator==(const Guid& a, const Guid& b) {
  return std::memcmp(&a, &b, sizeof(Guid)) == 0;
}

// Byte-wise unsigned order of the 16 stored bytes (a plain memory comparison).
struct GuidLess {
  bool operator()(const Guid& a, const Guid& b) const {
    return std::memcmp(&a, &b, sizeof(Guid)) < 0;
  }
};

}  // namespace oxa
