// xmlc end to end: the real plug-in module, the reference host and expat.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kXmlc = OXA_XMLC_PATH;
const std::string kSource = OXA_SOURCE_DIR;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

struct Outcome {
  int status;
  std::string out, err;
};

class XmlcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per process and test, so that two builds' suites may run at once.
    dir_ = ::testing::TempDir() + "/xmlc_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  Outcome Xmlc(const std::string& args, const std::string& stdinFile = "/dev/null") const {
    const std::string out = Path(".stdout"), err = Path(".stderr");
    const int raw =
        std::system((kXmlc + " " + args + " <" + stdinFile + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
  }

  std::string dir_;
};

TEST_F(XmlcTest, GoldenDocumentsCompileByteForByte) {
  for (const char* name : {"worked", "list", "root-only", "unaligned", "page"}) {
    const std::string golden = kSource + "/tests/golden/" + name;
    const Outcome r = Xmlc("compile " + golden + ".xml -o " + Path(name));
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(ReadFile(Path(name)), ReadFile(golden + ".xmlc")) << name;
    EXPECT_EQ(Xmlc("dump " + Path(name) + " --format chunks").status, 0);
  }
  EXPECT_EQ(ReadFile(kSource + "/tests/golden/worked.xmlc").size(), 136u);
}

TEST_F(XmlcTest, RecordedEventStreamsAreCurrent) {
  // The Windows test host replays these streams; they must be what the parser delivers now.
  for (const char* name : {"worked", "list", "root-only", "unaligned", "page", "skin"}) {
    const std::string golden = kSource + "/tests/golden/" + name;
    const std::string source =
        std::string(name) == "skin" ? kSource + "/examples/skin.xml" : golden + ".xml";
    ASSERT_EQ(Xmlc("record " + source + " -o " + Path(name)).status, 0) << name;
    EXPECT_EQ(ReadFile(Path(name)), ReadFile(golden + ".events")) << name;
    ASSERT_EQ(Xmlc("compile " + source + " -o " + Path(name) + ".xmlc").status, 0) << name;
    EXPECT_EQ(ReadFile(Path(name) + ".xmlc"), ReadFile(golden + ".xmlc")) << name;
  }
}

TEST_F(XmlcTest, ExampleDumpsAsExpected) {
  ASSERT_EQ(Xmlc("compile " + kSource + "/examples/skin.xml -o " + Path("skin.xmlc")).status, 0);
  const Outcome r = Xmlc("dump " + Path("skin.xmlc") + " --format xml");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, ReadFile(kSource + "/examples/skin.expected.xml"));
}

TEST_F(XmlcTest, Utf16AndLatin1InputsCompileLikeUtf8) {
  WriteFile(Path("utf8.xml"), "<a x=\"\xC3\xA9\xE2\x82\xAC\"/>");
  std::string utf16 = "\xFF\xFE";  // byte order mark, then UTF-16LE
  for (const char16_t c : std::u16string(u"<a x=\"\u00E9\u20AC\"/>")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  WriteFile(Path("utf16.xml"), utf16);
  WriteFile(Path("latin1.xml"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a x=\"\xE9\"/>");
  WriteFile(Path("latin1-utf8.xml"), "<a x=\"\xC3\xA9\"/>");
  for (const char* n : {"utf8", "utf16", "latin1", "latin1-utf8"}) {
    const Outcome r = Xmlc(std::string("compile ") + Path(n) + ".xml -o " + Path(n) + ".xmlc");
    ASSERT_EQ(r.status, 0) << n << ": " << r.err;
  }
  EXPECT_EQ(ReadFile(Path("utf16.xmlc")), ReadFile(Path("utf8.xmlc")));
  EXPECT_EQ(ReadFile(Path("latin1.xmlc")), ReadFile(Path("latin1-utf8.xmlc")));
}

TEST_F(XmlcTest, DirectivesInTheCompilerNamespaceOnly) {
  WriteFile(Path("ns.xml"),
            R"(<r xmlns:c="urn:oxa:xmlcompiler" xmlns:o="urn:other"><d id="L"><p/></d>)"
            R"(<t><c:insertlayout layoutid="L"/></t><u><o:insertlayout layoutid="L"/></u>)"
            R"(<v><insertlayout layoutid="L"/></v></r>)");
  ASSERT_EQ(Xmlc("compile " + Path("ns.xml") + " -o " + Path("ns.xmlc")).status, 0);
  const Outcome r = Xmlc("dump " + Path("ns.xmlc"));
  EXPECT_EQ(
      r.out,
      "<r>\n  <d id=\"L\">\n    <p/>\n  </d>\n  <t>\n    <p/>\n  </t>\n  <u>\n"
      "    <urn:other:insertlayout layoutid=\"L\"/>\n  </u>\n  <v>\n    <p/>\n  </v>\n</r>\n");
}

TEST_F(XmlcTest, MalformedDocumentsAreLocatedAndLeaveNoOutput) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<a><b></a>", ":1:9: error: mismatched tag"},
      {"", ":1:1: error: no element found"},
      {"<a>\n<b x=\"1\" x=\"2\"/></a>", ":2:10: error: duplicate attribute"},
      {"<a>&undefined;</a>", ":1:4: error: undefined entity"},
      {"<a/><b/>", ":1:5: error: junk after document element"},
  };
  int i = 0;
  for (const auto& [doc, message] : cases) {
    const std::string in = Path("bad" + std::to_string(i) + ".xml"),
                      out = Path("bad" + std::to_string(i) + ".xmlc");
    WriteFile(in, doc);
    const Outcome r = Xmlc("compile " + in + " -o " + out);
    EXPECT_EQ(r.status, 1) << doc;
    EXPECT_EQ(r.err, in + message + "\n") << doc;
    EXPECT_FALSE(Exists(out)) << doc;
    ++i;
  }
}

