// xmlc's file access: the check that no output is an input, by identity and
// in work that grows with the number of files, not with its square.
#include "file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace oxa::xmlc {
namespace {

namespace fs = std::filesystem;

// An identity seam over invented files: "in/N.xml" and "out/N.xmlc" are
// distinct files unless `same` names them; every lookup is counted.
struct CountingIdentity {
  std::map<std::string, ino_t> same;  // path -> the inode it shares
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
    char pattern[] = "/tmp/xmlc-file-io-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ + "/a.xml") << "<r/>";
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(RealFilesTest, AnInputIsFoundByNameThroughDotAndThroughLinks) {
  const std::string a = dir_ + "/a.xml";
  ASSERT_EQ(link(a.c_str(), (dir_ + "/hard.xmlc").c_str()), 0);
  ASSERT_EQ(symlink(a.c_str(), (dir_ + "/soft.xmlc").c_str()), 0);
  for (const std::string& target :
       {a, dir_ + "/./a.xml", dir_ + "/hard.xmlc", dir_ + "/soft.xmlc"}) {
    const auto clash = FindTargetThatIsInput({dir_ + "/missing.xml", a}, {dir_ + "/new", target});
    ASSERT_TRUE(clash) << target;
    EXPECT_EQ(clash->first, 1u);
    EXPECT_EQ(clash->second, 1u);
  }
  EXPECT_FALSE(FindTargetThatIsInput({a, "-"}, {"-", dir_ + "/missing.xmlc"}));
}

}  // namespace
}  // namespace oxa::xmlc
