// The census sort: 128-bit keys from the texts' first bytes, then the texts.
#include "compiler/census_order.h"

#include <algorithm>
#include <utility>

namespace oxa {

namespace {

// A census string's place in the sort: its first 16 bytes as a big-endian
// 128-bit number (zero-padded; no text contains a zero byte, so padding sorts
// first, as a shorter text does). Comparing keys agrees with the text order,
// and only texts that share their first 16 bytes need the full comparison.
// The keys live in the sort records, so most comparisons touch no text. The
// texts live there too (moved, not copied), so that the census is filled by
// reading the sorted records in order.
struct SortRecord {
  std::uint64_t high;
  std::uint64_t low;
  std::uint32_t index;  // the interned index
  ByteString text;
};

SortRecord RecordOf(ByteString& s, std::uint32_t index) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(s.Chars());
  const std::uint32_t n = s.Length();
  std::uint64_t part[2] = {0, 0};
  for (std::uint32_t i = 0; i < 16; ++i) part[i / 8] = part[i / 8] << 8 | (i < n ? p[i] : 0u);
  return {part[0], part[1], index, std::move(s)};
}

}  // namespace

std::vector<std::uint32_t> FillCensus(std::vector<ByteString> strings, Census* census) {
  std::vector<SortRecord> order;
  order.reserve(strings.size());
  for (std::uint32_t i = 0; i < strings.size(); ++i) order.push_back(RecordOf(strings[i], i));
  std::vector<ByteString>().swap(strings);
  std::sort(order.begin(), order.end(), [](const SortRecord& a, const SortRecord& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    return ByteString::Compare(a.text, b.text) < 0;
  });
  // In ascending order every SetAt appends; each raises the stamp once, as
  // entering the strings one by one while parsing would.
  census->Reserve(static_cast<std::uint32_t>(order.size()));
  std::vector<std::uint32_t> rank(order.size());
  for (std::uint32_t r = 0; r < order.size(); ++r) {
    census->SetAt(std::move(order[r].text), 1);
    rank[order[r].index] = r;
  }
  return rank;
}

}  // namespace oxa
