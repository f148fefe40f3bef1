// NodeArena: blocks carved in order, kept from one compilation to the next.
#include "compiler/node_arena.h"

#include <cstdlib>
#include <new>

#include "base/huge_pages.h"

namespace oxa {
namespace {

constexpr std::size_t kAlign = NodeArena::kAlignment;

constexpr std::size_t RoundUp(std::size_t n) {
  return (n + kAlign - 1) & ~(kAlign - 1);
}

}  // namespace

NodeArena::~NodeArena() {
  FreeLarge();
  for (Block* block = first_; block != nullptr;) {
    Block* next = block->next;
    std::free(block);
    block = next;
  }
}

void* NodeArena::Allocate(std::size_t size) {
  constexpr std::size_t kHeader = RoundUp(sizeof(Block));
  if (size > kLargeRequest) return AllocateLarge(size);
  size = RoundUp(size);
  // The current block, else the next kept one, else a new one.
  while (current_ == nullptr || current_->size - used_ < size) {
    if (current_ != nullptr && current_->next != nullptr) {
      current_ = current_->next;
      used_ = kHeader;
      continue;
    }
    std::size_t blockSize =
        current_ == nullptr
            ? kFirstBlock
            : (current_->size >= kLargestBlock / 2 ? kLargestBlock : current_->size * 2);
    if (blockSize < kHeader + size) blockSize = kHeader + size;  // one request past the doubling
    auto* block = static_cast<Block*>(std::malloc(blockSize));
    if (block == nullptr) throw std::bad_alloc();
    AdviseHugePages(block, blockSize);
    *block = Block{nullptr, blockSize};
    if (current_ == nullptr) {
      first_ = block;
    } else {
      current_->next = block;
    }
    current_ = block;
    used_ = kHeader;
    capacity_ += blockSize;
  }
  void* p = reinterpret_cast<char*>(current_) + used_;
  used_ += size;
  return p;
}

void NodeArena::AllocationTooLarge() {
  throw std::bad_alloc();
}

void* NodeArena::AllocateLarge(std::size_t size) {
  constexpr std::size_t kHeader = RoundUp(sizeof(Block));
  if (size > static_cast<std::size_t>(-1) - kHeader) AllocationTooLarge();
  auto* block = static_cast<Block*>(std::malloc(kHeader + size));
  if (block == nullptr) throw std::bad_alloc();
  AdviseHugePages(block, kHeader + size);
  *block = Block{large_, kHeader + size};
  large_ = block;
  return reinterpret_cast<char*>(block) + kHeader;
}

void NodeArena::FreeLarge() noexcept {
  while (large_ != nullptr) {
    Block* next = large_->next;
    std::free(large_);
    large_ = next;
  }
}

void NodeArena::Rewind() noexcept {
  FreeLarge();
  // Keep the first block and those after it that fit within kKept in all.
  Block* last = first_;
  std::size_t kept = last == nullptr ? 0 : last->size;
  while (last != nullptr && last->next != nullptr && kept + last->next->size <= kKept) {
    last = last->next;
    kept += last->size;
  }
  if (last != nullptr) {
    for (Block* extra = last->next; extra != nullptr;) {
      Block* next = extra->next;
      std::free(extra);
      extra = next;
    }
    last->next = nullptr;
  }
  capacity_ = kept;
  current_ = first_;
  used_ = RoundUp(sizeof(Block));
}

}  // namespace oxa
