// Closest: the plug-in's edit distance, with gcc's cutoff.
#include "diagnostics/suggestions.h"

#include <algorithm>
#include <cstddef>

#include "base/edit_distance.h"

namespace oxa::tools {
namespace {

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
    const std::size_t cutoff = Cutoff(given.size(), candidate.size());
    const std::size_t distance = EditDistance(
        given.data(), static_cast<std::uint32_t>(given.size()), candidate.data(),
        static_cast<std::uint32_t>(candidate.size()), static_cast<std::uint32_t>(cutoff));
    if (distance == 0 || distance > cutoff) continue;
    if (best.empty() || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace oxa::tools
