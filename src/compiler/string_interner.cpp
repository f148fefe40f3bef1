// StringInterner: open addressing with linear probing over dense indices.
#include "compiler/string_interner.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace oxa {

namespace {

std::uint64_t Load64(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

std::uint64_t Load32(const char* p) noexcept {
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

}  // namespace

std::uint32_t StringInterner::Hash(const char* text, std::size_t length) noexcept {
  // Eight bytes at a time, each word folded in by a multiply. The last word
  // is read as loads that overlap inside the text (never past it), and the
  // length is part of the seed, so overlapping bytes cannot make two texts
  // alike. The hash only orders the probes: it never reaches the output.
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t h = (length + 1) * kMultiplier;
  const auto mix = [&h](std::uint64_t word) {
    h = (h ^ word) * kMultiplier;
    h ^= h >> 31;
  };
  if (length > 8) {
    const char* last = text + length - 8;
    for (; text < last; text += 8) mix(Load64(text));
    mix(Load64(last));
  } else if (length >= 4) {
    mix(Load32(text) | Load32(text + length - 4) << 32);
  } else if (length > 0) {
    const auto byte = [text](std::size_t i) {
      return static_cast<std::uint64_t>(static_cast<unsigned char>(text[i]));
    };
    mix(byte(0) << 16 | byte(length / 2) << 8 | byte(length - 1));
  }
  h *= 0xBF58476D1CE4E5B9ull;
  return static_cast<std::uint32_t>(h >> 32);
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
  std::vector<Slot>().swap(slots_);
  return taken;
}

void StringInterner::Release() noexcept {
  std::vector<ByteString>().swap(strings_);
  std::vector<Slot>().swap(slots_);
}

void StringInterner::Clear() noexcept {
  strings_.clear();
  std::fill(slots_.begin(), slots_.end(), Slot{0, 0});
}

}  // namespace oxa
