// Closest: the optimal-string-alignment distance, one row at a time.
#include "suggestions.h"

#include <algorithm>
#include <cstddef>

namespace oxa::tools {
namespace {

std::size_t Distance(const std::string& a, const std::string& b) {
  // Three rows of the matrix: two back (for swaps), one back, and this one.
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, substitution});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], before[j - 2] + 1);
    }
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return previous[b.size()];
}

// The farthest a candidate may be from the word given and still be offered.
std::size_t Cutoff(std::size_t givenLength, std::size_t candidateLength) {
  const std::size_t longer = std::max(givenLength, candidateLength);
  const std::size_t shorter = std::min(givenLength, candidateLength);
  if (longer <= 1) return 0;
  if (longer - shorter <= 1) return std::max<std::size_t>(longer / 3, 1);
  return (longer + 2) / 4;
}

}  // namespace

std::string Closest(const std::string& given, const std::vector<std::string>& candidates) {
  std::string best;
  std::size_t bestDistance = 0;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = Distance(given, candidate);
    if (distance == 0 || distance > Cutoff(given.size(), candidate.size())) continue;
    if (best.empty() || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace oxa::tools
