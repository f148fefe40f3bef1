// xmlc's file access: the check that no output is an input, by identity and
// in work that grows with the number of files, not with its square.
#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace oxa::xmlc {
namespace {

namespace fs = std::filesystem;

// An identity seam over invented files: "in/N.xml" and "out/N.xmlc" are
// distinct files unless `same` names them; every lookup is counted.
struct CountingIdentity {
  std::map<std::string, std::uint64_t> same;  // path -> the file index it shares
  std::size_t calls = 0;
  IdentifyFile Seam() {
    return [this](const std::string& path, FileId* id) {
      ++calls;
      const auto found = same.find(path);
      *id = {1, found != same.end() ? found->second : std::hash<std::string>()(path)};
      return true;
    };
  }
};

std::vector<std::string> Names(const std::string& folder, const char* ext, std::size_t n) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < n; ++i) names.push_back(folder + std::to_string(i) + ext);
  return names;
}

TEST(FileIoTest, TheInputCheckLooksEachPathUpOnce) {
  std::size_t callsAt[2] = {};
  const std::size_t sizes[2] = {1000, 10000};
  for (int k = 0; k < 2; ++k) {
    CountingIdentity identity;
    const auto inputs = Names("in/", ".xml", sizes[k]);
    const auto targets = Names("out/", ".xmlc", sizes[k]);
    EXPECT_FALSE(FindTargetThatIsInput(inputs, targets, identity.Seam()));
    callsAt[k] = identity.calls;
  }
  EXPECT_EQ(callsAt[0], 2 * sizes[0]);
  EXPECT_EQ(callsAt[1], 10 * callsAt[0]) << "ten times the files, ten times the work";
}

TEST(FileIoTest, TheFirstClashingTargetIsNamedWithItsFirstInput) {
  CountingIdentity identity;
  const auto inputs = Names("in/", ".xml", 5000);
  auto targets = Names("out/", ".xmlc", 5000);
  identity.same = {{"in/7.xml", 42},
                   {"in/9.xml", 42},
                   {"out/4000.xmlc", 42},
                   {"in/3.xml", 43},
                   {"out/4999.xmlc", 43}};
  const auto clash = FindTargetThatIsInput(inputs, targets, identity.Seam());
  ASSERT_TRUE(clash);
  EXPECT_EQ(clash->first, 4000u);
  EXPECT_EQ(clash->second, 7u);
}

class RealFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = (fs::path(::testing::TempDir()) /
            ("xmlc-file-io-" + std::to_string(std::random_device()())))
               .string();
    fs::create_directories(dir_);
    std::ofstream(dir_ + "/a.xml") << "<r/>";
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(RealFilesTest, AnInputIsFoundByNameThroughDotAndThroughLinks) {
  const std::string a = dir_ + "/a.xml";
  fs::create_hard_link(a, dir_ + "/hard.xmlc");
  std::vector<std::string> targets = {a, dir_ + "/./a.xml", dir_ + "/hard.xmlc"};
  std::error_code noSymlinks;  // Windows grants symbolic links to few accounts
  fs::create_symlink(a, dir_ + "/soft.xmlc", noSymlinks);
  if (!noSymlinks) targets.push_back(dir_ + "/soft.xmlc");
  for (const std::string& target : targets) {
    const auto clash = FindTargetThatIsInput({dir_ + "/missing.xml", a}, {dir_ + "/new", target});
    ASSERT_TRUE(clash) << target;
    EXPECT_EQ(clash->first, 1u);
    EXPECT_EQ(clash->second, 1u);
  }
  EXPECT_FALSE(FindTargetThatIsInput({a, "-"}, {"-", dir_ + "/missing.xmlc"}));
}

// Names are UTF-8 whatever the system's code page: a Japanese name is
// written, read back, found by identity, and its output named in a batch.
TEST_F(RealFilesTest, NamesAreUtf8Throughout) {
  const std::string name = dir_ + "/\xE7\xAA\x93.xml";  // 窓.xml
  if (!std::ofstream(platform::PathOf(dir_ + "/\xE7\xAA\x93.probe"))) {
    // Wine names Unix files in the locale's character set: C and an
    // ungenerated ja_JP.UTF-8 have no 窓. The default-locale run uses C.UTF-8.
    std::cout << "this system cannot name a file 窓 here\n";
    return;
  }
  std::string error;
  ASSERT_TRUE(WriteAtomically(name, "<w/>", 4, &error)) << error;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadAll(name, &bytes, &error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "<w/>");
  EXPECT_TRUE(SameFile(name, dir_ + "/./\xE7\xAA\x93.xml"));
  EXPECT_FALSE(SameFile(name, dir_ + "/a.xml"));
  EXPECT_EQ(platform::Utf8Of(platform::PathOf(OutputFor(name, dir_)).filename()),
            "\xE7\xAA\x93.xmlc");
}

