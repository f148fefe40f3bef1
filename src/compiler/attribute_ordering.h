// AttributeOrdering: puts the attributes one start event delivers into the
// order of an element's attribute list: ascending unsigned byte order of the
// names, each name once, a repeated name keeping its last delivered value.
//
// Cost: elements of one kind deliver the same names in the same order, so the
// order found for the previous element is tried first, at the cost of one
// comparison of name index sequences; otherwise the handful of positions is
// insertion sorted by the names' texts. The vectors keep their storage from
// one element to the next.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "compiler/string_interner.h"

namespace oxa {

class AttributeOrdering {
 public:
  // (name, value) string indices.
  using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

  // Starts the next element's attributes.
  void Clear() noexcept {
    delivered_.clear();
    ordered_.clear();
  }
  // One delivered attribute; throws std::bad_alloc.
  void Add(std::uint32_t name, std::uint32_t value) { delivered_.emplace_back(name, value); }
  bool Empty() const noexcept { return delivered_.empty(); }
  // The pairs added since Clear in list order, the names' texts read from
  // `strings`; valid until the next Order or Clear. Throws std::bad_alloc.
  const Pairs& Order(const StringInterner& strings);
  // Order's latest result.
  const Pairs& Ordered() const noexcept { return ordered_; }
  // Forgets the remembered order: string indices are per compilation.
  void Forget() noexcept { lastNames_.clear(); }

 private:
  // Fills positions_ for delivered_ (and remembers its names in lastNames_).
  void SortPositions(const StringInterner& strings);

  Pairs delivered_;                       // in delivery order
  Pairs ordered_;                         // Order's result
  std::vector<std::uint32_t> lastNames_;  // the delivered names positions_ was made for
  std::vector<std::uint32_t> positions_;  // indices into delivered_, in list order
};

}  // namespace oxa
