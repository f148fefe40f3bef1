// PtrArray growth and removal.
#include "base/ptr_array.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace oxa {
namespace {

constexpr std::int32_t kMaxSlots = 0x7FFFFFFF;

PtrArray::Slot* AllocateSlots(std::int32_t count) {
  if (static_cast<std::size_t>(count) > static_cast<std::size_t>(-1) / sizeof(PtrArray::Slot)) {
    throw std::bad_alloc();
  }
  return static_cast<PtrArray::Slot*>(
      ::operator new(static_cast<std::size_t>(count) * sizeof(PtrArray::Slot)));
}

}  // namespace

void PtrArray::SetSize(std::int32_t newSize, std::int32_t growBy) {
  assert(newSize >= 0);
  if (growBy != -1) growBy_ = growBy;
  if (newSize == 0) {
    ::operator delete(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    return;
  }
  if (data_ == nullptr) {
    data_ = AllocateSlots(newSize);
    std::memset(data_, 0, static_cast<std::size_t>(newSize) * sizeof(Slot));
    size_ = capacity_ = newSize;
    return;
  }
  if (newSize <= capacity_) {
    if (newSize > size_) {
      std::memset(data_ + size_, 0, static_cast<std::size_t>(newSize - size_) * sizeof(Slot));
    }
    size_ = newSize;
    return;
  }
  std::int32_t step = growBy_;
  if (step == 0) {
    step = size_ / 8;
    if (step < 4) step = 4;
    if (step > 1024) step = 1024;
  }
  const std::int32_t stepped = capacity_ > kMaxSlots - step ? kMaxSlots : capacity_ + step;
  const std::int32_t newCapacity = newSize > stepped ? newSize : stepped;
  Slot* fresh = AllocateSlots(newCapacity);
  std::memcpy(fresh, data_, static_cast<std::size_t>(size_) * sizeof(Slot));
  std::memset(fresh + size_, 0, static_cast<std::size_t>(newSize - size_) * sizeof(Slot));
  ::operator delete(data_);
  data_ = fresh;
  size_ = newSize;
  capacity_ = newCapacity;
}

void PtrArray::SetAtGrow(std::int32_t index, Slot value) {
  assert(index >= 0);
  if (index >= size_) {
    if (index == kMaxSlots) throw std::bad_alloc();
    SetSize(index + 1, -1);
  }
  data_[index] = value;
}

void PtrArray::RemoveAt(std::int32_t index, std::int32_t count) noexcept {
  assert(index >= 0 && count >= 0 && index + count <= size_);
  const std::int32_t after = size_ - index - count;
  if (after > 0) {
    std::memmove(data_ + index, data_ + index + count,
                 static_cast<std::size_t>(after) * sizeof(Slot));
  }
  size_ -= count;
}

}  // namespace oxa
