// ChunkWriter: the growable byte block in which a compiled document is
// written, with the stack of chunks begun and not yet ended.
//
// Growth: the block's capacity runs 50, 100, 200, ... (50 * 2^k), always the
// smallest such capacity that holds what was written; the block is reused
// from one document to the next and freed only with the writer. Integers are
// written little-endian whatever the machine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/ptr_array.h"
#include "format/compiled_format.h"

namespace oxa {

class ChunkWriter {
 public:
  static constexpr std::uint32_t kInitialCapacity = 50;

  ChunkWriter() noexcept = default;
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;
  ~ChunkWriter();

  // Appends `count` bytes at offset Size(). Throws std::length_error when the
  // total would not fit 32 bits and std::bad_alloc when the block cannot
  // grow; the bytes written before stay.
  void AppendBytes(const void* bytes, std::size_t count);
  void WriteUInt32(std::uint32_t value) {
    if (capacity_ - size_ >= 4) {  // the common case: no growth
      format::StoreUInt32(block_ + size_, value);
      size_ += 4;
      return;
    }
    WriteUInt32Growing(value);
  }
  // Makes `count` more bytes part of what is written and returns where they
  // start; the caller fills every one of them (with Store) before the next
  // call (with format::StoreUInt32). Throws as AppendBytes does.
  std::uint8_t* Claim(std::uint64_t count);
  // Grows the block at once to the capacity that writing up to `size` bytes
  // byte by byte would reach (the smallest 50 * 2^k that holds them, or the
  // present capacity when larger), so that writing them reallocates nothing.
  // Throws as AppendBytes does.
  void Reserve(std::uint64_t size);
  // Opens a chunk whose length field, already written, is at `offset`.
  void OpenChunk(std::uint32_t offset);
  // Overwrites the 4 bytes at `offset` (inside what is written).
  void PatchUInt32(std::uint32_t offset, std::uint32_t value) noexcept;
  // Writes `tag` and a zero length placeholder, and opens the chunk.
  void BeginChunk(std::uint32_t tag);
  // Ends the innermost open chunk: its length becomes the bytes after its length field.
  void EndChunk() noexcept;

  // Starts the next document at offset 0, keeping block and capacity.
  void Rewind() noexcept;

  const std::uint8_t* Data() const noexcept { return block_; }
  std::uint32_t Size() const noexcept { return size_; }
  std::uint32_t Capacity() const noexcept { return capacity_; }
  std::int32_t OpenChunks() const noexcept { return openChunks_.GetCount(); }
  // Number of times the block has been (re)allocated.
  std::uint32_t Growths() const noexcept { return growths_; }

 private:
  void WriteUInt32Growing(std::uint32_t value);

  std::uint8_t* block_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
  PtrArray openChunks_;  // offsets of the open chunks' length fields, innermost last
  std::uint32_t growths_ = 0;
};

}  // namespace oxa
