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
    const std::uint32_t slot = slots_[i];
    if (slot == 0) return static_cast<std::uint32_t>(i);
    const std::uint32_t index = slot - 1;
    if (hashes_[index] == hash) {
      const ByteString& s = strings_[index];
      if (s.Length() == length && std::memcmp(s.Chars(), text, length) == 0) {
        return static_cast<std::uint32_t>(i);
      }
    }
  }
}

std::uint32_t StringInterner::Lookup(const char* text, std::size_t length) const noexcept {
  if (slots_.empty()) return kNone;
  const std::uint32_t slot = slots_[Probe(text, length, Hash(text, length))];
  return slot == 0 ? kNone : slot - 1;
}

std::uint32_t StringInterner::Intern(const char* text, std::size_t length) {
  if ((strings_.size() + 1) * 2 > slots_.size()) Grow();
  const std::uint32_t hash = Hash(text, length);
  const std::uint32_t at = Probe(text, length, hash);
  if (slots_[at] != 0) return slots_[at] - 1;
  ByteString copy(text, length);
  hashes_.push_back(hash);
  try {
    strings_.push_back(std::move(copy));
  } catch (...) {
    hashes_.pop_back();
    throw;
  }
  slots_[at] = static_cast<std::uint32_t>(strings_.size());
  return static_cast<std::uint32_t>(strings_.size() - 1);
}

void StringInterner::Grow() {
  std::vector<std::uint32_t> slots(slots_.empty() ? 1024 : slots_.size() * 2, 0);
  const std::size_t mask = slots.size() - 1;
  for (std::uint32_t index = 0; index < strings_.size(); ++index) {
    std::size_t i = hashes_[index] & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = index + 1;
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
  hashes_.clear();
  std::fill(slots_.begin(), slots_.end(), 0u);
}

}  // namespace oxa
