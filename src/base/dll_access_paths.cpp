// DllAccessPaths parsing and the StringMap behind it.
#include "base/dll_access_paths.h"

#include <cstring>
#include <new>

#include "base/double_byte.h"

namespace oxa {

std::uint32_t StringMap::Hash(const char* key) noexcept {
  std::uint32_t h = 0;
  for (const char* p = key; *p != '\0'; p = NextChar(p)) {
    h = h * 33 +
        static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(*p)));
  }
  return h;
}

const ByteString* StringMap::Lookup(const char* key) const noexcept {
  if (buckets_ == nullptr) return nullptr;
  for (MapEntry* e = buckets_[Hash(key) % bucketCount_]; e != nullptr; e = e->next) {
    if (ByteString::Compare(e->key.Chars(), key) == 0) return &e->value;
  }
  return nullptr;
}

ByteString& StringMap::ValueAt(const ByteString& key) {
  const std::uint32_t bucket = Hash(key.Chars()) % bucketCount_;
  if (buckets_ != nullptr) {
    for (MapEntry* e = buckets_[bucket]; e != nullptr; e = e->next) {
      if (ByteString::Compare(e->key.Chars(), key.Chars()) == 0) return e->value;
    }
  }
  ByteString keyCopy(key);  // may throw; nothing changed yet
  if (buckets_ == nullptr) {
    buckets_ = new MapEntry*[bucketCount_]();
  }
  if (freeEntries_ == nullptr) {
    void* raw = ::operator new(sizeof(EntryBlock) +
                               sizeof(MapEntry) * static_cast<std::size_t>(blockSize_));
    auto* block = new (raw) EntryBlock{entryBlocks_, blockSize_, 0};
    entryBlocks_ = block;
    // Chain the entries so that the block's first entry is taken first.
    MapEntry* entries = block->Entries();
    for (std::int32_t i = blockSize_; i-- > 0;) {
      new (entries + i) MapEntry{freeEntries_, 0, SharedEmptyString, SharedEmptyString};
      freeEntries_ = entries + i;
    }
  }
  MapEntry* entry = freeEntries_;
  freeEntries_ = entry->next;
  ++entryCount_;
  entry->bucket = bucket;
  entry->key.Swap(keyCopy);
  entry->next = buckets_[bucket];
  buckets_[bucket] = entry;
  return entry->value;
}

void StringMap::RemoveAll() noexcept {
  if (buckets_ != nullptr) {
    for (std::uint32_t b = 0; b < bucketCount_; ++b) {
      for (MapEntry* e = buckets_[b]; e != nullptr; e = e->next) {
        e->key.Empty();
        e->value.Empty();
      }
    }
    delete[] buckets_;
    buckets_ = nullptr;
  }
  entryCount_ = 0;
  freeEntries_ = nullptr;
  while (entryBlocks_ != nullptr) {
    EntryBlock* block = entryBlocks_;
    entryBlocks_ = block->next;
    MapEntry* entries = block->Entries();
    for (std::int32_t i = 0; i < block->count; ++i) entries[i].~MapEntry();
    block->~EntryBlock();
    ::operator delete(block);
  }
}

std::int32_t StringMap::GetBlockCount() const noexcept {
  std::int32_t count = 0;
  for (const EntryBlock* b = entryBlocks_; b != nullptr; b = b->next) ++count;
  return count;
}

std::int32_t DllAccessPaths::SetDLLAccessPath(const char* list) {
  if (list == nullptr) return 0;
  for (const char* p = list;;) {
    const std::size_t length = std::strlen(p);
    if (length == 0) return 0;
    // A text too long for a ByteString cannot be held; it is skipped and the
    // texts after it are still read.
    if (length <= ByteString::kMaxLength) {
      ByteString text(p);
      const std::int32_t equals = text.Find('=');
      if (equals >= 0) {
        const auto at = static_cast<std::uint32_t>(equals);
        StorePath(text.Left(at), text.Right(text.Length() - at - 1));
      }
    }
    p += length + 1;
  }
}

std::int32_t DllAccessPaths::StorePath(const ByteString& name, const ByteString& path) {
  if (path.IsEmpty()) return 0;
  ByteString normalised(path);
  if (normalised.Chars()[normalised.Length() - 1] != '\\') normalised += "\\";
  ByteString& stored = paths_.ValueAt(name);
  stored.Swap(normalised);
  return 0;
}

bool DllAccessPaths::Lookup(const char* name, ByteString* path) const {
  const ByteString* found = paths_.Lookup(name == nullptr ? "" : name);
  if (found == nullptr) return false;
  if (path != nullptr) *path = *found;
  return true;
}

}  // namespace oxa