// A folder given as a file is named as one on every system (Windows refuses
// to open it at all); a missing file gets the system's cause.
TEST_F(RealFilesTest, AFolderIsNamedAsOne) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(ReadAll(dir_, &bytes, &error));
  EXPECT_EQ(error, "is a folder");
  EXPECT_FALSE(ReadAll(dir_ + "/missing.xml", &bytes, &error));
  EXPECT_NE(error, "is a folder");
  EXPECT_FALSE(error.empty());
}

// The output a failed input would have replaced is removed, through a
// symbolic link; a missing one, "-" and a folder are left alone.
TEST_F(RealFilesTest, AStaleOutputIsRemoved) {
  const std::string stale = dir_ + "/stale.xmlc";
  std::ofstream(stale) << "last good";
  std::string error;
  EXPECT_TRUE(RemoveStale(stale, &error)) << error;
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(RemoveStale(stale, &error)) << "a missing output is no failure";
  EXPECT_TRUE(RemoveStale("-", &error));
  EXPECT_TRUE(RemoveStale(dir_, &error));
  EXPECT_TRUE(fs::is_directory(dir_));
  std::error_code noSymlinks;  // Windows grants symbolic links to few accounts
  std::ofstream(dir_ + "/real.xmlc") << "last good";
  fs::create_symlink("real.xmlc", dir_ + "/link.xmlc", noSymlinks);
  if (noSymlinks) return;
  EXPECT_TRUE(RemoveStale(dir_ + "/link.xmlc", &error)) << error;
  EXPECT_FALSE(fs::exists(dir_ + "/real.xmlc")) << "the file the link leads to goes";
}

// A write replaces the file whole and leaves no temporary file beside it;
// one into a missing folder fails, naming the folder, and creates nothing.
TEST_F(RealFilesTest, WritesReplaceWholeAndLeaveNothingBehind) {
  const std::string target = dir_ + "/out.xmlc";
  std::string error;
  ASSERT_TRUE(WriteAtomically(target, "first, longer", 13, &error)) << error;
  ASSERT_TRUE(WriteAtomically(target, "second", 6, &error)) << error;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadAll(target, &bytes, &error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "second");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_))
    names.push_back(platform::Utf8Of(entry.path().filename()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.xml", "out.xmlc"}));
  EXPECT_FALSE(WriteAtomically(dir_ + "/missing/out.xmlc", "x", 1, &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir_ + "/missing"));
}

// A SARIF location names a file by URI: a relative name stays relative,
// and bytes outside the unreserved set are escaped.
TEST(FileUriTest, RelativeNamesStayRelative) {
  EXPECT_EQ(platform::FileUri("skins/blue skin.xml"), "skins/blue%20skin.xml");
  EXPECT_EQ(platform::FileUri("<stdin>"), "%3Cstdin%3E");
}

#ifndef _WIN32
// An absolute name is a file URI: a relative reference that starts with a
// slash would not resolve against a base.
TEST(FileUriTest, AbsoluteNamesAreFileUris) {
  EXPECT_EQ(platform::FileUri("/srv/skins/blue skin.xml"), "file:///srv/skins/blue%20skin.xml");
}
#endif

#ifdef _WIN32
// On Windows a drive path is a file URI, with forward slashes; a UNC name
// keeps its server as the URI's authority.
TEST(FileUriTest, WindowsPathsAreFileUris) {
  EXPECT_EQ(platform::FileUri("C:\\skins\\blue skin.xml"), "file:///C:/skins/blue%20skin.xml");
  EXPECT_EQ(platform::FileUri("d:/a.xml"), "file:///d:/a.xml");
  EXPECT_EQ(platform::FileUri("\\\\server\\share\\a.xml"), "file://server/share/a.xml");
  EXPECT_EQ(platform::FileUri("skins\\a.xml"), "skins/a.xml");
}
#endif

}  // namespace
}  // namespace oxa::xmlc
