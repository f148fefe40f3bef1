// PtrArray: a growable array of pointer-sized slots (32 bits on the real
// target), holding element-node pointers or chunk offsets. It owns only its
// slot storage, never what the slots point to.
//
// Cost: appending is amortised O(1); growth adds a step of size/8 slots,
// at least 4 and at most 1024, unless a fixed step is set
// (capacities 1, 5, 9, 13, ... when appending one at a time).
#pragma once

#include <cassert>
#include <cstdint>

namespace oxa {

class PtrArray {
 public:
  using Slot = std::uintptr_t;

  PtrArray() noexcept = default;
  PtrArray(const PtrArray&) = delete;
  PtrArray& operator=(const PtrArray&) = delete;
  ~PtrArray() { ::operator delete(data_); }

  // Sets the number of used slots; new slots are 0. `growBy` -1 keeps the
  // stored step; 0 means automatic. Size 0 gives the storage back.
  // Throws std::bad_alloc when the storage cannot be had.
  void SetSize(std::int32_t newSize, std::int32_t growBy = -1);
  // Stores `value` at `index`, growing to index + 1 slots first when needed.
  void SetAtGrow(std::int32_t index, Slot value);
  // Appends `value` at the end.
  void Add(Slot value) { SetAtGrow(size_, value); }
  // Removes `count` slots at `index`; later slots move down; storage stays.
  void RemoveAt(std::int32_t index, std::int32_t count = 1) noexcept;

  std::int32_t GetCount() const noexcept { return size_; }
  std::int32_t GetCapacity() const noexcept { return capacity_; }
  // Slot access; `index` must be below GetCount().
  Slot& operator[](std::int32_t index) noexcept {
    assert(index >= 0 && index < size_);
    return data_[index];
  }
  Slot operator[](std::int32_t index) const noexcept {
    assert(index >= 0 && index < size_);
    return data_[index];
  }
  // Slot `index` read as a pointer to T.
  template <class T>
  T* PointerAt(std::int32_t index) const noexcept {
    return reinterpret_cast<T*>((*this)[index]);
  }

 private:
  Slot* data_ = nullptr;
  std::int32_t size_ = 0;
  std::int32_t capacity_ = 0;
  std::int32_t growBy_ = 0;
};

}  // namespace oxa
