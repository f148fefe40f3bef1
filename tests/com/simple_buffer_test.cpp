// SimpleBuffer: forms, resizing rules, sharing refusal, interface lookup.
#include "com/simple_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace oxa {
namespace {

struct BufferRef {
  BufferRef() : buffer(SimpleBuffer::Create()) { buffer->AddRef(); }
  ~BufferRef() { buffer->Release(); }
  const unsigned char* Raw() const { return reinterpret_cast<const unsigned char*>(buffer); }
  unsigned char FormByte() const { return Raw()[sizeof(SimpleBuffer) - 1 - TailPadding()]; }
  static std::size_t TailPadding() { return sizeof(SimpleBuffer) - (sizeof(void*) + 4 + 15 + 1); }
  SimpleBuffer* buffer;
};

std::string Bytes(SimpleBuffer* b) {
  return std::string(reinterpret_cast<const char*>(b->GetBuffer()), b->GetSize());
}

TEST(SimpleBufferTest, NewBufferIsEmptyInline) {
  BufferRef ref;
  const std::uint8_t* data = nullptr;
  std::uint32_t length = 99;
  EXPECT_EQ(ref.buffer->Get(&data, &length), kOk);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(data, ref.buffer->GetBuffer());
  const auto* object = reinterpret_cast<const std::uint8_t*>(ref.buffer);
  EXPECT_GE(data, object);
  EXPECT_LT(data, object + sizeof(SimpleBuffer));
}

TEST(SimpleBufferTest, FifteenBytesInlineSixteenOnHeap) {
  BufferRef ref;
  ASSERT_EQ(ref.buffer->Set("0123456789abcde", 15), kOk);
  EXPECT_EQ(ref.FormByte(), 15);
  EXPECT_EQ(Bytes(ref.buffer), "0123456789abcde");
  ASSERT_EQ(ref.buffer->Set("0123456789abcdef", 16), kOk);
  EXPECT_EQ(ref.FormByte(), SimpleBuffer::kHeapForm);
  EXPECT_EQ(Bytes(ref.buffer), "0123456789abcdef");
  const auto* object = reinterpret_cast<const std::uint8_t*>(ref.buffer);
  EXPECT_TRUE(ref.buffer->GetBuffer() < object ||
              ref.buffer->GetBuffer() >= object + sizeof(SimpleBuffer));
}

TEST(SimpleBufferTest, ExactThirtyTwoBitLayout) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "the 32-bit target's layout";
  BufferRef ref;
  ASSERT_EQ(ref.buffer->Set("0123456789abcdefghij", 20), kOk);
  // vtable(4) refCount(4) storage: address(4) length(4) ... form byte at 23.
  const unsigned char* raw = ref.Raw();
  std::uint32_t address, length;
  std::memcpy(&address, raw + 8, 4);
  std::memcpy(&length, raw + 12, 4);
  EXPECT_EQ(address, reinterpret_cast<std::uintptr_t>(ref.buffer->GetBuffer()));
  EXPECT_EQ(length, 20u);
  EXPECT_EQ(raw[23], 0xEE);
  EXPECT_EQ(sizeof(SimpleBuffer), 24u);
}

TEST(SimpleBufferTest, ShrinkKeepsBlockRegrowSmallReturnsInline) {
  BufferRef ref;
  ASSERT_EQ(ref.buffer->Set("0123456789abcdefghij", 20), kOk);
  std::uint8_t* block = ref.buffer->GetBuffer();
  ASSERT_EQ(ref.buffer->SetSize(10), kOk);
  EXPECT_EQ(ref.buffer->GetSize(), 10u);
  EXPECT_EQ(ref.buffer->GetBuffer(), block);
  ASSERT_EQ(ref.buffer->SetSize(12), kOk);
  EXPECT_EQ(ref.FormByte(), 12);
  EXPECT_EQ(Bytes(ref.buffer), "0123456789ab") << "the old block's first 12 bytes";
  ASSERT_EQ(ref.buffer->SetSize(0), kOk);
  EXPECT_EQ(ref.buffer->GetSize(), 0u);
}

TEST(SimpleBufferTest, HeapShrinkToZeroKeepsBlock) {
  BufferRef ref;
  ASSERT_EQ(ref.buffer->Set("0123456789abcdefghij", 20), kOk);
  ASSERT_EQ(ref.buffer->SetSize(0), kOk);
  EXPECT_EQ(ref.buffer->GetSize(), 0u);
  EXPECT_EQ(ref.FormByte(), SimpleBuffer::kHeapForm);
}

TEST(SimpleBufferTest, SetSizeKeepsContentsWhenGrowing) {
  BufferRef ref;
  ASSERT_EQ(ref.buffer->Set("abc", 3), kOk);
  ASSERT_EQ(ref.buffer->SetSize(40), kOk);
  EXPECT_EQ(std::memcmp(ref.buffer->GetBuffer(), "abc", 3), 0);
  std::memcpy(ref.buffer->GetBuffer() + 39, "z", 1);
  ASSERT_EQ(ref.buffer->SetSize(4000), kOk);
  EXPECT_EQ(std::memcmp(ref.buffer->GetBuffer(), "abc", 3), 0);
  EXPECT_EQ(ref.buffer->GetBuffer()[39], 'z');
}

TEST(SimpleBufferTest, SharedBufferRefusesResize) {
  BufferRef ref;
  ASSERT_EQ(ref.buffer->Set("keep", 4), kOk);
  ref.buffer->AddRef();
  EXPECT_EQ(ref.buffer->Set("other", 5), kBufferShared);
  EXPECT_EQ(ref.buffer->SetSize(1), kBufferShared);
  EXPECT_EQ(Bytes(ref.buffer), "keep");
  EXPECT_EQ(ref.buffer->Release(), 1u);
  EXPECT_EQ(ref.buffer->Set("other", 5), kOk);
  EXPECT_EQ(Bytes(ref.buffer), "other");
}

TEST(SimpleBufferTest, QueryInterface) {
  BufferRef ref;
  void* out = nullptr;
  EXPECT_EQ(ref.buffer->QueryInterface(kIidUnknown, &out), kOk);
  EXPECT_EQ(out, static_cast<IBuffer*>(ref.buffer));
  EXPECT_EQ(ref.buffer->QueryInterface(kIidBuffer, &out), kOk);
  EXPECT_EQ(ref.buffer->Release(), 2u);
  EXPECT_EQ(ref.buffer->Release(), 1u);
  out = &ref;
  const Guid other = {0x00001301, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
  EXPECT_EQ(ref.buffer->QueryInterface(other, &out), kNoInterface);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(ref.buffer->QueryInterface(kIidBuffer, nullptr), kNullPointer);
}

TEST(SimpleBufferTest, LastReleaseFreesHeapBlock) {
  SimpleBuffer* buffer = SimpleBuffer::Create();
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->AddRef(), 1u);
  ASSERT_EQ(buffer->Set("0123456789abcdefghij", 20), kOk);
  EXPECT_EQ(buffer->Release(), 0u);  // the sanitizer build reports a leaked block
}

}  // namespace
}  // namespace oxa
