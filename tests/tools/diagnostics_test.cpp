// The findings engine and its text renderer at their own seam: documents
// compiled in-process, the records the engine makes of them, and the lines
// the renderer writes. Grouped by what they catch: malformed markup
// explained, the compiler's findings placed, encodings read, the policy, and
// the excerpts.
#include "diagnostics/diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "diagnostics/finding_kinds.h"
#include "render/text.h"
#include "support/compiler_fixture.h"

namespace oxa::tools {
namespace {

// One document compiled and diagnosed, as xmlc check does it.
class Diagnosed {
 public:
  explicit Diagnosed(const std::string& document, const std::string& systemCodePage = "")
      : bytes_(document) {
    static fuzzing::CompilerFixture fixture;
    result_ = fuzzing::Compile(fixture, Bytes(), bytes_.size());
    source_ = std::make_unique<SourceText>(Bytes(), bytes_.size());
    diagnosis_ = Diagnose(CompilationOf(result_), *source_, {systemCodePage});
    for (Record& r : diagnosis_.records) r.file = "t.xml";
  }

  const std::vector<Record>& Records() const { return diagnosis_.records; }
  const Record& Only() const {
    EXPECT_EQ(diagnosis_.records.size(), 1u) << Text();
    return diagnosis_.records.at(0);
  }
  const SourceText& Source() const { return diagnosis_.TextFor(*source_); }
  std::string Text() const { return RenderText(diagnosis_.records, &Source(), false); }
  HResult Hr() const { return result_.hr; }

