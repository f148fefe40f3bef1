// SimpleBuffer: the library's own IBuffer, used where the library itself
// hands a buffer to the host. Reference counted by itself (no object frame).
#pragma once

#include <cstdint>

#include <xmlcompiler/com/buffer.h>

namespace oxa {

// Byte layout: `refCount_`, then 15 bytes of `storage_`, then the form byte
// `inlineLength_`.
//   inline  inlineLength_ = the length, 0..15; the bytes are storage_[0..length).
//   heap    inlineLength_ = 0xEE; storage_ holds the block address (pointer
//           width) followed by the 32-bit length. The block is from malloc and
//           is at least `length` bytes.
// The marker 0xEE can never be an inline length. A new buffer is inline and
// empty with the first 8 bytes of storage_ zero.
class SimpleBuffer final : public IBuffer {
 public:
  static constexpr std::uint32_t kInlineCapacity = 15;
  static constexpr std::uint8_t kHeapForm = 0xEE;

  // A new buffer with reference count 0, or null when memory is exhausted.
  static SimpleBuffer* Create() noexcept;

  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OXA_CALL AddRef() override;
  std::uint32_t OXA_CALL Release() override;
  HResult OXA_CALL Get(const std::uint8_t** data, std::uint32_t* length) override;
  HResult OXA_CALL Set(const void* data, std::uint32_t length) override;
  HResult OXA_CALL SetSize(std::uint32_t length) override;
  std::uint32_t OXA_CALL GetSize() override;
  std::uint8_t* OXA_CALL GetBuffer() override;

  virtual ~SimpleBuffer();

 private:
  SimpleBuffer() noexcept;
  bool IsHeap() const noexcept { return inlineLength_ == kHeapForm; }
  std::uint8_t* HeapData() const noexcept;
  std::uint32_t HeapLength() const noexcept;
  void SetHeap(std::uint8_t* data, std::uint32_t length) noexcept;
  // Resizes to `newLength`; `keep` preserves the contents.
  HResult Resize(std::uint32_t newLength, bool keep) noexcept;

  std::int32_t refCount_ = 0;
  std::uint8_t storage_[kInlineCapacity];
  std::uint8_t inlineLength_ = 0;

  static_assert(sizeof(void*) + sizeof(std::uint32_t) <= kInlineCapacity);
};

}  // namespace oxa
