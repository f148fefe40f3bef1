// IdLog: node entries and the shared attribute name sequences.
#include "compiler/id_log.h"

#include <stdexcept>

namespace oxa {
namespace {

// Offsets into either array are 32-bit: neither may grow past that.
void CheckRoom(std::size_t size, std::size_t more) {
  if (more > 0xFFFFFFFFu || size > 0xFFFFFFFFu - more)
    throw std::length_error("id log past 4 G entries");
}

std::uint32_t HashNames(const IdLog::Pairs& pairs) noexcept {
  std::uint64_t h = (pairs.size() + 1) * 0x9E3779B97F4A7C15ull;
  for (const auto& pair : pairs) {
    h = (h ^ pair.first) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
  }
  return static_cast<std::uint32_t>(h >> 32);
}

}  // namespace

std::uint32_t IdLog::ShapeOf(const Pairs& pairs) {
  if ((std::size_t{shapeCount_} + 1) * 2 > slots_.size()) GrowShapeTable();
  const std::uint32_t hash = HashNames(pairs);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.offset == 0) break;
    if (slot.hash != hash) continue;
    const std::uint32_t* shape = shapes_.data() + (slot.offset - 1);
    if (shape[0] != pairs.size()) continue;
    std::size_t k = 0;
    while (k < pairs.size() && shape[1 + k] == pairs[k].first) ++k;
    if (k == pairs.size()) return slot.offset - 1;
  }
  CheckRoom(shapes_.size(), 1 + pairs.size());
  const auto offset = static_cast<std::uint32_t>(shapes_.size());
  shapes_.push_back(static_cast<std::uint32_t>(pairs.size()));
  for (const auto& pair : pairs) shapes_.push_back(pair.first);
  slots_[i] = {offset + 1, hash};
  ++shapeCount_;
  return offset;
}

void IdLog::GrowShapeTable() {
  std::vector<Slot> slots(slots_.empty() ? 64 : slots_.size() * 2, Slot{0, 0});
  const std::size_t mask = slots.size() - 1;
  for (const Slot& slot : slots_) {
    if (slot.offset == 0) continue;
    std::size_t i = slot.hash & mask;
    while (slots[i].offset != 0) i = (i + 1) & mask;
    slots[i] = slot;
  }
  slots_.swap(slots);
}

void IdLog::AppendNode(ElementNode* node, std::uint32_t name, const Pairs& pairs) {
  const std::uint32_t shape = ShapeOf(pairs);
  CheckRoom(entries_.size(), 2 + pairs.size());
  node->logAt = static_cast<std::uint32_t>(entries_.size());
  entries_.push_back(name);
  entries_.push_back(shape);
  for (const auto& pair : pairs) entries_.push_back(pair.second);
}

void IdLog::AppendCopy(ElementNode* copy, const ElementNode* source) {
  const std::size_t from = source->logAt;
  const std::size_t length = 2 + std::size_t{shapes_[entries_[from + 1]]};
  CheckRoom(entries_.size(), length);
  copy->logAt = static_cast<std::uint32_t>(entries_.size());
  // push_back of the vector's own element is safe even when it grows.
  for (std::size_t i = 0; i < length; ++i) entries_.push_back(entries_[from + i]);
}

std::uint32_t IdLog::ValueOf(const ElementNode* node, std::uint32_t name) const noexcept {
  const std::uint32_t* entry = entries_.data() + node->logAt;
  const std::uint32_t* shape = shapes_.data() + entry[1];
  for (std::uint32_t i = 0; i < shape[0]; ++i) {
    if (shape[1 + i] == name) return entry[2 + i];
  }
  return kNone;
}

void IdLog::Renumber(const std::vector<std::uint32_t>& rank) noexcept {
  for (std::size_t at = 0; at < entries_.size();) {
    const std::size_t count = shapes_[entries_[at + 1]];
    entries_[at] = rank[entries_[at]];
    for (std::size_t i = 0; i < count; ++i) entries_[at + 2 + i] = rank[entries_[at + 2 + i]];
    at += 2 + count;
  }
  for (std::size_t at = 0; at < shapes_.size();) {
    const std::size_t count = shapes_[at];
    for (std::size_t i = 0; i < count; ++i) shapes_[at + 1 + i] = rank[shapes_[at + 1 + i]];
    at += 1 + count;
  }
}

void IdLog::Release() noexcept {
  std::vector<std::uint32_t>().swap(entries_);
  std::vector<std::uint32_t>().swap(shapes_);
  std::vector<Slot>().swap(slots_);
  shapeCount_ = 0;
}

}  // namespace oxa