TEST_F(XmlcTest, FailureLeavesAnExistingTargetUntouched) {
  WriteFile(Path("bad.xml"), "<a>");
  WriteFile(Path("target.xmlc"), "previous contents");
  EXPECT_EQ(Xmlc("compile " + Path("bad.xml") + " -o " + Path("target.xmlc")).status, 1);
  EXPECT_EQ(ReadFile(Path("target.xmlc")), "previous contents");
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".target", 0), std::string::npos)
        << "temporary file left behind: " << entry.path();
  }
}

TEST_F(XmlcTest, CausesOtherThanSyntaxAreNamed) {
  WriteFile(Path("noroot.xml"), "<insertlayout layoutid=\"x\"/>");
  Outcome r = Xmlc("compile " + Path("noroot.xml") + " -o " + Path("noroot.xmlc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Path("noroot.xml") + ": error: no root element\n");

  std::string bomb = "<r><l0 id=\"0\"><x/></l0>";
  for (int k = 1; k <= 24; ++k) {
    bomb += "<l" + std::to_string(k) + " id=\"" + std::to_string(k) + "\">";
    for (int c = 0; c < 2; ++c)
      bomb += "<insertlayout layoutid=\"" + std::to_string(k - 1) + "\"/>";
    bomb += "</l" + std::to_string(k) + ">";
  }
  WriteFile(Path("bomb.xml"), bomb + "</r>");
  r = Xmlc("compile " + Path("bomb.xml") + " -o " + Path("bomb.xmlc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(": error: layout expansion over its bound"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(Path("bomb.xmlc")));
}

TEST_F(XmlcTest, BatchWithOneBadInput) {
  WriteFile(Path("one.xml"), "<one/>");
  WriteFile(Path("two.xml"), "<two>");
  WriteFile(Path("three.xml"), "<three a=\"1\"/>");
  std::filesystem::create_directories(Path("out"));
  const Outcome r = Xmlc("compile -j 2 " + Path("one.xml") + " " + Path("two.xml") + " " +
                         Path("three.xml") + " -d " + Path("out"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(Path("two.xml") + ":1:6: error: no element found"), std::string::npos)
      << r.err;
  EXPECT_TRUE(Exists(Path("out/one.xmlc")));
  EXPECT_TRUE(Exists(Path("out/three.xmlc")));
  EXPECT_FALSE(Exists(Path("out/two.xmlc")));
}

TEST_F(XmlcTest, OutputsFollowTheUmask) {
  const Outcome r = Xmlc("compile " + kSource + "/tests/golden/worked.xml -o " + Path("w.xmlc"));
  ASSERT_EQ(r.status, 0) << r.err;
  struct stat st;
  ASSERT_EQ(stat(Path("w.xmlc").c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(XmlcTest, StandardInputAndOutput) {
  const Outcome r = Xmlc("compile - -o -", kSource + "/tests/golden/worked.xml");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, ReadFile(kSource + "/tests/golden/worked.xmlc"));
}

TEST_F(XmlcTest, DumpRefusesDamagedFiles) {
  const std::string good = ReadFile(kSource + "/tests/golden/page.xmlc");
  WriteFile(Path("cut.xmlc"), good.substr(0, good.size() - 3));
  Outcome r = Xmlc("dump " + Path("cut.xmlc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind(Path("cut.xmlc") + ": offset ", 0), 0u) << r.err;
  EXPECT_TRUE(r.out.empty());
  WriteFile(Path("text.xmlc"), "<not a compiled document/>");
  EXPECT_EQ(Xmlc("dump " + Path("text.xmlc")).status, 1);
}

TEST_F(XmlcTest, UsageErrorsAndHelp) {
  EXPECT_EQ(Xmlc("").status, 2);
  EXPECT_EQ(Xmlc("frobnicate").status, 2);
  EXPECT_EQ(Xmlc("compile").status, 2);
  EXPECT_EQ(Xmlc("compile a.xml").status, 2) << "no output given";
  EXPECT_EQ(Xmlc("compile a.xml b.xml -o x").status, 2);
  EXPECT_EQ(Xmlc("compile a.xml -o x -j 0").status, 2);
  EXPECT_EQ(Xmlc("dump x --format yaml").status, 2);
  EXPECT_EQ(Xmlc("compile a/skin.xml b/skin.xml -d out").status, 2)
      << "both would write out/skin.xmlc";
  for (const char* command : {"compile", "dump", "info"}) {
    const Outcome r = Xmlc(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: xmlc " + std::string(command), 0), 0u) << r.out;
  }
  EXPECT_EQ(Xmlc("--version").out, "xmlc 0.1.0\n");
}

TEST_F(XmlcTest, InfoDescribesThePlugin) {
  const Outcome r = Xmlc("info");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("description: Xml compiler DLL\n"), std::string::npos);
  EXPECT_NE(r.out.find("package:     xmlcompiler\n"), std::string::npos);
  EXPECT_NE(r.out.find("namespace:   urn:oxa:xmlcompiler\n"), std::string::npos);
  EXPECT_NE(r.out.find("component 0: {15223CBA-F92B-4ED3-AF11-E7AD48F047A9}\n"), std::string::npos);
  EXPECT_EQ(Xmlc("info --plugin /nonexistent/deva3201.so").status, 1);
}

}  // namespace

namespace {

// Documents of hostile shape and size, generated here rather than checked in.
class HostileInputTest : public XmlcTest {
 protected:
  void Generate(const std::string& name, const std::string& head, const std::string& repeated,
                std::size_t times, const std::string& tail) {
    std::string doc = head;
    doc.reserve(head.size() + repeated.size() * times + tail.size());
    for (std::size_t i = 0; i < times; ++i) doc += repeated;
    WriteFile(Path(name), doc + tail);
  }
  std::size_t ElementsOf(const std::string& compiled) {
    const Outcome r = Xmlc("dump " + compiled + " --format tree");
    const std::size_t at = r.out.find("\ntree ");
    return at == std::string::npos ? 0 : std::stoul(r.out.substr(at + 6));
  }
};

TEST_F(HostileInputTest, MillionDeep) {
  std::string doc;
  doc.reserve(7000000);
  for (int i = 0; i < 1000000; ++i) doc += "<d>";
  for (int i = 0; i < 1000000; ++i) doc += "</d>";
  WriteFile(Path("deep.xml"), doc);
  const Outcome r = Xmlc("compile " + Path("deep.xml") + " -o " + Path("deep.xmlc"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(Path("deep.xmlc")).size(), 8u + 22 + 8 + 36u * 1000000);
  EXPECT_EQ(ElementsOf(Path("deep.xmlc")), 1000000u);
}

TEST_F(HostileInputTest, MillionSiblings) {
  Generate("wide.xml", "<r>", "<c/>", 1000000, "</r>");
  const Outcome r = Xmlc("compile " + Path("wide.xml") + " -o " + Path("wide.xmlc"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ElementsOf(Path("wide.xmlc")), 1000001u);
}

TEST_F(HostileInputTest, MillionDistinctStrings) {
  std::string doc = "<r>";
  for (int i = 0; i < 1000000; ++i) doc += "<c v=\"" + std::to_string(i) + "\"/>";
  WriteFile(Path("strings.xml"), doc + "</r>");
  const Outcome r = Xmlc("compile " + Path("strings.xml") + " -o " + Path("strings.xmlc"));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string compiled = ReadFile(Path("strings.xmlc"));
  EXPECT_EQ(compiled.substr(16, 4), std::string("\x43\x42\x0F\x00", 4)) << "1,000,003 strings";
}

TEST_F(HostileInputTest, ExpansionBombFailsQuickly) {
  std::string bomb = "<r><l0 id=\"0\"><x/><x/></l0>";
  for (int k = 1; k <= 40; ++k) {
    bomb += "<l" + std::to_string(k) + " id=\"" + std::to_string(k) + "\">";
    for (int c = 0; c < 4; ++c)
      bomb += "<insertlayout layoutid=\"" + std::to_string(k - 1) + "\"/>";
    bomb += "</l" + std::to_string(k) + ">";
  }
  ASSERT_LT(bomb.size(), 8000u);
  WriteFile(Path("bomb.xml"), bomb + "</r>");
  const Outcome r = Xmlc("compile " + Path("bomb.xml") + " -o " + Path("bomb.xmlc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("layout expansion over its bound"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(Path("bomb.xmlc")));
}

TEST_F(HostileInputTest, TwentyMegabyteValueFailsWithTheLengthError) {
  Generate("long.xml", "<r v=\"", "x", 20 * 1024 * 1024, "\"/>");
  const Outcome r = Xmlc("compile " + Path("long.xml") + " -o " + Path("long.xmlc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            Path("long.xml") +
                ": error: a name or value longer than 16,777,215 bytes, or a compiled document "
                "larger than 4 GB\n");
  EXPECT_FALSE(Exists(Path("long.xmlc")));
}

}  // namespace
