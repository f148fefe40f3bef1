// ByteString: the library's one text type, a small value holding 8-bit,
// zero-terminated text. Short texts live inside the value; longer texts live
// in a heap block that copies share and that is copied before it is changed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace oxa {

// Byte layout of a value of kValueSize bytes (8 on 32-bit targets, 16 on
// 64-bit ones); the last byte, byte L = kValueSize - 1, selects the form:
//
//   inline  byte L = kInlineCapacity - length (0 .. kInlineCapacity)
//           bytes 0 .. length-1: the characters, byte `length`: zero.
//           A text of exactly kInlineCapacity bytes ends on byte L = 0, which
//           is both its encoded length and its terminator.
//   heap    byte L = 0xFF
//           bytes 0 .. sizeof(void*)-1: address of the first character,
//           the next three bytes: the length, 24 bits, least significant first.
//
// A heap block is exactly length + 2 bytes from malloc: one byte counting the
// values that share it (1..255), the characters, and a zero byte. Texts of up
// to kInlineCapacity bytes are always inline; texts set from outside with more
// bytes always go to the heap; nothing moves a heap text back inline.
class ByteString {
 public:
  static constexpr std::size_t kValueSize = 2 * sizeof(void*);
  static constexpr std::size_t kInlineCapacity = kValueSize - 1;
  static constexpr std::uint8_t kHeapForm = 0xFF;
  static constexpr std::uint32_t kMaxLength = 0xFFFFFF;
  static constexpr std::uint8_t kMaxHolders = 255;
  // Count argument meaning "measure up to the zero byte".
  static constexpr std::size_t kMeasure = static_cast<std::size_t>(-1);

  // Every operation that sets or grows a text throws std::length_error for a
  // text over kMaxLength bytes and std::bad_alloc when malloc or realloc
  // fails; the string is then left as it was.

  constexpr ByteString() noexcept : bytes_{} { bytes_[kLast] = kInlineCapacity; }
  // Copies zero-terminated `text`; null gives the empty string.
  ByteString(const char* text) : ByteString(text, kMeasure) {}  // NOLINT: implicit by design
  // Copies `count` bytes (kMeasure: up to the zero byte; null gives the empty string).
  ByteString(const char* data, std::size_t count);
  // Shares `other`'s block (a block already held 255 times is copied instead).
  ByteString(const ByteString& other);
  // Takes over `other`'s text; `other` becomes empty.
  ByteString(ByteString&& other) noexcept;
  ~ByteString() { Release(); }

  ByteString& operator=(const ByteString& other);
  ByteString& operator=(ByteString&& other) noexcept;
  // Assigns zero-terminated `text` (null assigns the empty string).
  ByteString& operator=(const char* text);

  // Releases the text and leaves the empty string.
  void Empty() noexcept;

  std::uint32_t Length() const noexcept {
    if (IsHeap()) {
      return static_cast<std::uint32_t>(bytes_[kLengthAt]) |
             static_cast<std::uint32_t>(bytes_[kLengthAt + 1]) << 8 |
             static_cast<std::uint32_t>(bytes_[kLengthAt + 2]) << 16;
    }
    return static_cast<std::uint32_t>(kInlineCapacity - bytes_[kLast]);
  }
  bool IsEmpty() const noexcept { return Length() == 0; }
  // The zero-terminated characters; valid until this value is changed or destroyed.
  const char* Chars() const noexcept {
    return IsHeap() ? HeapChars() : reinterpret_cast<const char*>(bytes_);
  }

  // Appends `count` bytes (which may lie inside this string's own text).
  void Append(const char* data, std::size_t count);
  // Appends zero-terminated `text`; null appends nothing.
  ByteString& operator+=(const char* text);

  // The first `count` bytes, `count` clamped to the length.
  ByteString Left(std::uint32_t count) const;
  // The last `count` bytes, `count` clamped to the length.
  ByteString Right(std::uint32_t count) const;
  // Byte index of the first / last single-byte character `ch`, or -1.
  std::int32_t Find(char ch) const;
  std::int32_t ReverseFind(char ch) const;

  // -1, 0 or +1 by unsigned bytes up to the terminator; a proper prefix sorts first.
  static int Compare(const char* a, const char* b) noexcept;
  // The same order for two strings, compared with memcmp over the shorter
  // length and its terminator (which sorts below every character).
  static int Compare(const ByteString& a, const ByteString& b) noexcept;

  void Swap(ByteString& other) noexcept;

  // Makes sure that the next copy of this value shares its block: when the
  // block is held 255 times already, the other holders keep it and this
  // value moves to a new block with the same text. A value copied from often
  // thus takes one block per 254 copies instead of one per copy past the
  // 255th. Throws std::bad_alloc, leaving the value as it was.
  void MakeShareable();

 private:
  static constexpr std::size_t kLast = kValueSize - 1;
  static constexpr std::size_t kLengthAt = sizeof(char*);
  static_assert(kLengthAt + 3 <= kLast, "the heap form needs an address and three length bytes");

  bool IsHeap() const noexcept { return bytes_[kLast] == kHeapForm; }
  char* HeapChars() const noexcept;
  std::uint8_t& HolderCount() const noexcept {
    return *reinterpret_cast<std::uint8_t*>(HeapChars() - 1);
  }
  // Writes the heap form's address and length fields and the form byte.
  void SetHeap(char* chars, std::uint32_t length) noexcept;
  // Sets an inline text (count <= kInlineCapacity) without releasing anything.
  void SetInline(const char* data, std::size_t count) noexcept;
  // Gives up this value's hold on its block; the kValueSize bytes are left unchanged.
  void Release() noexcept;

  alignas(void*) unsigned char bytes_[kValueSize];
};

static_assert(sizeof(ByteString) == ByteString::kValueSize);

// Text order of the sorted containers: ByteString::Compare less than 0.
struct TextLess {
  static const char* Text(const ByteString& s) noexcept { return s.Chars(); }
  static const char* Text(const char* s) noexcept { return s; }
  template <class A, class B>
  bool operator()(const A& a, const B& b) const noexcept {
    return ByteString::Compare(Text(a), Text(b)) < 0;
  }
  bool operator()(const ByteString& a, const ByteString& b) const noexcept {
    return ByteString::Compare(a, b) < 0;
  }
};

inline bool operator==(const ByteString& a, const ByteString& b) noexcept {
  return a.Length() == b.Length() && ByteString::Compare(a.Chars(), b.Chars()) == 0;
}
inline bool operator==(const ByteString& a, const char* b) noexcept {
  return ByteString::Compare(a.Chars(), b == nullptr ? "" : b) == 0;
}

// The module's shared empty string (constructed at load, destroyed at unload).
extern const ByteString SharedEmptyString;

}  // namespace oxa