 private:
  const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(bytes_.data()); }
  std::string bytes_;
  host::CompilerSession::Result result_;
  std::unique_ptr<SourceText> source_;
  Diagnosis diagnosis_;
};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Malformed markup: the mistake named where it is, with a certain mend.
TEST(EngineTest, MalformedMarkupIsExplainedWithCertainFixIts) {
  const Diagnosed amp("<skin>\n  <label text=\"Rock & Roll\"/>\n</skin>\n");
  const Record& r = amp.Only();
  EXPECT_TRUE(r.error);
  EXPECT_EQ(r.kind, kMalformedXml);
  EXPECT_EQ(r.at, (Position{2, 21}));
  ASSERT_EQ(r.fixits.size(), 1u);
  EXPECT_EQ(r.fixits[0].WhatItDoes(), FixIt::Action::kReplace);
  EXPECT_TRUE(r.fixits[0].certain);
  EXPECT_EQ(r.fixits[0].replacement, "&amp;");

  const Diagnosed unclosed("<skin>\n  <panel>\n");
  const Record& u = unclosed.Only();
  EXPECT_TRUE(Has(u.message, "the document ends before \"<panel>\" and \"<skin>\" are closed"))
      << u.message;
  ASSERT_EQ(u.fixits.size(), 1u);
  EXPECT_EQ(u.fixits[0].WhatItDoes(), FixIt::Action::kInsert);
  EXPECT_EQ(u.fixits[0].replacement, "</panel></skin>\n");
  EXPECT_EQ(u.notes.size(), 2u);

  // Only white space before a misplaced declaration: deleting it mends the document.
  const Diagnosed declaration("\n\n<?xml version=\"1.0\"?><r/>");
  ASSERT_EQ(declaration.Only().fixits.size(), 1u);
  EXPECT_EQ(declaration.Only().fixits[0].WhatItDoes(), FixIt::Action::kDelete);
  EXPECT_TRUE(Has(declaration.Text(), "t.xml:1:1: note: delete from here up to 3:1\n"))
      << declaration.Text();
}

// The compiler's findings at the elements they name; the nearest id is a suggestion.
TEST(EngineTest, CompilerFindingsArePlacedAndGuessesAreSuggestions) {
  const Diagnosed skin(
      "<skin>\n  <layout id=\"transport\"><b/></layout>\n"
      "  <insertlayout layoutid=\"transprot\"/>\n  <insertlayout c:layoutid=\"transport\" "
      "xmlns:c=\"urn:x\"/>\n</skin>\n");
  ASSERT_EQ(skin.Records().size(), 2u) << skin.Text();
  const Record& unknown = skin.Records()[0];
  EXPECT_EQ(unknown.kind, "unknown-layout");
  EXPECT_FALSE(unknown.error);
  EXPECT_EQ(unknown.at, (Position{3, 3}));
  ASSERT_EQ(unknown.fixits.size(), 1u);
  EXPECT_FALSE(unknown.fixits[0].certain);
  EXPECT_EQ(unknown.fixits[0].replacement, "transport");
  EXPECT_EQ(unknown.notes.at(0).at, (Position{2, 3}));
  // A prefixed layoutid: renaming it is certain.
  const Record& prefixed = skin.Records()[1];
  EXPECT_EQ(prefixed.kind, "missing-layoutid");
  ASSERT_EQ(prefixed.fixits.size(), 1u);
  EXPECT_TRUE(prefixed.fixits[0].certain);
  EXPECT_EQ(prefixed.fixits[0].start, (Position{4, 17}));
  EXPECT_EQ(prefixed.fixits[0].end, (Position{4, 27}));
}

// The encoding: an undeclared document read in the one its bytes name,
// the system's code page weighing in; a declaration the bytes contradict.
TEST(EngineTest, EncodingEvidenceChoosesTheReading) {
  const std::string cafe = "<r v=\"Caf\xE9 cr\xE8me\"/>";
  const Diagnosed withCodePage(cafe, "CP1252");
  const Record& r = withCodePage.Only();
  EXPECT_EQ(r.kind, kBadEncoding);
  EXPECT_EQ(withCodePage.Source().Encoding(), "windows-1252");
  EXPECT_EQ(r.at, (Position{1, 10})) << "columns count the characters of the reading";
  EXPECT_TRUE(Has(withCodePage.Text(), "1 | <r v=\"Café crème\"/>")) << withCodePage.Text();
  ASSERT_EQ(r.fixits.size(), 1u);
  EXPECT_EQ(r.fixits[0].WhatItDoes(), FixIt::Action::kInsert);
  EXPECT_EQ(r.fixits[0].replacement, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n");

  // Declared windows-1252, written in UTF-8: a warning, and a suggestion.
  const Diagnosed mismatch(
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<r v=\"\xC3\xA9\"/>");
  const Record& w = mismatch.Only();
  EXPECT_EQ(w.kind, kEncodingMismatch);
  EXPECT_FALSE(w.error);
  ASSERT_EQ(w.fixits.size(), 1u);
  EXPECT_FALSE(w.fixits[0].certain);
  EXPECT_EQ(w.fixits[0].replacement, "UTF-8");
}

// A declaration the bytes contradict where a byte is refused: the one byte
// named (not the ASCII after it), the text read in what the bytes are in,
// and the declaration mended; certain where the evidence is.
TEST(EngineTest, ARefusedByteNamesTheEncodingTheBytesAreIn) {
  const std::string zurueck =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<b t=\"Zur\xFC"
      "ck\"/>";
  for (const char* page : {"", "CP1252"}) {
    const Diagnosed d(zurueck, page);
    const Record& r = d.Only();
    EXPECT_EQ(r.kind, kBadEncoding);
    EXPECT_TRUE(Has(r.message, "byte 0xFC has no character in UTF-8")) << r.message;
    EXPECT_TRUE(Has(r.message, "windows-1252")) << r.message;
    EXPECT_EQ(d.Source().Encoding(), "windows-1252");
    EXPECT_TRUE(Has(d.Text(),
                    "2 | <b t=\"Zur\xC3\xBC"
                    "ck\"/>"))
        << d.Text();
    ASSERT_EQ(r.fixits.size(), 1u);
    EXPECT_EQ(r.fixits[0].replacement, "windows-1252");
    EXPECT_EQ(r.fixits[0].certain, *page != 0) << "the system's code page settles it";
  }
  const Diagnosed utf8(
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<s l=\"\xC3\xA4 "
      "\xE9\x9F\xB3\xE9\x87\x8F\"/>");
  const Record& r = utf8.Only();
  EXPECT_TRUE(Has(r.message, "byte 0x8F has no character in windows-1252")) << r.message;
  EXPECT_TRUE(Has(r.message, "the document is UTF-8")) << r.message;
  EXPECT_EQ(r.at, (Position{2, 10}));
  ASSERT_EQ(r.fixits.size(), 1u);
  EXPECT_TRUE(r.fixits[0].certain);
  EXPECT_EQ(r.fixits[0].replacement, "UTF-8");
  EXPECT_TRUE(Has(utf8.Text(), "2 | <s l=\"\xC3\xA4 \xE9\x9F\xB3\xE9\x87\x8F\"/>")) << utf8.Text();
}

// A few accented letters are no multi-byte text, though Shift_JIS, GBK and
// Big5 each read "\xE4r" as one character.
TEST(EngineTest, AccentedLettersAreNoMultiByteText) {
  const Diagnosed d("<s l=\"Lautst\xE4rke\"/>");
  EXPECT_TRUE(Has(d.Only().message, "likely windows-1252")) << d.Only().message;
  EXPECT_FALSE(Has(d.Only().message, "Shift_JIS")) << d.Only().message;
  EXPECT_TRUE(Has(d.Text(), "1 | <s l=\"Lautst\xC3\xA4rke\"/>")) << d.Text();
}

// What the policy shows, and what it makes errors.
TEST(EngineTest, PolicyHidesAndPromotes) {
  const Diagnosed dropped("<r>text</r>");
  std::vector<Record> records = dropped.Records();
  ASSERT_EQ(records.size(), 1u);
  WarningPolicy policy;
  std::string error;
  ASSERT_TRUE(policy.Apply("error=text-dropped", "-W", &error));
  ApplyPolicy(policy, &records);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(AnyError(records));
  EXPECT_TRUE(Has(RenderText(records, &dropped.Source(), false), "[-Werror=text-dropped]"));
  ASSERT_TRUE(policy.Apply("no-text-dropped", "-W", &error));
  records = dropped.Records();
  ApplyPolicy(policy, &records);
  EXPECT_TRUE(records.empty());
}

// A line too long for a terminal: a window around the column, each cut
// marked, the caret and the fix-it inside it.
TEST(RenderTextTest, LongLinesAreShownAsAWindowAroundTheColumn) {
  const std::string line =
      "<r v=\"" + std::string(2500, 'x') + " & " + std::string(2500, 'y') + "\"/>";
  const Diagnosed minified(line);
  const Record& r = minified.Only();
  EXPECT_EQ(r.at, (Position{1, 2508}));
  const std::string text = minified.Text();
  const std::size_t shown = text.find("    1 | ...");
  ASSERT_NE(shown, std::string::npos) << text;
  const std::size_t end = text.find('\n', shown);
  const std::string excerpt = text.substr(shown, end - shown);
  EXPECT_EQ(excerpt.substr(excerpt.size() - 3), "...");
  EXPECT_EQ(excerpt.size(), std::string("    1 | ").size() + 3 + kExcerptWidth + 3);
  // The caret under the '&', the replacement under it.
  const std::size_t amp = excerpt.find('&');
  const std::size_t caretLine = end + 1;
  const std::string caret = text.substr(caretLine, text.find('\n', caretLine) - caretLine);
  EXPECT_EQ(caret.find('^'), amp) << text;
  const std::size_t fixLine = text.find('\n', caretLine) + 1;
  EXPECT_EQ(text.substr(fixLine, text.find('\n', fixLine) - fixLine).find("&amp;"), amp);
}

TEST(RenderTextTest, WideCharactersAndTabsKeepTheCaretUnderItsCharacter) {
  const Diagnosed wide("<r v=\"\xE5\x86\x8D\xE7\x94\x9F\t&\"/>");
  EXPECT_TRUE(Has(wide.Text(),
                  "    1 | <r v=\"\xE5\x86\x8D\xE7\x94\x9F\t&\"/>\n"
                  "      |           \t^\n"))
      << wide.Text();
}

// One text diagnosed by several threads at once gives each the same records.
TEST(EngineTest, OneTextServesSeveralThreads) {
  static fuzzing::CompilerFixture fixture;
  const std::string doc = "<skin>\n  <a>text</a>\n  <b>\n</skin>\n";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(doc.data());
  const host::CompilerSession::Result result = fuzzing::Compile(fixture, bytes, doc.size());
  const SourceText source(bytes, doc.size());
  std::vector<std::string> texts(3);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < texts.size(); ++t) {
    threads.emplace_back([&, t] {
      const Diagnosis d = Diagnose(CompilationOf(result), source, {});
      texts[t] = RenderText(d.records, &d.TextFor(source), false);
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_TRUE(Has(texts[0], ":3:3: note: \"<b>\" starts here")) << texts[0];
  EXPECT_EQ(texts[1], texts[0]);
  EXPECT_EQ(texts[2], texts[0]);
}

}  // namespace
}  // namespace oxa::tools
