// The double-byte functions on the platform's own answers, with no model.
//
// CTest runs this suite in the default locale and, for the Windows build
// under Wine, again in a Japanese one, where the active code page is cp932
// and GetSystemMetrics and CharNextA answer for it. OXA_EXPECT_DOUBLE_BYTE
// (0 or 1, default 0) tells the suite which of the two paths it must see, so
// that a locale the platform ignored fails instead of passing the wrong way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "base/byte_string.h"
#include "base/dll_access_paths.h"
#include "base/double_byte.h"
#include "compiler/tree_builder.h"

namespace oxa {
namespace {

// 表 in cp932 is 0x95 0x5C: its trail byte is a backslash. 0x83 0x3D is a
// character whose trail byte is '=', 0x81 0x3A one whose trail byte is ':'.
constexpr char kHyou[] = "\x95\x5C";

bool ExpectDoubleByte() {
  const char* value = std::getenv("OXA_EXPECT_DOUBLE_BYTE");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

class CodePagePlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCodePageModelForTesting(nullptr); }
  const bool doubleByte_ = ExpectDoubleByte();
};

TEST_F(CodePagePlatformTest, PlatformAnswersForTheLocale) {
  EXPECT_EQ(IsDoubleByteCodePage() != 0, doubleByte_);
}

TEST_F(CodePagePlatformTest, NextCharStepsOverABackslashTrailByte) {
  const std::string text = std::string(kHyou) + "a";
  const char* p = text.c_str();
  EXPECT_EQ(NextChar(p), p + (doubleByte_ ? 2 : 1));
  EXPECT_EQ(NextChar(p + 2), p + 3);
  EXPECT_EQ(NextChar(p + 3), p + 4) << "the zero byte still advances by one";
}

TEST_F(CodePagePlatformTest, SearchesNeverStopOnATrailByte) {
  // C:\表 then \x: the only backslashes that are characters are at 2 and 5.
  const std::string path = std::string("C:\\") + kHyou + "\\x";
  const char* p = path.c_str();
  EXPECT_EQ(FindChar(p + 3, '\\'), p + (doubleByte_ ? 5 : 4));
  EXPECT_EQ(FindLastChar(p, '\\'), p + 5);
  const std::string tail = std::string("C:\\") + kHyou;
  EXPECT_EQ(FindLastChar(tail.c_str(), '\\'), tail.c_str() + (doubleByte_ ? 2 : 4));
  EXPECT_EQ(ByteString(tail.c_str()).ReverseFind('\\'), doubleByte_ ? 2 : 4);
  EXPECT_EQ(ByteString("a\x83=b").Find('='), doubleByte_ ? -1 : 2);
  EXPECT_EQ(ByteString("x:y\x81:").ReverseFind(':'), doubleByte_ ? 1 : 4);
}

TEST_F(CodePagePlatformTest, DirectiveNamesWithCp932Characters) {
  const std::string ns = CompilerNamespaceUri;
  EXPECT_TRUE(TreeBuilder::IsDirective("insertlayout"));
  EXPECT_TRUE(TreeBuilder::IsDirective((ns + ":insertlayout").c_str()));
  // A namespace of cp932 text, one whose last character has ':' as its trail
  // byte, and a local name after such a character are never the directive.
  EXPECT_FALSE(TreeBuilder::IsDirective((std::string(kHyou) + ":insertlayout").c_str()));
  EXPECT_FALSE(TreeBuilder::IsDirective((ns + "\x81:insertlayout").c_str()));
  EXPECT_FALSE(TreeBuilder::IsDirective((ns + ":\x81:insertlayout").c_str()));
}

TEST_F(CodePagePlatformTest, AccessPathsInCp932) {
  DllAccessPaths paths;
  // The name ends at the first '=' that is a character of its own; the path's
  // final backslash is judged by its last byte alone, so 表 ends it.
  const char list[] =
      "DT_Codecs=C:\\\x95\x5C\0"
      "\x83=name=D:\\dir\0";
  EXPECT_EQ(paths.SetDLLAccessPath(list), 0);
  ByteString stored;
  ASSERT_TRUE(paths.Lookup("DT_Codecs", &stored));
  EXPECT_STREQ(stored.Chars(), "C:\\\x95\x5C");
  if (doubleByte_) {
    ASSERT_TRUE(paths.Lookup("\x83=name", &stored));
    EXPECT_STREQ(stored.Chars(), "D:\\dir\\");
    EXPECT_FALSE(paths.Lookup("\x83", &stored));
  } else {
    ASSERT_TRUE(paths.Lookup("\x83", &stored));
    EXPECT_STREQ(stored.Chars(), "name=D:\\dir\\");
  }
  EXPECT_EQ(StringMap::Hash(kHyou) == StringMap::Hash("\x95\x41"), doubleByte_)
      << "only the first byte of a double-byte character enters the hash";
}

}  // namespace
}  // namespace oxa
