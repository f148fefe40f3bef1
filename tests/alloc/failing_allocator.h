// A test-only allocator that fails the k-th allocation of an armed region:
// operator new (all forms) is replaced in the test binary, and the malloc
// family the library uses is wrapped at link time (--wrap=malloc,realloc).
#pragma once

#include <cstdint>

namespace oxa::testing {

// Counts allocations from now on; the `failAt`-th one (1-based) fails, and
// every one after it succeeds. failAt 0 fails none.
void ArmAllocator(std::uint64_t failAt);
// Stops counting; returns the number of allocations made while armed.
std::uint64_t DisarmAllocator();

}  // namespace oxa::testing
