// NodeArena: the memory of one compiler's element nodes.
//
// Purpose: nodes are made one at a time while a document is parsed and all
// go together when the compiler resets. The arena carves them in order from
// large blocks and takes them all back at once. The first 4 MiB of blocks
// stay from one compilation to the next, so a compiler that compiles many
// documents of ordinary size stops asking for memory; the blocks of a larger
// document are freed when it is done, so that the memory its tree took can
// hold what comes after it (the host's copy of the output).
//
// Cost: Allocate is a bump of an offset; a block (64 KiB first, each next
// one twice the last, up to 4 MiB) is one malloc. A request over 1 MiB gets
// a block of its own, freed at the next Rewind. Rewind is constant time but
// for those.
//
// Block layout: a Block header (the next block, the block's size in bytes),
// then the carved allocations, each aligned to kAlignment (8 bytes: what
// nodes and attribute entries need; max_align_t's 16 would add a tenth to
// every node).
#pragma once

#include <cstddef>

namespace oxa {

class NodeArena {
 public:
  NodeArena() = default;
  NodeArena(const NodeArena&) = delete;
  NodeArena& operator=(const NodeArena&) = delete;
  ~NodeArena();

  // Alignment of every allocation.
  static constexpr std::size_t kAlignment = 8;

  // `size` bytes, aligned to kAlignment; throws std::bad_alloc.
  void* Allocate(std::size_t size);
  // Room for `count` objects of `size` bytes; throws std::bad_alloc, also
  // when the product does not fit a size_t.
  void* AllocateArray(std::size_t count, std::size_t size) {
    if (size != 0 && count > static_cast<std::size_t>(-1) / size) AllocationTooLarge();
    return Allocate(count * size);
  }
  // Takes every allocation back; the first kKept bytes of blocks stay for
  // the next ones, the rest are freed.
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
  static constexpr std::size_t kLargeRequest = std::size_t{1} << 20;
  static constexpr std::size_t kKept = std::size_t{4} << 20;
  [[noreturn]] static void AllocationTooLarge();
  void* AllocateLarge(std::size_t size);
  void FreeLarge() noexcept;

  Block* first_ = nullptr;
  Block* current_ = nullptr;  // the block being carved
  std::size_t used_ = 0;      // bytes of current_ carved, its header included
  std::size_t capacity_ = 0;
  Block* large_ = nullptr;  // blocks of one large request each, until Rewind
};

}  // namespace oxa
