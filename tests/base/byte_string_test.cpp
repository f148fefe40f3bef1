// ByteString: forms, sharing, copy-before-write, pieces, searches, order.
#include "base/byte_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace oxa {
namespace {

constexpr std::size_t kLast = ByteString::kValueSize - 1;
constexpr std::size_t kCap = ByteString::kInlineCapacity;

const unsigned char* Raw(const ByteString& s) {
  return reinterpret_cast<const unsigned char*>(&s);
}
bool IsHeap(const ByteString& s) {
  return Raw(s)[kLast] == 0xFF;
}
unsigned Holders(const ByteString& s) {
  return static_cast<unsigned char>(s.Chars()[-1]);
}
std::string Text(std::size_t n, char c = 'x') {
  return std::string(n, c);
}

TEST(ByteStringLayout, EmptyFormsAreInlineWithZeroLength) {
  const ByteString a;
  const ByteString b(nullptr);
  const ByteString c("");
  const ByteString d(nullptr, ByteString::kMeasure);
  for (const ByteString* s : {&a, &b, &c, &d}) {
    EXPECT_EQ(Raw(*s)[0], 0);
    EXPECT_EQ(Raw(*s)[kLast], kCap);
    EXPECT_EQ(s->Length(), 0u);
    EXPECT_TRUE(s->IsEmpty());
    EXPECT_STREQ(s->Chars(), "");
  }
}

TEST(ByteStringLayout, InlineUpToCapacityHeapBeyond) {
  const std::string full = Text(kCap);
  ByteString inlineFull(full.c_str());
  EXPECT_FALSE(IsHeap(inlineFull));
  EXPECT_EQ(Raw(inlineFull)[kLast], 0) << "length byte doubles as the terminator";
  EXPECT_EQ(inlineFull.Length(), kCap);
  EXPECT_EQ(static_cast<const void*>(inlineFull.Chars()), static_cast<const void*>(&inlineFull));

  const std::string over = Text(kCap + 1);
  ByteString heap(over.c_str());
  EXPECT_TRUE(IsHeap(heap));
  EXPECT_EQ(heap.Length(), kCap + 1);
  EXPECT_EQ(Holders(heap), 1u);
  EXPECT_EQ(heap.Chars()[heap.Length()], '\0');
  EXPECT_EQ(over, heap.Chars());
  // Length field: three bytes after the address, least significant first.
  EXPECT_EQ(Raw(heap)[sizeof(void*)], kCap + 1);
  EXPECT_EQ(Raw(heap)[sizeof(void*) + 1], 0);
  EXPECT_EQ(Raw(heap)[sizeof(void*) + 2], 0);
}

TEST(ByteStringLayout, ExactThirtyTwoBitForms) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "the 8-byte form is the 32-bit target's";
  EXPECT_EQ(sizeof(ByteString), 8u);
  ByteString abc("abc");
  EXPECT_EQ(0, std::memcmp(Raw(abc), "abc", 4));
  EXPECT_EQ(Raw(abc)[7], 4);
  ByteString ten("0123456789");
  EXPECT_EQ(Raw(ten)[4], 0x0A);
  EXPECT_EQ(Raw(ten)[5], 0);
  EXPECT_EQ(Raw(ten)[6], 0);
  EXPECT_EQ(Raw(ten)[7], 0xFF);
  const char* chars;
  std::memcpy(&chars, Raw(ten), 4);
  EXPECT_EQ(chars, ten.Chars());
  EXPECT_EQ(static_cast<unsigned char>(chars[-1]), 1);  // 12-byte block: 01, ten characters, 00
  EXPECT_EQ(chars[10], '\0');
}

TEST(ByteStringLayout, LongestTextAllowedAndLongerRefused) {
  std::string big(ByteString::kMaxLength, 'q');
  ByteString s(big.c_str(), big.size());
  EXPECT_EQ(s.Length(), ByteString::kMaxLength);
  EXPECT_THROW(ByteString(big.c_str(), big.size() + 1), std::length_error);
  EXPECT_THROW(s.Append("x", 1), std::length_error);
  EXPECT_EQ(s.Length(), ByteString::kMaxLength) << "a refused append changes nothing";
}

TEST(ByteStringSharing, CopiesShareTheBlockAndFreeItOnce) {
  const std::string text = Text(40);
  auto a = std::make_unique<ByteString>(text.c_str());
  ByteString b(*a);
  EXPECT_EQ(a->Chars(), b.Chars());
  EXPECT_EQ(Holders(b), 2u);
  a.reset();
  EXPECT_EQ(Holders(b), 1u);
  EXPECT_EQ(text, b.Chars());  // the sanitizer build catches a double free or use after free
}

TEST(ByteStringSharing, TheTwoHundredFiftySixthHolderGetsItsOwnBlock) {
  ByteString first(Text(20).c_str());
  std::vector<ByteString> holders(254, first);
  EXPECT_EQ(Holders(first), 255u);
  ByteString extra(first);
  EXPECT_NE(extra.Chars(), first.Chars());
  EXPECT_EQ(Holders(extra), 1u);
  EXPECT_EQ(Holders(first), 255u);
  EXPECT_STREQ(extra.Chars(), first.Chars());
  ByteString assigned;
  assigned = first;
  EXPECT_NE(assigned.Chars(), first.Chars());
  EXPECT_STREQ(assigned.Chars(), first.Chars());
}

