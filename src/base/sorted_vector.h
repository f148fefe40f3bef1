// SortedVector: the sorted map of the data model: attribute lists, the census
// and the plug-in's component indexes.
//
// Purpose: a map with unique keys kept sorted in one contiguous array, for
// small to mid-size maps that are read far more often than written.
// Cost: Find / LowerBound O(log n) comparisons; Insert O(n) element moves
// (the later elements shift up by one); growth doubles the storage
// (capacities 1, 2, 4, 8, ...). Iteration in key order is a walk over the
// array, either directly (begin/end) or through 32-bit Position handles.
//
// Position: 0 means "no element"; otherwise (stamp << 24) | n with n the
// 1-based place of the element in key order. `stamp` is an 8-bit counter that
// starts random, rises on every SetAt that adds a key and on every RemoveAll,
// and wraps modulo 256.
//
// Invalidation: any insertion or removal invalidates element pointers and
// Positions; an insertion moves every element after the insertion point.
//
// Storage is the container's own (operator new) or borrowed (UseStorage: an
// arena's, which the container never frees); growing past borrowed storage
// moves the elements to storage of the container's own.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace oxa {

using Position = std::uint32_t;

// The initial stamp of a container: rand() >> 8, low 8 bits kept.
inline std::uint8_t NewStamp() {
  return static_cast<std::uint8_t>(std::rand() >> 8);
}

template <class Key, class Value, class Less>
class SortedVector {
 public:
  struct Entry {
    Key key;
    Value value;
  };
  static_assert(std::is_nothrow_move_constructible_v<Entry> &&
                    std::is_nothrow_move_assignable_v<Entry>,
                "elements must move without throwing");
  struct InsertResult {
    Entry* entry;
    bool inserted;
  };

  SortedVector() : stamp_(NewStamp()) {}
  SortedVector(const SortedVector& other) : stamp_(other.stamp_) { *this = other; }
  // Copies every element in order and takes `other`'s stamp. An empty
  // container whose storage holds them all copies into it; otherwise the
  // copies go to new storage before the old is given up.
  SortedVector& operator=(const SortedVector& other) {
    if (this == &other) return *this;
    if (begin_ == end_ && GetCapacity() >= other.GetCount()) {
      CopyInto(begin_, other);
      end_ = begin_ + other.GetCount();
      stamp_ = other.stamp_;
      return *this;
    }
    Entry* fresh = Allocate(other.GetCount());
    try {
      CopyInto(fresh, other);
    } catch (...) {
      ::operator delete(fresh);
      throw;
    }
    Destroy(begin_, end_);
    FreeStorage();
    begin_ = fresh;
    end_ = fresh + other.GetCount();
    capacityEnd_ = end_;
    stamp_ = other.stamp_;
    return *this;
  }
  ~SortedVector() {
    Destroy(begin_, end_);
    FreeStorage();
  }

  std::uint32_t GetCount() const noexcept { return static_cast<std::uint32_t>(end_ - begin_); }
  std::uint32_t GetCapacity() const noexcept {
    return static_cast<std::uint32_t>(capacityEnd_ - begin_);
  }
  std::uint8_t GetStamp() const noexcept { return stamp_; }

  Entry* begin() noexcept { return begin_; }
  Entry* end() noexcept { return end_; }
  const Entry* begin() const noexcept { return begin_; }
  const Entry* end() const noexcept { return end_; }

  // First element whose key is not less than `key`, or end().
  template <class K>
  Entry* LowerBound(const K& key) noexcept {
    Entry* first = begin_;
    std::size_t n = GetCount();
    while (n > 0) {
      const std::size_t half = n / 2;
      Entry* mid = first + half;
      if (Less()(mid->key, key)) {
        first = mid + 1;
        n -= half + 1;
      } else {
        n = half;
      }
    }
    return first;
  }
  template <class K>
  const Entry* LowerBound(const K& key) const noexcept {
    return const_cast<SortedVector*>(this)->LowerBound(key);
  }

  // The element whose key equals `key`, or end().
  template <class K>
  Entry* Find(const K& key) noexcept {
    Entry* lb = LowerBound(key);
    return lb == end_ || Less()(key, lb->key) ? end_ : lb;
  }
  template <class K>
  const Entry* Find(const K& key) const noexcept {
    return const_cast<SortedVector*>(this)->Find(key);
  }

  // Inserts (key, value) unless the key is present; never changes the stamp.
  // A key above the last one is appended without a search.
  InsertResult Insert(const Key& key, const Value& value) {
    Entry* lb = end_ != begin_ && Less()(end_[-1].key, key) ? end_ : LowerBound(key);
    if (lb != end_ && !Less()(key, lb->key)) return {lb, false};
    return {InsertBefore(lb, Entry{key, value}), true};
  }

  // The same, moving `key` into the container when it is inserted.
  InsertResult Insert(Key&& key, const Value& value) {
    Entry* lb = end_ != begin_ && Less()(end_[-1].key, key) ? end_ : LowerBound(key);
    if (lb != end_ && !Less()(key, lb->key)) return {lb, false};
    return {InsertBefore(lb, Entry{std::move(key), value}), true};
  }

