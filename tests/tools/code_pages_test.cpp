// Every single-byte code page that the C library's iconv knows under a name
// that is not a Windows code page's: a document holding every character the
// code page defines, in an attribute value and, where XML allows them, in an
// element name, compiles to the same bytes as its UTF-8 transcoding. The list
// comes from `iconv -l`; aliases with the same byte map are tried once. (The
// names of the Windows code pages mean Windows' tables; the parity check
// judges them.) The only code pages refused must be those
// expat's handler cannot take: where an ASCII character of markup is another
// character, or a byte past ASCII stands for one.
#include <expat.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <xmlcompiler/host/plugin_host.h>
#include "host/legacy_decoder.h"
#include "support/utf8.h"

namespace oxa {
namespace {

using testing::Utf8;

// Every name `iconv -l` prints.
std::vector<std::string> IconvNames() {
  std::vector<std::string> names;
  std::FILE* list = popen("iconv -l 2>/dev/null", "r");
  if (list == nullptr) return names;
  std::string word;
  for (int c; (c = std::fgetc(list)) != EOF;) {
    if (c == ',' || c == ' ' || c == '\n') {
      if (word.size() > 2 && word.compare(word.size() - 2, 2, "//") == 0)
        word.resize(word.size() - 2);
      if (!word.empty()) names.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(c);
    }
  }
  pclose(list);
  return names;
}

// Each byte's character in the code page `name` (-1: none), or empty when it
// is not a single-byte code page (some byte starts a longer sequence).
std::vector<long> ByteMap(const std::string& name) {
  const iconv_t cd = iconv_open("UTF-32LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::vector<long> map(256, -1);
  bool single = true;
  for (unsigned b = 0; b < 256 && single; ++b) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in = static_cast<char>(b);
    char* inPtr = &in;
    std::size_t inLeft = 1;
    std::array<unsigned char, 16> out{};
    char* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<std::size_t>(-1)) {
      single = errno != EINVAL;  // an incomplete sequence: a multi-byte encoding
      continue;
    }
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);  // a letter held back for a combining mark
    const std::size_t produced = out.size() - outLeft;
    if (produced == 4)
      map[b] = out[0] | out[1] << 8 | out[2] << 16 | static_cast<long>(out[3]) << 24;
    else if (produced != 0)
      single = false;  // one byte, several characters
  }
  iconv_close(cd);
  return single ? map : std::vector<long>{};
}

// Whether an XML declaration can name `name`: a letter, then letters,
// digits, '.', '_' and '-'.
bool Declarable(const std::string& name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (const char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
      return false;
  return true;
}

// Whether expat takes `doc` (UTF-8) as well-formed.
bool WellFormed(const std::string& doc) {
  const XML_Parser parser = XML_ParserCreate("UTF-8");
  const bool ok = XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok;
}

// Whether expat's unknown-encoding handler can take `map`: every printable
// ASCII character and XML's white space is itself, and no byte past ASCII
// stands for one of them (expat reads markup by byte).
bool ExpatCanTake(const std::vector<long>& map) {
  auto markup = [](long c) {
    return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r';
  };
  for (unsigned b = 0; b < 256; ++b) {
    if (b < 0x80 && markup(b) && map[b] != static_cast<long>(b)) return false;
    if (b >= 0x80 && markup(map[b])) return false;
  }
  return true;
}

TEST(CodePagesTest, EverySingleByteCodePageCompilesLikeItsUtf8) {
  std::string error;
  const auto host = host::PluginHost::Load(OXA_PLUGIN_PATH, &error);
  ASSERT_TRUE(host) << error;
  std::unique_ptr<host::CompilerSession> session;
  ASSERT_EQ(host->CreateSession(&session), kOk);

  const std::vector<std::string> names = IconvNames();
  ASSERT_GT(names.size(), 100u) << "iconv -l lists the C library's encodings";
  std::set<std::vector<long>> tried;
  std::vector<std::string> compiled, refused;
  for (const std::string& name : names) {
    if (!Declarable(name) || host::FindCodePage(name.c_str()) != nullptr) continue;
    const std::vector<long> map = ByteMap(name);
    if (map.empty() || !tried.insert(map).second) continue;
    // The characters past ASCII that the code page defines and XML allows.
    std::string legacyValue, utf8Value, legacyName = "n", utf8Name = "n";
    for (unsigned b = 0x80; b < 256; ++b) {
      if (map[b] < 0 || map[b] > 0xFFFD || (map[b] >= 0xD800 && map[b] < 0xE000)) continue;
      if (!WellFormed("<r v=\"" + Utf8(static_cast<std::uint32_t>(map[b])) + "\"/>")) continue;
      legacyValue += static_cast<char>(b);
      utf8Value += Utf8(static_cast<std::uint32_t>(map[b]));
      if (map[b] >= 0x80 && WellFormed("<n" + Utf8(static_cast<std::uint32_t>(map[b])) + "/>")) {
        legacyName += static_cast<char>(b);
        utf8Name += Utf8(static_cast<std::uint32_t>(map[b]));
      }
    }
    const std::string legacy = "<?xml version=\"1.0\" encoding=\"" + name + "\"?><r v=\"" +
                               legacyValue + "\"><" + legacyName + "/></r>";
    const std::string utf8 = "<r v=\"" + utf8Value + "\"><" + utf8Name + "/></r>";
    const auto want = session->Compile(std::vector<std::uint8_t>(utf8.begin(), utf8.end()));
    ASSERT_EQ(want.hr, kOk) << name;
    const std::vector<std::uint8_t> wanted(want.Data(), want.Data() + want.Size());
    const auto got = session->Compile(std::vector<std::uint8_t>(legacy.begin(), legacy.end()));
    if (got.hr != kOk) {
      refused.push_back(name);
      EXPECT_FALSE(ExpatCanTake(map)) << name << " is refused (" << got.parse.message << ")";
      continue;
    }
    compiled.push_back(name);
    EXPECT_EQ(std::vector<std::uint8_t>(got.Data(), got.Data() + got.Size()), wanted) << name;
  }
  EXPECT_GT(compiled.size(), 50u);
  for (const char* expected : {"TIS-620", "ISO-8859-16", "KOI8-T", "CP1125", "MAC-CYRILLIC"}) {
    bool found = false;
    for (const std::string& n : compiled) found = found || n == expected;
    // Listed under another alias when an earlier name had the same map.
    if (!found) {
      const std::vector<long> map = ByteMap(expected);
      for (const std::string& n : compiled) found = found || ByteMap(n) == map;
    }
    EXPECT_TRUE(found) << expected << " compiles";
  }
  std::string list;
  for (const std::string& n : refused) list += " " + n;
  RecordProperty("refused", list);
  std::printf("%zu distinct single-byte code pages compiled; refused:%s\n", compiled.size(),
              list.c_str());
}

}  // namespace
}  // namespace oxa