TEST(ByteStringSharing, MakeShareableMovesOffAFullBlockOnly) {
  ByteString first(Text(20).c_str());
  const char* block = first.Chars();
  first.MakeShareable();
  EXPECT_EQ(first.Chars(), block) << "a block with room stays";
  std::vector<ByteString> holders(254, first);
  first.MakeShareable();
  EXPECT_NE(first.Chars(), block);
  EXPECT_EQ(Holders(first), 1u);
  EXPECT_EQ(Holders(holders[0]), 254u) << "the others keep the old block";
  EXPECT_STREQ(first.Chars(), Text(20).c_str());
  ByteString next(first);
  EXPECT_EQ(next.Chars(), first.Chars()) << "the next copy shares again";
  ByteString small("ab");
  small.MakeShareable();
  EXPECT_STREQ(small.Chars(), "ab");
}

TEST(ByteStringSharing, SelfAssignmentKeepsText) {
  ByteString s(Text(30).c_str());
  ByteString& alias = s;
  s = alias;
  EXPECT_EQ(Text(30), s.Chars());
  EXPECT_EQ(Holders(s), 1u);
  ByteString small("ab");
  small = small.Chars();
  EXPECT_STREQ(small.Chars(), "ab");
}

TEST(ByteStringSharing, MoveTakesTheTextAndEmptiesTheSource) {
  ByteString a(Text(30).c_str());
  const char* chars = a.Chars();
  ByteString b(std::move(a));
  EXPECT_EQ(b.Chars(), chars);
  EXPECT_TRUE(a.IsEmpty());  // NOLINT(bugprone-use-after-move): documented state
  EXPECT_EQ(Holders(b), 1u);
}

TEST(ByteStringAppend, SharedBlockIsCopiedBeforeWrite) {
  ByteString a(Text(20).c_str());
  ByteString b(a);
  b += "tail";
  EXPECT_EQ(Text(20), a.Chars());
  EXPECT_EQ(Text(20) + "tail", b.Chars());
  EXPECT_EQ(Holders(a), 1u);
  EXPECT_EQ(Holders(b), 1u);

  ByteString c(a);
  c.Append("", 0);
  EXPECT_NE(c.Chars(), a.Chars()) << "even an empty append privatises a shared block";
  EXPECT_EQ(Holders(a), 1u);
}

TEST(ByteStringAppend, InlineStaysInlineThenMovesToHeap) {
  ByteString s("abc");
  s += "d";
  EXPECT_FALSE(IsHeap(s));
  EXPECT_STREQ(s.Chars(), "abcd");
  s.Append(Text(kCap - 4, 'e').c_str(), kCap - 4);
  EXPECT_FALSE(IsHeap(s));
  EXPECT_EQ(s.Length(), kCap);
  s += "f";
  EXPECT_TRUE(IsHeap(s));
  EXPECT_EQ(s.Length(), kCap + 1);
  EXPECT_EQ(Holders(s), 1u);
  EXPECT_EQ("abcd" + Text(kCap - 4, 'e') + "f", s.Chars());
  s += nullptr;
  EXPECT_EQ(s.Length(), kCap + 1);
}

TEST(ByteStringAppend, AppendingItsOwnTextWorksInBothForms) {
  ByteString small("ab");
  small.Append(small.Chars(), small.Length());
  EXPECT_STREQ(small.Chars(), "abab");
  ByteString big(Text(kCap + 5, 'z').c_str());
  big.Append(big.Chars(), big.Length());  // realloc may move the block under the source
  EXPECT_EQ(Text(2 * (kCap + 5), 'z'), big.Chars());
}

TEST(ByteStringPieces, LeftRightClamp) {
  const ByteString abc("abc");
  EXPECT_STREQ(abc.Left(100).Chars(), "abc");
  EXPECT_STREQ(abc.Left(0).Chars(), "");
  EXPECT_STREQ(abc.Right(0).Chars(), "");
  EXPECT_STREQ(abc.Right(2).Chars(), "bc");
  EXPECT_STREQ(abc.Right(100).Chars(), "abc");
  const ByteString longer("0123456789abcdefghij");
  EXPECT_STREQ(longer.Left(10).Chars(), "0123456789");
  EXPECT_STREQ(longer.Right(3).Chars(), "hij");
}

TEST(ByteStringPieces, FindAndReverseFind) {
  EXPECT_EQ(ByteString("DT_Plugins=abc").Find('='), 10);
  EXPECT_EQ(ByteString("abc").Find('='), -1);
  EXPECT_EQ(ByteString("a:b:c").ReverseFind(':'), 3);
  EXPECT_EQ(ByteString("").ReverseFind(':'), -1);
  EXPECT_EQ(ByteString("urn:oxa:xmlcompiler:insertlayout").ReverseFind(':'), 19);
}

TEST(ByteStringCompare, UnsignedBytesPrefixFirst) {
  EXPECT_EQ(ByteString::Compare("ab", "abc"), -1);
  EXPECT_EQ(ByteString::Compare("b", "abc"), 1);
  EXPECT_EQ(ByteString::Compare("abc", "abc"), 0);
  EXPECT_EQ(ByteString::Compare("", ""), 0);
  EXPECT_EQ(ByteString::Compare("z", "\xE9"), -1);
  EXPECT_EQ(ByteString::Compare("Z", "a"), -1);
  EXPECT_TRUE(ByteString("x") == "x");
  EXPECT_FALSE(ByteString("x") == ByteString("xy"));
}

TEST(ByteStringEmpty, EmptyReleasesTheBlock) {
  ByteString a(Text(20).c_str());
  ByteString b(a);
  b.Empty();
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_FALSE(IsHeap(b));
  EXPECT_EQ(Holders(a), 1u);
}

}  // namespace
}  // namespace oxa
