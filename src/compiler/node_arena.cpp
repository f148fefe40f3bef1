// NodeArena: blocks carved in order, kept from one compilation to the next.
#include "compiler/node_arena.h"

#include <cstdlib>
#include <new>

namespace oxa {
namespace {

constexpr std::size_t kAlign = alignof(std::max_align_t);

constexpr std::size_t RoundUp(std::size_t n) {
  return (n + kAlign - 1) & ~(kAlign - 1);
}

}  // namespace

NodeArena::~NodeArena() {
  for (Block* block = first_; block != nullptr;) {
    Block* next = block->next;
    std::free(block);
    block = next;
  }
}

void* NodeArena::Allocate(std::size_t size) {
  constexpr std::size_t kHeader = RoundUp(sizeof(Block));
  if (size > kLargestBlock - kHeader) throw std::bad_alloc();
  size = RoundUp(size);
  // The current block, else the next kept one, else a new one.
  while (current_ == nullptr || current_->size - used_ < size) {
    if (current_ != nullptr && current_->next != nullptr) {
      current_ = current_->next;
      used_ = kHeader;
      continue;
    }
    const std::size_t blockSize =
        current_ == nullptr
            ? kFirstBlock
            : (current_->size >= kLargestBlock / 2 ? kLargestBlock : current_->size * 2);
    auto* block = static_cast<Block*>(std::malloc(blockSize));
    if (block == nullptr) throw std::bad_alloc();
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

void NodeArena::Rewind() noexcept {
  current_ = first_;
  used_ = RoundUp(sizeof(Block));
}

}  // namespace oxa
