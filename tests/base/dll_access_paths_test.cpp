// DllAccessPaths: list parsing, normalisation, replacement, entry blocks.
#include "base/dll_access_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace oxa {
namespace {

// Builds a list of zero-terminated texts ended by an empty text.
std::string List(std::initializer_list<std::string> texts) {
  std::string list;
  for (const auto& t : texts) list += t + '\0';
  return list + '\0';
}

std::string PathOf(const DllAccessPaths& paths, const char* name) {
  ByteString path;
  return paths.Lookup(name, &path) ? path.Chars() : "<missing>";
}

TEST(DllAccessPathsTest, EmptyListsStoreNothing) {
  DllAccessPaths paths;
  EXPECT_EQ(paths.SetDLLAccessPath(nullptr), 0);
  EXPECT_EQ(paths.SetDLLAccessPath(""), 0);
  EXPECT_EQ(paths.Paths().GetCount(), 0);
  EXPECT_EQ(paths.Paths().GetBlockCount(), 0);
}

TEST(DllAccessPathsTest, NormalisesAndSkipsUnusableTexts) {
  DllAccessPaths paths;
  const std::string list =
      List({"DT_Plugins=C:\\oxa\\plugins", "no equals sign", "DT_Codecs=C:\\oxa\\codecs\\",
            "DT_Common=", "=C:\\root", "A=B=C"});
  EXPECT_EQ(paths.SetDLLAccessPath(list.c_str()), 0);
  EXPECT_EQ(PathOf(paths, "DT_Plugins"), "C:\\oxa\\plugins\\");
  EXPECT_EQ(PathOf(paths, "DT_Codecs"), "C:\\oxa\\codecs\\");
  EXPECT_EQ(PathOf(paths, "DT_Common"), "<missing>") << "an empty path is ignored";
  EXPECT_EQ(PathOf(paths, ""), "C:\\root\\");
  EXPECT_EQ(PathOf(paths, "A"), "B=C\\");
  EXPECT_EQ(PathOf(paths, "no equals sign"), "<missing>");
  EXPECT_EQ(paths.Paths().GetCount(), 4);
}

TEST(DllAccessPathsTest, TextTooLongForAByteStringIsSkipped) {
  DllAccessPaths paths;
  // One text of 16,777,216 bytes between two usable ones; the one of exactly
  // 16,777,215 bytes still fits, with room for its final backslash.
  const std::string tooLong = "Huge=" + std::string(ByteString::kMaxLength + 1 - 5, 'x');
  const std::string longest = "Long=" + std::string(ByteString::kMaxLength - 5, 'y');
  const std::string list = List({"Before=C:\\a", tooLong, "After=C:\\b", longest, "Last=C:\\c"});
  EXPECT_EQ(paths.SetDLLAccessPath(list.c_str()), 0);
  EXPECT_EQ(PathOf(paths, "Before"), "C:\\a\\");
  EXPECT_EQ(PathOf(paths, "Huge"), "<missing>");
  EXPECT_EQ(PathOf(paths, "After"), "C:\\b\\") << "the texts after it are still read";
  EXPECT_EQ(PathOf(paths, "Long").size(), ByteString::kMaxLength - 5 + 1);
  EXPECT_EQ(PathOf(paths, "Last"), "C:\\c\\");
  EXPECT_EQ(paths.Paths().GetCount(), 4);
}

TEST(DllAccessPathsTest, SameNameReplacesNamesAreCaseSensitive) {
  DllAccessPaths paths;
  paths.SetDLLAccessPath(List({"DT_Plugins=first", "dt_plugins=other"}).c_str());
  paths.SetDLLAccessPath(List({"DT_Plugins=second"}).c_str());
  EXPECT_EQ(PathOf(paths, "DT_Plugins"), "second\\");
  EXPECT_EQ(PathOf(paths, "dt_plugins"), "other\\");
  EXPECT_EQ(paths.Paths().GetCount(), 2);
}

TEST(DllAccessPathsTest, EleventhNameTakesASecondBlock) {
  DllAccessPaths paths;
  for (int i = 0; i < 10; ++i) {
    paths.StorePath(ByteString(("DT_Type" + std::to_string(i)).c_str()), "dir");
  }
  EXPECT_EQ(paths.Paths().GetBlockCount(), 1);
  paths.StorePath("DT_Type10", "dir");
  EXPECT_EQ(paths.Paths().GetBlockCount(), 2);
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(PathOf(paths, ("DT_Type" + std::to_string(i)).c_str()), "dir\\");
  }
}

TEST(StringMapTest, HashUsesSignedBytes) {
  EXPECT_EQ(StringMap::Hash(""), 0u);
  EXPECT_EQ(StringMap::Hash("ab"), 97u * 33 + 98);
  EXPECT_EQ(StringMap::Hash("\xFF"), 0xFFFFFFFFu) << "0xFF enters as -1";
}

TEST(StringMapTest, RemoveAllEmptiesAndReuses) {
  StringMap map(2);
  map.ValueAt("k1") = "a long value that lives on the heap";
  map.ValueAt("k2") = "v2";
  map.ValueAt("k3") = "v3";
  EXPECT_EQ(map.GetBlockCount(), 2);
  map.RemoveAll();
  EXPECT_EQ(map.GetCount(), 0);
  EXPECT_EQ(map.GetBlockCount(), 0);
  EXPECT_EQ(map.Lookup("k1"), nullptr);
  map.ValueAt("k1") = "again";
  EXPECT_STREQ(map.Lookup("k1")->Chars(), "again");
}

}  // namespace
}  // namespace oxa
