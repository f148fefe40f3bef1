// The failing allocator's replacements of operator new and wrappers of malloc.
#include "failing_allocator.h"

#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" void* __real_malloc(std::size_t size);
extern "C" void* __real_realloc(void* block, std::size_t size);

namespace oxa::testing {
namespace {

bool g_armed = false;
std::uint64_t g_count = 0;
std::uint64_t g_failAt = 0;

bool NextFails() {
  if (!g_armed) return false;
  return ++g_count == g_failAt;
}

void* Allocate(std::size_t size) {
  if (NextFails()) return nullptr;
  return __real_malloc(size == 0 ? 1 : size);
}

}  // namespace

void ArmAllocator(std::uint64_t failAt) {
  g_count = 0;
  g_failAt = failAt;
  g_armed = true;
}

std::uint64_t DisarmAllocator() {
  g_armed = false;
  return g_count;
}

}  // namespace oxa::testing

extern "C" void* __wrap_malloc(std::size_t size) {
  return oxa::testing::Allocate(size);
}
extern "C" void* __wrap_realloc(void* block, std::size_t size) {
  if (oxa::testing::NextFails()) return nullptr;
  return __real_realloc(block, size);
}

void* operator new(std::size_t size) {
  if (void* p = oxa::testing::Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return oxa::testing::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return oxa::testing::Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
