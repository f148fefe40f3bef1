// ChunkWriter: block growth, little-endian integers, chunk framing.
#include "compiler/chunk_writer.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include <xmlcompiler/com/buffer.h>

#include "base/huge_pages.h"

#include "compiler/element_node.h"

namespace oxa {

ChunkWriter::~ChunkWriter() {
  std::free(block_);
}

void ChunkWriter::Reserve(std::uint64_t needed) {
  if (needed <= capacity_) return;
  if (needed > kMaxSize32) throw std::length_error("compiled document larger than 4 GiB");
  std::uint64_t capacity = capacity_;
  while (capacity < needed)
    capacity = capacity * 2 < kInitialCapacity ? kInitialCapacity : capacity * 2;
  if (capacity > kMaxSize32) capacity = kMaxSize32;
  if (capacity > static_cast<std::size_t>(-1)) throw std::bad_alloc();
  void* grown = std::realloc(block_, static_cast<std::size_t>(capacity));
  if (grown == nullptr) throw std::bad_alloc();
  block_ = static_cast<std::uint8_t*>(grown);
  AdviseHugePages(block_, static_cast<std::size_t>(capacity));
  capacity_ = static_cast<std::uint32_t>(capacity);
  ++growths_;
}

void ChunkWriter::AppendBytes(const void* bytes, std::size_t count) {
  if (count == 0) return;
  Reserve(std::uint64_t{size_} + count);
  std::memcpy(block_ + size_, bytes, count);
  size_ += static_cast<std::uint32_t>(count);
}

std::uint8_t* ChunkWriter::Claim(std::uint64_t count) {
  Reserve(std::uint64_t{size_} + count);
  std::uint8_t* p = block_ + size_;
  size_ += static_cast<std::uint32_t>(count);
  return p;
}

void ChunkWriter::OpenChunk(std::uint32_t offset) {
  AppendSlot(openChunks_, offset);
}

void ChunkWriter::WriteUInt32Growing(std::uint32_t value) {
  std::uint8_t bytes[4];
  format::StoreUInt32(bytes, value);
  AppendBytes(bytes, sizeof(bytes));
}

void ChunkWriter::PatchUInt32(std::uint32_t offset, std::uint32_t value) noexcept {
  format::StoreUInt32(block_ + offset, value);
}

void ChunkWriter::BeginChunk(std::uint32_t tag) {
  Reserve(std::uint64_t{size_} + 8);
  OpenChunk(size_ + 4);
  WriteUInt32(tag);
  WriteUInt32(0);
}

void ChunkWriter::EndChunk() noexcept {
  const std::int32_t last = openChunks_.GetCount() - 1;
  const auto offset = static_cast<std::uint32_t>(openChunks_[last]);
  openChunks_.RemoveAt(last);
  PatchUInt32(offset, size_ - offset - 4);
}

void ChunkWriter::Rewind() noexcept {
  size_ = 0;
  if (openChunks_.GetCount() != 0) openChunks_.RemoveAt(0, openChunks_.GetCount());
}

}  // namespace oxa
