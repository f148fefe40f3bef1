// ByteString: inline and shared heap forms, copy-before-write.
#include "base/byte_string.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "base/double_byte.h"

namespace oxa {
namespace {

// A block of length + 2 bytes with holder count 1, the characters not yet set.
char* NewBlock(std::size_t length) {
  if (length > ByteString::kMaxLength) throw std::length_error("text longer than 16,777,215 bytes");
  auto* block = static_cast<unsigned char*>(std::malloc(length + 2));
  if (block == nullptr) throw std::bad_alloc();
  block[0] = 1;
  block[1 + length] = '\0';
  return reinterpret_cast<char*>(block + 1);
}

}  // namespace

ByteString::ByteString(const char* data, std::size_t count) : bytes_{} {
  if (count == kMeasure) count = data == nullptr ? 0 : std::strlen(data);
  if (count <= kInlineCapacity) {
    SetInline(data, count);
    return;
  }
  char* chars = NewBlock(count);
  std::memcpy(chars, data, count);
  SetHeap(chars, static_cast<std::uint32_t>(count));
}

ByteString::ByteString(const ByteString& other) : bytes_{} {
  // An inline text is the value itself; a heap text gains a holder while its
  // count has room, else it is copied into a block of its own.
  if (!other.IsHeap()) {
    std::memcpy(bytes_, other.bytes_, kValueSize);
    return;
  }
  if (other.HolderCount() != kMaxHolders) {
    std::memcpy(bytes_, other.bytes_, kValueSize);
    ++HolderCount();
    return;
  }
  ByteString copy(other.Chars(), other.Length());
  Swap(copy);
}

ByteString::ByteString(ByteString&& other) noexcept {
  std::memcpy(bytes_, other.bytes_, kValueSize);
  other.SetInline(nullptr, 0);
}

ByteString& ByteString::operator=(const ByteString& other) {
  // Copy first, so that assigning a string to itself keeps its text.
  ByteString copy(other);
  Swap(copy);
  return *this;
}

ByteString& ByteString::operator=(ByteString&& other) noexcept {
  ByteString taken(std::move(other));
  Swap(taken);
  return *this;
}

ByteString& ByteString::operator=(const char* text) {
  ByteString copy(text);
  Swap(copy);
  return *this;
}

void ByteString::Empty() noexcept {
  Release();
  SetInline(nullptr, 0);
}

void ByteString::Append(const char* data, std::size_t count) {
  const std::size_t oldLength = Length();
  if (count > kMaxLength - oldLength) throw std::length_error("text longer than 16,777,215 bytes");
  const std::size_t newLength = oldLength + count;

  if (!IsHeap() && newLength <= kInlineCapacity) {
    if (count != 0) std::memmove(bytes_ + oldLength, data, count);
    bytes_[newLength] = '\0';
    bytes_[kLast] = static_cast<unsigned char>(kInlineCapacity - newLength);
    return;
  }
  if (IsHeap() && HolderCount() == 1) {
    char* oldChars = HeapChars();
    // `data` may point into this very block, which realloc can move.
    const bool aliased = data >= oldChars && data < oldChars + oldLength;
    const std::size_t aliasOffset = aliased ? static_cast<std::size_t>(data - oldChars) : 0;
    void* grown = std::realloc(oldChars - 1, newLength + 2);
    if (grown == nullptr) throw std::bad_alloc();
    char* chars = static_cast<char*>(grown) + 1;
    if (count != 0) std::memmove(chars + oldLength, aliased ? chars + aliasOffset : data, count);
    chars[newLength] = '\0';
    SetHeap(chars, static_cast<std::uint32_t>(newLength));
    return;
  }
  // Inline text growing past the inline area, or a shared block: a private block.
  char* chars = NewBlock(newLength);
  std::memcpy(chars, Chars(), oldLength);
  if (count != 0) std::memcpy(chars + oldLength, data, count);
  Release();
  SetHeap(chars, static_cast<std::uint32_t>(newLength));
}

ByteString& ByteString::operator+=(const char* text) {
  Append(text, text == nullptr ? 0 : std::strlen(text));
  return *this;
}

ByteString ByteString::Left(std::uint32_t count) const {
  const std::uint32_t length = Length();
  if (count > length) count = length;
  return ByteString(Chars(), count);
}

ByteString ByteString::Right(std::uint32_t count) const {
  const std::uint32_t length = Length();
  if (count > length) count = length;
  return ByteString(Chars() + (length - count), count);
}

std::int32_t ByteString::Find(char ch) const {
  const char* found = FindChar(Chars(), ch);
  return found == nullptr ? -1 : static_cast<std::int32_t>(found - Chars());
}

std::int32_t ByteString::ReverseFind(char ch) const {
  const char* found = FindLastChar(Chars(), ch);
  return found == nullptr ? -1 : static_cast<std::int32_t>(found - Chars());
}

int ByteString::Compare(const char* a, const char* b) noexcept {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  while (*x == *y) {
    if (*x == 0) return 0;
    ++x;
    ++y;
  }
  return *x < *y ? -1 : 1;
}

int ByteString::Compare(const ByteString& a, const ByteString& b) noexcept {
  const std::uint32_t la = a.Length(), lb = b.Length();
  const int c = std::memcmp(a.Chars(), b.Chars(), (la < lb ? la : lb) + 1);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void ByteString::Swap(ByteString& other) noexcept {
  unsigned char temp[kValueSize];
  std::memcpy(temp, bytes_, kValueSize);
  std::memcpy(bytes_, other.bytes_, kValueSize);
  std::memcpy(other.bytes_, temp, kValueSize);
}

void ByteString::MakeShareable() {
  if (!IsHeap() || HolderCount() != kMaxHolders) return;
  ByteString fresh(HeapChars(), Length());
  Swap(fresh);
}

char* ByteString::HeapChars() const noexcept {
  char* chars;
  std::memcpy(&chars, bytes_, sizeof(chars));
  return chars;
}

void ByteString::SetHeap(char* chars, std::uint32_t length) noexcept {
  std::memcpy(bytes_, &chars, sizeof(chars));
  bytes_[kLengthAt] = static_cast<unsigned char>(length);
  bytes_[kLengthAt + 1] = static_cast<unsigned char>(length >> 8);
  bytes_[kLengthAt + 2] = static_cast<unsigned char>(length >> 16);
  bytes_[kLast] = kHeapForm;
}

void ByteString::SetInline(const char* data, std::size_t count) noexcept {
  if (count != 0) std::memcpy(bytes_, data, count);
  bytes_[count] = '\0';
  bytes_[kLast] = static_cast<unsigned char>(kInlineCapacity - count);
}

void ByteString::Release() noexcept {
  if (!IsHeap()) return;
  std::uint8_t& holders = HolderCount();
  if (--holders == 0) std::free(HeapChars() - 1);
}

}  // namespace oxa
