// AttributeOrdering: a remembered order, else an insertion sort of positions.
#include "compiler/attribute_ordering.h"

namespace oxa {

const AttributeOrdering::Pairs& AttributeOrdering::Order(const StringInterner& strings) {
  bool same = lastNames_.size() == delivered_.size();
  for (std::size_t i = 0; same && i < delivered_.size(); ++i)
    same = lastNames_[i] == delivered_[i].first;
  if (!same) SortPositions(strings);
  ordered_.clear();
  for (const std::uint32_t from : positions_) ordered_.push_back(delivered_[from]);
  return ordered_;
}

void AttributeOrdering::SortPositions(const StringInterner& strings) {
  lastNames_.clear();  // until positions_ is complete again
  // Stable, so that of a repeated name the last one ends up last of its run.
  positions_.clear();
  for (std::uint32_t i = 0; i < delivered_.size(); ++i) {
    std::size_t at = positions_.size();
    positions_.push_back(i);
    const std::uint32_t name = delivered_[i].first;
    for (; at > 0 && delivered_[positions_[at - 1]].first != name &&
           ByteString::Compare(strings.At(name), strings.At(delivered_[positions_[at - 1]].first)) <
               0;
         --at) {
      positions_[at] = positions_[at - 1];
    }
    positions_[at] = i;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < positions_.size(); ++i) {
    const bool repeated = i + 1 < positions_.size() &&
                          delivered_[positions_[i + 1]].first == delivered_[positions_[i]].first;
    if (!repeated) positions_[kept++] = positions_[i];
  }
  positions_.resize(kept);
  for (const auto& pair : delivered_) lastNames_.push_back(pair.first);
}

}  // namespace oxa
