// SimpleBuffer: inline and heap forms, resizing rules, reference counting.
#include "com/simple_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include <xmlcompiler/com/interface_table.h>

namespace oxa {

SimpleBuffer* SimpleBuffer::Create() noexcept {
  return new (std::nothrow) SimpleBuffer();
}

SimpleBuffer::SimpleBuffer() noexcept : storage_{} {}

SimpleBuffer::~SimpleBuffer() {
  if (IsHeap()) std::free(HeapData());
}

HResult OXA_CALL SimpleBuffer::QueryInterface(const Guid& iid, void** out) {
  return AnswerFromTable(InterfaceTable<SimpleBuffer, SimpleBuffer, IBuffer>::kRows, this, iid,
                         out);
}

std::uint32_t OXA_CALL SimpleBuffer::AddRef() {
  return static_cast<std::uint32_t>(++refCount_);
}

std::uint32_t OXA_CALL SimpleBuffer::Release() {
  if (--refCount_ > 0) return static_cast<std::uint32_t>(refCount_);
  delete this;
  return 0;
}

HResult OXA_CALL SimpleBuffer::Get(const std::uint8_t** data, std::uint32_t* length) {
  if (data == nullptr || length == nullptr) return kNullPointer;
  *data = GetBuffer();
  *length = GetSize();
  return kOk;
}

HResult OXA_CALL SimpleBuffer::Set(const void* data, std::uint32_t length) {
  RETURN_HR_IF(kNullPointer, data == nullptr && length != 0);
  RETURN_IF_FAILED(Resize(length, false));
  if (length != 0) std::memcpy(GetBuffer(), data, length);
  return kOk;
}

HResult OXA_CALL SimpleBuffer::SetSize(std::uint32_t length) {
  return Resize(length, true);
}

std::uint32_t OXA_CALL SimpleBuffer::GetSize() {
  return IsHeap() ? HeapLength() : inlineLength_;
}

std::uint8_t* OXA_CALL SimpleBuffer::GetBuffer() {
  return IsHeap() ? HeapData() : storage_;
}

std::uint8_t* SimpleBuffer::HeapData() const noexcept {
  std::uint8_t* data;
  std::memcpy(&data, storage_, sizeof(data));
  return data;
}

std::uint32_t SimpleBuffer::HeapLength() const noexcept {
  std::uint32_t length;
  std::memcpy(&length, storage_ + sizeof(std::uint8_t*), sizeof(length));
  return length;
}

void SimpleBuffer::SetHeap(std::uint8_t* data, std::uint32_t length) noexcept {
  std::memcpy(storage_, &data, sizeof(data));
  std::memcpy(storage_ + sizeof(data), &length, sizeof(length));
  inlineLength_ = kHeapForm;
}

HResult SimpleBuffer::Resize(std::uint32_t newLength, bool keep) noexcept {
  if (refCount_ > 1) return kBufferShared;
  const std::uint32_t current = GetSize();
  if (newLength <= current) {
    if (IsHeap()) {
      SetHeap(HeapData(), newLength);
    } else {
      inlineLength_ = static_cast<std::uint8_t>(newLength);
    }
    return kOk;
  }
  if (newLength <= kInlineCapacity) {
    // Growing but still small: back to (or stay in) the inline form; the old
    // bytes survive whether or not the caller asked to keep them.
    if (IsHeap()) {
      std::uint8_t* block = HeapData();
      std::memcpy(storage_, block, newLength);
      std::free(block);
    }
    inlineLength_ = static_cast<std::uint8_t>(newLength);
    return kOk;
  }
  if (!IsHeap()) {
    auto* block = static_cast<std::uint8_t*>(std::malloc(newLength));
    if (block == nullptr) return kOutOfMemory;
    if (keep) std::memcpy(block, storage_, current);
    SetHeap(block, newLength);
    return kOk;
  }
  if (keep) {
    auto* block = static_cast<std::uint8_t*>(std::realloc(HeapData(), newLength));
    if (block == nullptr) return kOutOfMemory;
    SetHeap(block, newLength);
    return kOk;
  }
  auto* block = static_cast<std::uint8_t*>(std::malloc(newLength));
  if (block == nullptr) return kOutOfMemory;
  std::free(HeapData());
  SetHeap(block, newLength);
  return kOk;
}

}  // namespace oxa
