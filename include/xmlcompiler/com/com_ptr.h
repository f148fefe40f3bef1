// ComPtr: an owning holder of one reference on an interface pointer, so that
// no path forgets a Release. Each member says what it does to the count.
#pragma once

#include <cstddef>
#include <utility>

#include <xmlcompiler/com/unknown.h>

namespace oxa {

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Adds a reference to `p` (if not null).
  explicit ComPtr(T* p) noexcept : ptr_(p) { AddRefPtr(); }
  // Adds a reference: both holders own one.
  ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { AddRefPtr(); }
  // Takes over `other`'s reference; no count changes.
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  // Releases the held reference.
  ~ComPtr() { Reset(); }

  // Adds a reference to the new pointer, then releases the old one.
  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  // Takes over `other`'s reference and releases the old one.
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }

  // Releases the held reference and becomes empty.
  void Reset() noexcept {
    if (T* p = std::exchange(ptr_, nullptr)) p->Release();
  }
  // Releases the held reference, then owns `p`'s existing reference (no AddRef).
  void Attach(T* p) noexcept {
    Reset();
    ptr_ = p;
  }
  // Hands the held reference to the caller (no Release) and becomes empty.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(ptr_, nullptr); }
  // Releases the held reference and returns the slot for an out parameter;
  // the reference stored there is then owned by this holder.
  T** Put() noexcept {
    Reset();
    return &ptr_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  // Queries for interface U; on success `out` owns the new reference.
  template <class U>
  HResult QueryTo(ComPtr<U>& out) const noexcept {
    if (ptr_ == nullptr) {
      out.Reset();
      return kNullPointer;
    }
    return ptr_->QueryInterface(U::kIid, out.PutVoid());
  }

  T* Get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }
  friend bool operator==(const ComPtr& p, std::nullptr_t) noexcept { return p.ptr_ == nullptr; }

 private:
  void AddRefPtr() const noexcept {
    if (ptr_ != nullptr) ptr_->AddRef();
  }

  T* ptr_ = nullptr;
};

}  // namespace oxa