  // Appends (key, value) without comparing: the caller knows `key` is above
  // every key present. Never changes the stamp; allocates nothing within the
  // capacity Reserve made.
  void AppendOrdered(const Key& key, const Value& value) { InsertBefore(end_, Entry{key, value}); }

  // Inserts (key, value), raising the stamp, or stores `value` under the existing key.
  void SetAt(const Key& key, const Value& value) { Store(Insert(key, value), value); }
  // The same, moving `key` into the container when it is inserted.
  void SetAt(Key&& key, const Value& value) { Store(Insert(std::move(key), value), value); }

  // The value under `key`, inserted with a default value when missing; the
  // stamp stays. The reference is valid until the next insertion or removal.
  Value& ValueAt(const Key& key) { return Insert(key, Value()).entry->value; }

  // Takes storage for `count` elements that the container does not own (an
  // arena's, aligned for Entry): inserting up to `count` elements allocates
  // nothing, and the container never frees it; growing past it moves the
  // elements to storage of its own. Only on a container without storage.
  void UseStorage(void* storage, std::uint32_t count) noexcept {
    assert(begin_ == nullptr);
    begin_ = end_ = static_cast<Entry*>(storage);
    capacityEnd_ = begin_ + count;
    borrowed_ = true;
  }

  // Makes room for `count` elements in all, so that inserting up to that many
  // allocates nothing more. Elements, order and stamp are unchanged.
  void Reserve(std::uint32_t count) {
    if (count <= GetCapacity()) return;
    Entry* fresh = Allocate(count);
    const std::size_t size = GetCount();
    for (std::size_t i = 0; i < size; ++i) new (fresh + i) Entry(std::move(begin_[i]));
    Destroy(begin_, end_);
    FreeStorage();
    begin_ = fresh;
    end_ = fresh + size;
    capacityEnd_ = fresh + count;
  }

  // Destroys every element and raises the stamp; the storage stays.
  void RemoveAll() noexcept {
    ++stamp_;
    Destroy(begin_, end_);
    end_ = begin_;
  }

  Position GetStartPosition() const noexcept {
    return GetCount() == 0 ? 0 : (static_cast<Position>(stamp_) << 24) | 1;
  }
  // The element at `position`; advances `position` to the next one (0 after the last).
  const Entry& GetNext(Position& position) const noexcept {
    const std::uint32_t n = position & 0xFFFFFF;
    assert(n >= 1 && n <= GetCount());
    position = n < GetCount() ? (position & 0xFF000000u) | (n + 1) : 0;
    return begin_[n - 1];
  }

 private:
  // SetAt's second half: a new entry raises the stamp, an old one takes `value`.
  void Store(InsertResult r, const Value& value) {
    if (r.inserted) {
      ++stamp_;
    } else {
      r.entry->value = value;
    }
  }
  static Entry* Allocate(std::size_t count) {
    if (count == 0) return nullptr;
    if (count > static_cast<std::size_t>(-1) / sizeof(Entry)) throw std::bad_alloc();
    return static_cast<Entry*>(::operator new(count * sizeof(Entry)));
  }
  static void Destroy(Entry* first, Entry* last) noexcept {
    for (; first != last; ++first) first->~Entry();
  }
  // Copy-constructs `other`'s elements at `to`; on a failure destroys the
  // ones made and rethrows.
  static void CopyInto(Entry* to, const SortedVector& other) {
    std::size_t built = 0;
    try {
      for (; built < other.GetCount(); ++built) new (to + built) Entry(other.begin_[built]);
    } catch (...) {
      Destroy(to, to + built);
      throw;
    }
  }
  // Gives up the storage unless it is borrowed; the caller replaces it.
  void FreeStorage() noexcept {
    if (!borrowed_) ::operator delete(begin_);
    borrowed_ = false;
  }

  // Moves `entry` into place before `at`; returns the new element. Element
  // moves do not throw, so a failure leaves the container unchanged.
  Entry* InsertBefore(Entry* at, Entry&& entry) {
    if (end_ != capacityEnd_) {
      if (at == end_) {
        new (end_) Entry(std::move(entry));
      } else {
        new (end_) Entry(std::move(end_[-1]));
        for (Entry* p = end_ - 1; p != at; --p) *p = std::move(p[-1]);
        *at = std::move(entry);
      }
      ++end_;
      return at;
    }
    const std::size_t count = GetCount();
    const std::size_t index = static_cast<std::size_t>(at - begin_);
    if (count >= (std::size_t{1} << 31)) throw std::bad_alloc();
    const std::size_t capacity = count == 0 ? 1 : 2 * count;
    Entry* fresh = Allocate(capacity);
    for (std::size_t i = 0; i < index; ++i) new (fresh + i) Entry(std::move(begin_[i]));
    new (fresh + index) Entry(std::move(entry));
    for (std::size_t i = index; i < count; ++i) new (fresh + i + 1) Entry(std::move(begin_[i]));
    Destroy(begin_, end_);
    FreeStorage();
    begin_ = fresh;
    end_ = fresh + count + 1;
    capacityEnd_ = fresh + capacity;
    return fresh + index;
  }

  Entry* begin_ = nullptr;
  Entry* end_ = nullptr;
  Entry* capacityEnd_ = nullptr;
  std::uint8_t stamp_;
  bool borrowed_ = false;  // the storage is not the container's to free
};

}  // namespace oxa
