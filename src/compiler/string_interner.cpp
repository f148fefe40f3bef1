// StringInterner: open addressing with linear probing over dense indices.
#include "compiler/string_interner.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace oxa {

std::uint32_t StringInterner::Hash(const char* text, std::size_t length) noexcept {
  // FNV-1a, 32-bit.
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < length; ++i) {
    h ^= static_cast<unsigned char>(text[i]);
    h *= 16777619u;
  }
  return h;
}

std::uint32_t StringInterner::Probe(const char* text, std::size_t length,
                                    std::uint32_t hash) const noexcept {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.index == 0) return static_cast<std::uint32_t>(i);
    if (slot.hash == hash) {
      const ByteString& s = strings_[slot.index - 1];
      if (s.Length() == length && std::memcmp(s.Chars(), text, length) == 0) {
        return static_cast<std::uint32_t>(i);
      }
    }
  }
}

std::uint32_t StringInterner::Lookup(const char* text, std::size_t length) const noexcept {
  if (slots_.empty()) return kNone;
  const Slot slot = slots_[Probe(text, length, Hash(text, length))];
  return slot.index == 0 ? kNone : slot.index - 1;
}

std::uint32_t StringInterner::Intern(const char* text, std::size_t length) {
  if ((strings_.size() + 1) * 2 > slots_.size()) Grow();
  const std::uint32_t hash = Hash(text, length);
  const std::uint32_t at = Probe(text, length, hash);
  if (slots_[at].index != 0) return slots_[at].index - 1;
  strings_.emplace_back(text, length);
  slots_[at] = {static_cast<std::uint32_t>(strings_.size()), hash};
  return static_cast<std::uint32_t>(strings_.size() - 1);
}

void StringInterner::Reserve(std::uint32_t count) {
  std::size_t wanted = slots_.empty() ? 1024 : slots_.size();
  while (wanted < 2 * static_cast<std::size_t>(count)) wanted *= 2;
  strings_.reserve(count);
  if (wanted != slots_.size()) Rehash(wanted);
}

void StringInterner::Grow() {
  Rehash(slots_.empty() ? 1024 : slots_.size() * 2);
}

void StringInterner::Rehash(std::size_t size) {
  std::vector<Slot> slots(size, Slot{0, 0});
  const std::size_t mask = slots.size() - 1;
  for (const Slot& slot : slots_) {
    if (slot.index == 0) continue;
    std::size_t i = slot.hash & mask;
    while (slots[i].index != 0) i = (i + 1) & mask;
    slots[i] = slot;
  }
  slots_.swap(slots);
}

std::vector<ByteString> StringInterner::TakeStrings() noexcept {
  std::vector<ByteString> taken;
  taken.swap(strings_);
  Clear();
  return taken;
}

void StringInterner::Clear() noexcept {
  strings_.clear();
  std::fill(slots_.begin(), slots_.end(), Slot{0, 0});
}

}  // namespace oxa
