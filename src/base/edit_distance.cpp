// EditDistance: the optimal-string-alignment distance, three rows at a time,
// giving up as soon as every way on is over the bound.
#include "base/edit_distance.h"

#include <algorithm>
#include <vector>

namespace oxa {

std::uint32_t EditDistance(const char* a, std::uint32_t m, const char* b, std::uint32_t n,
                           std::uint32_t bound) {
  if ((m > n ? m - n : n - m) > bound) return bound + 1;
  // Rows i-2, i-1 and i of the table: the distance of a's first i bytes to b's first j.
  std::vector<std::uint32_t> before(n + 1), last(n + 1), row(n + 1);
  for (std::uint32_t j = 0; j <= n; ++j) last[j] = j;
  for (std::uint32_t i = 1; i <= m; ++i) {
    row[0] = i;
    std::uint32_t least = row[0];
    for (std::uint32_t j = 1; j <= n; ++j) {
      const std::uint32_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      std::uint32_t d = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d = std::min(d, before[j - 2] + 1);  // two neighbours swapped
      row[j] = d;
      least = std::min(least, d);
    }
    if (least > bound) return bound + 1;  // every way on is longer already
    std::swap(before, last);
    std::swap(last, row);
  }
  return std::min(last[n], bound + 1);
}

}  // namespace oxa
