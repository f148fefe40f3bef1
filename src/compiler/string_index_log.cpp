// StringIndexLog: node entries and the shared attribute name sequences.
#include "compiler/string_index_log.h"

#include <algorithm>
#include <stdexcept>

#include <xmlcompiler/com/buffer.h>

namespace oxa {
namespace {

// Offsets into either array are 32-bit: neither may grow past that.
void CheckRoom(std::size_t size, std::size_t more) {
  if (more > kMaxSize32 || size > kMaxSize32 - more)
    throw std::length_error("index log past 4 G entries");
}

std::uint32_t HashNames(const StringIndexLog::Pairs& pairs) noexcept {
  std::uint64_t h = (pairs.size() + 1) * 0x9E3779B97F4A7C15ull;
  for (const auto& pair : pairs) {
    h = (h ^ pair.first) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
  }
  return static_cast<std::uint32_t>(h >> 32);
}

}  // namespace

std::uint32_t StringIndexLog::ShapeOf(const Pairs& pairs) {
  slots_.Reserve(std::size_t{shapeCount_} + 1, kInitialSlots);
  const std::uint32_t hash = HashNames(pairs);
  const std::size_t at = slots_.Probe(hash, [&](std::uint32_t offset) {
    const std::uint32_t* shape = shapes_.data() + offset;
    if (shape[0] != pairs.size()) return false;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      if (shape[1 + k] != pairs[k].first) return false;
    }
    return true;
  });
  const std::uint32_t found = slots_.ValueAt(at);
  if (found != HashSlots::kNone) return found;
  CheckRoom(shapes_.size(), 1 + pairs.size());
  const auto offset = static_cast<std::uint32_t>(shapes_.size());
  shapes_.push_back(static_cast<std::uint32_t>(pairs.size()));
  for (const auto& pair : pairs) shapes_.push_back(pair.first);
  slots_.Fill(at, offset, hash);
  ++shapeCount_;
  return offset;
}

void StringIndexLog::AppendNode(ElementNode* node, std::uint32_t name, const Pairs& pairs) {
  const std::uint32_t shape = ShapeOf(pairs);
  CheckRoom(entries_.size(), kEntryHead + pairs.size());
  node->logAt = static_cast<std::uint32_t>(entries_.size());
  ++nodeCount_;
  entries_.push_back(name);
  entries_.push_back(shape);
  for (const auto& pair : pairs) entries_.push_back(pair.second);
}

void StringIndexLog::AppendCopy(ElementNode* copy, const ElementNode* source) {
  const std::size_t from = source->logAt;
  const std::size_t length = kEntryHead + std::size_t{shapes_[entries_[from + 1]]};
  CheckRoom(entries_.size(), length);
  copy->logAt = static_cast<std::uint32_t>(entries_.size());
  ++nodeCount_;
  // push_back of the vector's own element is safe even when it grows.
  for (std::size_t i = 0; i < length; ++i) entries_.push_back(entries_[from + i]);
}

void StringIndexLog::ReserveForCopiesOf(const ElementNode* source) {
  if (source->ChildCount() == 0) return;
  const ElementNode* last = source;
  while (last->ChildCount() > 0) last = last->Child(last->ChildCount() - 1);
  const std::size_t first = source->Child(0)->logAt;
  const std::size_t end =
      std::size_t{last->logAt} + kEntryHead + shapes_[entries_[last->logAt + 1]];
  CheckRoom(entries_.size(), end - first);
  // Geometric, so that many small copies in a row stay linear.
  const std::size_t needed = entries_.size() + (end - first);
  if (needed > entries_.capacity()) entries_.reserve(std::max(needed, 2 * entries_.capacity()));
}

std::uint32_t StringIndexLog::ValueOf(const ElementNode* node, std::uint32_t name) const noexcept {
  const std::uint32_t* entry = entries_.data() + node->logAt;
  const std::uint32_t* shape = shapes_.data() + entry[1];
  for (std::uint32_t i = 0; i < shape[0]; ++i) {
    if (shape[1 + i] == name) return entry[kEntryHead + i];
  }
  return kNone;
}

void StringIndexLog::Renumber(const std::vector<std::uint32_t>& rank) noexcept {
  for (std::size_t at = 0; at < entries_.size();) {
    const std::size_t count = shapes_[entries_[at + 1]];
    entries_[at] = rank[entries_[at]];
    for (std::size_t i = 0; i < count; ++i)
      entries_[at + kEntryHead + i] = rank[entries_[at + kEntryHead + i]];
    at += kEntryHead + count;
  }
  for (std::size_t at = 0; at < shapes_.size();) {
    const std::size_t count = shapes_[at];
    for (std::size_t i = 0; i < count; ++i) shapes_[at + 1 + i] = rank[shapes_[at + 1 + i]];
    at += 1 + count;
  }
}

void StringIndexLog::Release() noexcept {
  std::vector<std::uint32_t>().swap(entries_);
  std::vector<std::uint32_t>().swap(shapes_);
  slots_.Release();
  shapeCount_ = 0;
  nodeCount_ = 0;
}

}  // namespace oxa
