// A hint to the kernel for large, long-lived blocks: back them with
// transparent huge pages, which saves most of the page faults of touching
// fresh memory. Many kernels give huge pages only where asked (madvise mode).
#pragma once

#include <cstddef>

namespace oxa {

// Blocks smaller than this are left alone: a huge page would waste most of itself.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Asks for huge pages over the whole 2 MiB stretches of [block, block + size).
// Only a hint: it does nothing where the kernel has no such pages, on
// Windows, or for a block under two huge pages. Never fails.
void AdviseHugePages(void* block, std::size_t size) noexcept;

}  // namespace oxa
