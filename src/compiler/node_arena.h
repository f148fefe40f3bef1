// NodeArena: the memory of one compiler's element nodes.
//
// Purpose: nodes are made one at a time while a document is parsed and all
// go together when the compiler resets. The arena carves them in order from
// large blocks and takes them all back at once; the blocks stay from one
// compilation to the next, so a compiler that compiles many documents stops
// asking for memory once it has seen its largest.
//
// Cost: Allocate is a bump of an offset; a block (64 KiB first, each next
// one twice the last, up to 4 MiB) is one malloc. Rewind is constant time.
//
// Block layout: a Block header (the next block, the block's size in bytes),
// then the carved allocations, each aligned for any node.
#pragma once

#include <cstddef>

namespace oxa {

class NodeArena {
 public:
  NodeArena() = default;
  NodeArena(const NodeArena&) = delete;
  NodeArena& operator=(const NodeArena&) = delete;
  ~NodeArena();

  // `size` bytes, aligned to alignof(std::max_align_t); throws std::bad_alloc.
  void* Allocate(std::size_t size);
  // Takes every allocation back; the blocks stay for the next ones.
  void Rewind() noexcept;
  // Bytes held in blocks, used or not.
  std::size_t Capacity() const noexcept { return capacity_; }

 private:
  struct Block {
    Block* next;
    std::size_t size;
  };
  static constexpr std::size_t kFirstBlock = std::size_t{64} << 10;
  static constexpr std::size_t kLargestBlock = std::size_t{4} << 20;

  Block* first_ = nullptr;
  Block* current_ = nullptr;  // the block being carved
  std::size_t used_ = 0;      // bytes of current_ carved, its header included
  std::size_t capacity_ = 0;
};

}  // namespace oxa
