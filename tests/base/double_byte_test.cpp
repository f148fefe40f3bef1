// Double-byte aware stepping and searching, under a Shift-JIS model.
#include "base/double_byte.h"

#include <gtest/gtest.h>

#include "base/byte_string.h"
#include "base/dll_access_paths.h"

namespace oxa {
namespace {

bool IsShiftJisLead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

const char* ShiftJisNext(const char* p) {
  if (*p == '\0') return p;
  if (IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != '\0') return p + 2;
  return p + 1;
}

const CodePageModel kShiftJis = {true, &ShiftJisNext};
const CodePageModel kSingleByte = {false, &ShiftJisNext};

class DoubleByteTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCodePageModelForTesting(nullptr); }
};

// 0x95 0x5C is one Shift-JIS character whose trail byte is '\\' (0x5C); 0x83 0x3D
// one whose trail byte is '='; 0x81 0x3A one whose trail byte is ':'.
TEST_F(DoubleByteTest, TrailBytesNeverMatch) {
  SetCodePageModelForTesting(&kShiftJis);
  EXPECT_NE(IsDoubleByteCodePage(), 0);
  EXPECT_EQ(ByteString("\x83=").Find('='), -1);
  EXPECT_EQ(ByteString("a\x83=b").Find('='), -1);
  EXPECT_EQ(ByteString("a\x83=b=c").Find('='), 4);
  EXPECT_EQ(ByteString("x:y\x81:").ReverseFind(':'), 1);
  EXPECT_EQ(FindChar("", '='), nullptr);
  EXPECT_EQ(FindChar(nullptr, '='), nullptr);
  EXPECT_EQ(FindLastChar("", ':'), nullptr);
}

TEST_F(DoubleByteTest, NextCharStepsWholeCharacters) {
  SetCodePageModelForTesting(&kShiftJis);
  const char text[] =
      "\x95\x5C"
      "a";
  EXPECT_EQ(NextChar(text), text + 2);
  EXPECT_EQ(NextChar(text + 2), text + 3);
  EXPECT_EQ(NextChar(text + 3), text + 4) << "the zero byte still advances by one";
  EXPECT_EQ(NextChar(nullptr), nullptr);
  const char lone[] = "\x95";
  EXPECT_EQ(NextChar(lone), lone + 1) << "a lead byte before the terminator is one character";
}

TEST_F(DoubleByteTest, SingleByteModelMatchesEveryByte) {
  SetCodePageModelForTesting(&kSingleByte);
  EXPECT_EQ(IsDoubleByteCodePage(), 0);
  EXPECT_EQ(ByteString("a\x83=b").Find('='), 2);
  const char text[] = "\x95\x5C";
  EXPECT_EQ(NextChar(text), text + 1);
}

TEST_F(DoubleByteTest, AccessPathKeepsBackslashTrailByteRule) {
  SetCodePageModelForTesting(&kShiftJis);
  // The final-backslash test looks at the last byte only, so a directory
  // ending in 0x95 0x5C is taken to end in a backslash already.
  DllAccessPaths paths;
  paths.SetDLLAccessPath("DT_Codecs=C:\\\x95\x5C\0\0");
  ByteString stored;
  ASSERT_TRUE(paths.Lookup("DT_Codecs", &stored));
  EXPECT_STREQ(stored.Chars(), "C:\\\x95\x5C");
  // The hash takes only the first byte of each double-byte character.
  EXPECT_EQ(StringMap::Hash("\x95\x5C"), StringMap::Hash("\x95\x41"));
}

TEST_F(DoubleByteTest, PlatformAnswerIsCachedUntilModelChanges) {
  SetCodePageModelForTesting(nullptr);
  const std::int32_t first = IsDoubleByteCodePage();
  EXPECT_GE(first, 0);
  EXPECT_EQ(IsDoubleByteCodePage(), first);
}

}  // namespace
}  // namespace oxa
