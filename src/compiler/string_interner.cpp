// StringInterner: open addressing with linear probing over dense indices.
#include "compiler/string_interner.h"

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

std::size_t StringInterner::Probe(const char* text, std::size_t length,
                                  std::uint32_t hash) const noexcept {
  return slots_.Probe(hash, [&](std::uint32_t index) {
    const ByteString& s = strings_[index];
    return s.Length() == length && std::memcmp(s.Chars(), text, length) == 0;
  });
}

std::uint32_t StringInterner::Lookup(const char* text, std::size_t length) const noexcept {
  if (slots_.Empty()) return kNone;
  return slots_.ValueAt(Probe(text, length, Hash(text, length)));
}

std::uint32_t StringInterner::Intern(const char* text, std::size_t length) {
  slots_.Reserve(strings_.size() + 1, kInitialSlots);
  const std::uint32_t hash = Hash(text, length);
  const std::size_t at = Probe(text, length, hash);
  const std::uint32_t found = slots_.ValueAt(at);
  if (found != HashSlots::kNone) return found;
  strings_.emplace_back(text, length);
  const auto index = static_cast<std::uint32_t>(strings_.size() - 1);
  slots_.Fill(at, index, hash);
  return index;
}

void StringInterner::Reserve(std::uint32_t count) {
  strings_.reserve(count);
  slots_.Reserve(count, kInitialSlots);
}

std::vector<ByteString> StringInterner::TakeStrings() noexcept {
  std::vector<ByteString> taken;
  taken.swap(strings_);
  slots_.Release();
  return taken;
}

void StringInterner::Release() noexcept {
  std::vector<ByteString>().swap(strings_);
  slots_.Release();
}

void StringInterner::Clear() noexcept {
  strings_.clear();
  slots_.Clear();
}

}  // namespace oxa
