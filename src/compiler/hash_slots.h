// HashSlots: the open-addressing table behind StringInterner and
// StringIndexLog. It maps a 32-bit hash to dense values (indices or offsets
// into the owner's storage); the owner decides what equal means.
//
// Layout: a power-of-two array of slots {value + 1, hash}, 0 marking an empty
// slot, probed linearly from hash & mask. Keeping the hash beside the value
// lets a probe compare hashes and reach the owner's data only when they agree.
// Cost: the table is kept at most half full, so a probe touches about two
// slots; growing doubles it and reinserts every slot by its stored hash.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <xmlcompiler/com/buffer.h>

namespace oxa {

class HashSlots {
 public:
  static constexpr std::uint32_t kNone = kNoIndex;

  // The slot holding a value for which equal(value) is true among those
  // stored with `hash`, else the empty slot where such a value belongs.
  // The table must not be empty.
  template <class Equal>
  std::size_t Probe(std::uint32_t hash, Equal equal) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot slot = slots_[i];
      if (slot.value == 0 || (slot.hash == hash && equal(slot.value - 1))) return i;
    }
  }
  // The value in slot `at`, or kNone when it is empty.
  std::uint32_t ValueAt(std::size_t at) const noexcept { return slots_[at].value - 1; }
  // Stores `value` with `hash` in the empty slot `at` found by Probe.
  void Fill(std::size_t at, std::uint32_t value, std::uint32_t hash) noexcept {
    slots_[at] = {value + 1, hash};
  }
  // Makes room for `count` values in all, the table staying at most half
  // full; grows to at least `initial` slots. Throws std::bad_alloc.
  void Reserve(std::size_t count, std::size_t initial) {
    std::size_t wanted = slots_.empty() ? initial : slots_.size();
    while (wanted < 2 * count) wanted *= 2;
    if (wanted != slots_.size()) Rehash(wanted);
  }
  bool Empty() const noexcept { return slots_.empty(); }
  // Empties every slot; the storage stays.
  void Clear() noexcept { std::fill(slots_.begin(), slots_.end(), Slot{0, 0}); }
  // Empties the table and gives the storage back.
  void Release() noexcept { std::vector<Slot>().swap(slots_); }

 private:
  struct Slot {
    std::uint32_t value;  // value + 1; 0 marks an empty slot
    std::uint32_t hash;
  };
  void Rehash(std::size_t size) {
    std::vector<Slot> slots(size, Slot{0, 0});
    const std::size_t mask = size - 1;
    for (const Slot& slot : slots_) {
      if (slot.value == 0) continue;
      std::size_t i = slot.hash & mask;
      while (slots[i].value != 0) i = (i + 1) & mask;
      slots[i] = slot;
    }
    slots_.swap(slots);
  }

  std::vector<Slot> slots_;
};

}  // namespace oxa
