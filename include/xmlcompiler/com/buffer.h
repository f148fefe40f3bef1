// IBuffer: the host's reference-counted byte buffer, slot for slot.
#pragma once

#include <cstdint>

#include <xmlcompiler/com/unknown.h>

namespace oxa {

// The most a 32-bit length holds: the bytes of a buffer, and every size and
// offset of the compiled format (4 GiB less one byte).
inline constexpr std::uint32_t kMaxSize32 = 0xFFFFFFFFu;
// An index that names nothing (no parent, no string, an empty slot) in the
// tables that count with 32 bits. The same bits as kMaxSize32, another fact.
inline constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

// {00001300-0901-11D1-8B06-00A024406D59}; also the class id under which the
// host's class factory creates buffers.
inline constexpr Guid kIidBuffer = {
    0x00001300, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};

struct IBuffer : IUnknown {
  static constexpr const Guid& kIid = kIidBuffer;
  // Slot 3: the address of the bytes and their number.
  virtual HResult OXA_CALL Get(const std::uint8_t** data, std::uint32_t* length) = 0;
  // Slot 4: resizes to `length` (contents not kept) and copies `length` bytes in.
  virtual HResult OXA_CALL Set(const void* data, std::uint32_t length) = 0;
  // Slot 5: resizes to `length`, keeping the contents.
  virtual HResult OXA_CALL SetSize(std::uint32_t length) = 0;
  // Slot 6: the length in bytes.
  virtual std::uint32_t OXA_CALL GetSize() = 0;
  // Slot 7: the address of the bytes; valid until the next resize.
  virtual std::uint8_t* OXA_CALL GetBuffer() = 0;

 protected:
  ~IBuffer() = default;
};

}  // namespace oxa
