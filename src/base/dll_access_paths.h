// The registry of the framework's typed DLL directories, filled through the
// exported SetDLLAccessPath and kept for the life of the module.
#pragma once

#include <cstdint>

#include "base/byte_string.h"

namespace oxa {

// StringMap: a chained hash map from ByteString to ByteString.
//
// Purpose: a handful of entries that live as long as the module. Cost: a
// lookup hashes the key once and walks one chain of a fixed table of 17
// buckets; entries come from blocks of `blockSize` entries that are reused
// and given back only by RemoveAll.
class StringMap {
 public:
  static constexpr std::uint32_t kBucketCount = 17;

  explicit StringMap(std::int32_t blockSize) noexcept : blockSize_(blockSize) {}
  StringMap(const StringMap&) = delete;
  StringMap& operator=(const StringMap&) = delete;
  ~StringMap() { RemoveAll(); }

  // The value stored under `key`, added with an empty value when missing.
  // Valid until RemoveAll. Throws std::bad_alloc when memory is exhausted.
  ByteString& ValueAt(const ByteString& key);
  // The value stored under `key`, or null.
  const ByteString* Lookup(const char* key) const noexcept;
  // Empties every entry and gives all storage back.
  void RemoveAll() noexcept;

  std::int32_t GetCount() const noexcept { return entryCount_; }
  // Number of entry blocks allocated so far.
  std::int32_t GetBlockCount() const noexcept;

  // Hash of the text: h = h * 33 + first byte of each character (as signed 8-bit).
  static std::uint32_t Hash(const char* key) noexcept;

 private:
  struct MapEntry {
    MapEntry* next;
    std::uint32_t bucket;
    ByteString key;
    ByteString value;
  };
  // One operator-new allocation: this header, then `count` entries.
  struct EntryBlock {
    EntryBlock* next;
    std::int32_t count;
    std::uint32_t reserved;
    MapEntry* Entries() noexcept { return reinterpret_cast<MapEntry*>(this + 1); }
  };
  static_assert(sizeof(EntryBlock) % alignof(MapEntry) == 0);

  MapEntry** buckets_ = nullptr;
  std::uint32_t bucketCount_ = kBucketCount;
  std::int32_t entryCount_ = 0;
  MapEntry* freeEntries_ = nullptr;
  EntryBlock* entryBlocks_ = nullptr;
  std::int32_t blockSize_;
};

// The module's registry of DLL directories by DLL type name ("DT_Plugins", ...).
class DllAccessPaths {
 public:
  static constexpr std::int32_t kBlockSize = 10;

  DllAccessPaths() noexcept : paths_(kBlockSize) {}

  // Parses consecutive zero-terminated "NAME=DIRECTORY" texts, ended by an
  // empty text, and stores each usable entry; a null list stores nothing.
  // A text over the ByteString limit is skipped like one without '='.
  // Returns 0. Throws std::bad_alloc on exhausted memory; entries stored
  // before stay.
  std::int32_t SetDLLAccessPath(const char* list);
  // Stores `path` under `name`, with a final backslash added when missing; an
  // empty path is ignored. Returns 0.
  std::int32_t StorePath(const ByteString& name, const ByteString& path);
  // The directory stored under `name`, or false.
  bool Lookup(const char* name, ByteString* path) const;

  const StringMap& Paths() const noexcept { return paths_; }

 private:
  StringMap paths_;
};

}  // namespace oxa
