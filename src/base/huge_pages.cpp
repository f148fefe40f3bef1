// AdviseHugePages: madvise(MADV_HUGEPAGE) over a block's aligned interior.
#include "base/huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace oxa {

void AdviseHugePages(void* block, std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (block == nullptr || size < 2 * kHugePageBytes) return;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  const std::uintptr_t last = (start + size) & ~(kHugePageBytes - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}

}  // namespace oxa
