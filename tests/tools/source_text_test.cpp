// SourceText: a document's lines and positions as the parser counts them,
// in every encoding it reads.
#include "diagnostics/source_text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace oxa::tools {
namespace {

const std::uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

TEST(SourceTextTest, LinesEndAtLfCrAndCrLfAsExpatCountsThem) {
  const std::string doc = "<a>\r\n<b/>\r<c/>\n\n<d/>";
  SourceText text(Bytes(doc), doc.size());
  ASSERT_TRUE(text.Line(5));
  EXPECT_EQ(*text.Line(1), U"<a>");
  EXPECT_EQ(*text.Line(2), U"<b/>");
  EXPECT_EQ(*text.Line(3), U"<c/>");
  EXPECT_EQ(*text.Line(4), U"");
  EXPECT_EQ(*text.Line(5), U"<d/>");
  EXPECT_FALSE(text.Line(6));
  EXPECT_EQ(text.End(), (Position{5, 5}));
  EXPECT_EQ(text.PositionOf(doc.find("<c")), (Position{3, 1}));
  // Walking over line ends, both ways.
  Position at{1, 4};
  EXPECT_EQ(text.At(at), U'\n');
  ASSERT_TRUE(text.Next(&at));
  EXPECT_EQ(at, (Position{2, 1}));
  ASSERT_TRUE(text.Previous(&at));
  EXPECT_EQ(at, (Position{1, 4}));
}

TEST(SourceTextTest, ColumnsCountCodePointsInEveryEncoding) {
  // "é€𝄞<" in UTF-8, UTF-16 (both orders, with and without a byte order
  // mark) and, without the astral character, windows-1252.
  const std::string utf8 = "<?xml version=\"1.0\"?>\n\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E<";
  SourceText a(Bytes(utf8), utf8.size());
  EXPECT_EQ(a.Encoding(), "UTF-8");
  EXPECT_EQ(*a.Line(2), U"é€𝄞<");
  EXPECT_EQ(a.PositionOf(utf8.size() - 1), (Position{2, 4}));
  EXPECT_EQ(a.BytesAt({2, 2}), "\xE2\x82\xAC");

  std::string le = "\xFF\xFE";
  for (char16_t u : std::u16string(u"<a>\né€\U0001D11E<")) {
    le += static_cast<char>(u & 0xFF);
    le += static_cast<char>(u >> 8);
  }
  SourceText b(Bytes(le), le.size());
  EXPECT_EQ(b.Encoding(), "UTF-16LE");
  EXPECT_EQ(*b.Line(1), U"<a>");  // the byte order mark is no character
  EXPECT_EQ(*b.Line(2), U"é€𝄞<");
  EXPECT_EQ(b.PositionOf(le.size() - 2), (Position{2, 4}));

  std::string be;  // no byte order mark: found from "<?"
  for (char16_t u : std::u16string(u"<?xml version=\"1.0\"?>\n€<")) {
    be += static_cast<char>(u >> 8);
    be += static_cast<char>(u & 0xFF);
  }
  SourceText c(Bytes(be), be.size());
  EXPECT_EQ(c.Encoding(), "UTF-16BE");
  EXPECT_EQ(*c.Line(2), U"€<");

  const std::string cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n\xE9\x80<";
  SourceText d(Bytes(cp1252), cp1252.size());
  EXPECT_TRUE(d.Declared());
  EXPECT_EQ(*d.Line(2), U"é€<");
}

TEST(SourceTextTest, BytesThatAreNoCharacterReadAsReplacements) {
  // Shift_JIS: a valid pair, a refused pair, then a lead byte ended by a quote.
  const std::string sjis = "<?xml version='1.0' encoding='Shift_JIS'?>\n\x93\xFA\x81\x7F\xF0\"";
  SourceText text(Bytes(sjis), sjis.size());
  EXPECT_EQ(*text.Line(2), U"日\uFFFD\x7F\uFFFD\"");
  EXPECT_EQ(text.BytesAt({2, 2}), "\x81\x7F");
  EXPECT_EQ(text.BytesAt({2, 4}), "\xF0");
  // An undeclared document that is no UTF-8, and one read as another encoding.
  const std::string latin = "<a>Caf\xE9</a>";
  const SourceText guess(Bytes(latin), latin.size());
  EXPECT_FALSE(guess.Declared());
  EXPECT_EQ(*guess.Line(1), U"<a>Caf\uFFFD</a>");
  const std::unique_ptr<SourceText> reread = guess.ReadAs("windows-1252");
  ASSERT_TRUE(reread);
  EXPECT_EQ(*reread->Line(1), U"<a>Café</a>");
  EXPECT_EQ(reread->Encoding(), "windows-1252");
  EXPECT_EQ(*guess.Line(1), U"<a>Caf\uFFFD</a>") << "the first reading stands";
  EXPECT_FALSE(guess.ReadAs("x-no-such-encoding"));
}

// What an editor needs: text it has decoded, and columns in the units it counts.
TEST(SourceTextTest, DecodedTextAndColumnsInUtf16AndUtf8) {
  const std::unique_ptr<SourceText> text =
      SourceText::FromText("<a v=\"\xC3\xA9\xF0\x9D\x84\x9E<\"/>\r\nx");
  EXPECT_TRUE(text->Declared());
  EXPECT_EQ(text->Encoding(), "UTF-8");
  EXPECT_EQ(*text->Line(1), U"<a v=\"é𝄞<\"/>");
  EXPECT_EQ(*text->Line(2), U"x");
  // The '<' after the astral character: column 9 in code points, 10 in
  // UTF-16 units (a surrogate pair), 13 in UTF-8 bytes.
  const Position at{1, 9};
  EXPECT_EQ(text->At(at), U'<');
  EXPECT_EQ(text->ColumnIn(at, ColumnUnit::kCodePoint), 9u);
  EXPECT_EQ(text->ColumnIn(at, ColumnUnit::kUtf16), 10u);
  EXPECT_EQ(text->ColumnIn(at, ColumnUnit::kUtf8), 13u);
  EXPECT_EQ(text->FromColumn(1, 10, ColumnUnit::kUtf16), at);
  EXPECT_EQ(text->FromColumn(1, 13, ColumnUnit::kUtf8), at);
  // Inside a character: that character; past the line's end: the end.
  EXPECT_EQ(text->FromColumn(1, 9, ColumnUnit::kUtf16), (Position{1, 8}));
  EXPECT_EQ(text->FromColumn(1, 8, ColumnUnit::kUtf8), (Position{1, 7}));
  EXPECT_EQ(text->FromColumn(1, 99, ColumnUnit::kUtf16), (Position{1, 13}));
  EXPECT_EQ(text->ColumnIn({1, 99}, ColumnUnit::kUtf8), 17u);
}

// One text read by many threads at once: every reader is const and caches
// nothing, so all see the same (run under the sanitizers, a race would show).
TEST(SourceTextTest, SharedReadOnlyAcrossThreads) {
  std::string doc = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<r>";
  for (int i = 0; i < 2000; ++i) doc += "\n<e v=\"\x93\xFA\x96\x7B\"/>";
  doc += "\n</r>";
  const SourceText text(Bytes(doc), doc.size());
  std::vector<std::thread> readers;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&, t] {
      for (std::uint32_t line = 3; line < 2003; line += 7) {
        if (*text.Line(line) != U"<e v=\"日本\"/>") ++wrong[t];
        if (text.BytesAt({line, 7}) != "\x93\xFA") ++wrong[t];
        Position p{line, 9};
        if (!text.Next(&p) || p != Position{line, 10}) ++wrong[t];
      }
    });
  }
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
  EXPECT_EQ(text.PositionOf(doc.size() - 1), (Position{2003, 4}));
}

}  // namespace
}  // namespace oxa::tools
