// The reader of compiled documents: what the writer produces opens and reads
// back exactly; truncations and corruptions are refused with the offset of
// the fault, and nothing is read outside the bytes (checked under ASan).
#include <xmlcompiler/format/document_reader.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "format/compiled_format.h"
#include "support/chain_document.h"
#include "support/compile_events.h"

namespace oxa::reader {
namespace {

std::vector<std::uint8_t> Compiled(const std::string& markup) {
  const auto result = testing::CompileMarkup(markup);
  EXPECT_EQ(result.hr, kOk) << markup;
  return result.bytes;
}

bool Opens(const std::vector<std::uint8_t>& bytes, ReadError* error = nullptr) {
  Document doc;
  return Document::Open(bytes.data(), bytes.size(), &doc, error);
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  format::StoreUInt32(bytes.data() + at, value);
}

// Reads every part of an opened document through the API and checks that the
// ways of reaching elements agree; returns the elements reached by walking
// children from the root.
std::uint32_t ReadEverything(const Document& doc) {
  for (std::uint32_t i = 0; i < doc.StringCount(); ++i) EXPECT_EQ(doc.FindString(doc.String(i)), i);
  std::uint32_t inOrder = 0;
  for (const Element& e : doc.Elements()) {
    ++inOrder;
    EXPECT_LT(e.NameIndex(), doc.StringCount());
    for (std::uint32_t a = 0; a < e.AttributeCount(); ++a) {
      std::string_view value;
      EXPECT_TRUE(e.FindAttribute(e.AttributeName(a), &value));
      EXPECT_EQ(value, e.AttributeValue(a));
    }
  }
  EXPECT_EQ(inOrder, doc.ElementCount());
  std::uint32_t walked = 0;
  std::vector<Element> pending{doc.Root()};
  while (!pending.empty()) {
    const Element e = pending.back();
    pending.pop_back();
    ++walked;
    std::uint32_t i = 0;
    for (const Element& child : e.Children()) {
      EXPECT_EQ(child, e.Child(i++));
      pending.push_back(child);
    }
    EXPECT_EQ(i, e.ChildCount());
    EXPECT_FALSE(e.Child(i));
  }
  return walked;
}

TEST(DocumentReaderTest, WorkedExampleReadsBack) {
  const auto bytes = Compiled(R"(<a x="1"><b/></a>)");
  Document doc;
  ReadError error;
  ASSERT_TRUE(Document::Open(bytes.data(), bytes.size(), &doc, &error)) << error.what;
  EXPECT_EQ(doc.Size(), 136u);
  ASSERT_EQ(doc.StringCount(), 4u);
  EXPECT_EQ(doc.String(0), "1");
  EXPECT_EQ(doc.String(3), "x");
  EXPECT_EQ(doc.String(4), "") << "out of range";
  EXPECT_EQ(doc.StringOffset(0), 40u);
  EXPECT_EQ(doc.StringOffset(4), 48u) << "the end of the string data";
  EXPECT_EQ(doc.TreeOffset(), 48u);
  EXPECT_EQ(doc.ElementCount(), 2u);

  const Element root = doc.Root();
  EXPECT_EQ(root.Offset(), 56u);
  EXPECT_EQ(root.End(), 136u);
  EXPECT_EQ(root.Name(), "a");
  ASSERT_EQ(root.AttributeCount(), 1u);
  EXPECT_EQ(root.AttributeAt(0).name, 3u);
  EXPECT_EQ(root.AttributeAt(0).value, 0u);
  EXPECT_EQ(root.AttributeAt(1).name, kNoString);
  std::string_view value;
  EXPECT_TRUE(root.FindAttribute("x", &value));
  EXPECT_EQ(value, "1");
  EXPECT_FALSE(root.FindAttribute("b", &value)) << "a string of the table, not an attribute";
  EXPECT_FALSE(root.FindAttribute("y", &value));

  ASSERT_EQ(root.ChildCount(), 1u);
  const Element b = root.Child(0);
  EXPECT_EQ(b.Offset(), 100u);
  EXPECT_EQ(b.Name(), "b");
  EXPECT_EQ(b.ChildCount(), 0u);
  EXPECT_TRUE(b.Children().empty());
  EXPECT_EQ(root.NextInDocument(), b);
  EXPECT_FALSE(b.NextInDocument());
  EXPECT_EQ(ReadEverything(doc), 2u);
}

TEST(DocumentReaderTest, StringsAreFoundByBinarySearchInUnsignedOrder) {
  const auto bytes = Compiled(R"(<list b="Z" a="q"><item/><item a="q"/></list>)");
  Document doc;
  ASSERT_TRUE(Document::Open(bytes.data(), bytes.size(), &doc, nullptr));
  const char* table[] = {"Z", "a", "b", "item", "list", "q"};
  ASSERT_EQ(doc.StringCount(), 6u);
  for (std::uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(doc.String(i), table[i]);
    EXPECT_EQ(doc.FindString(table[i]), i);
  }
  for (const char* absent : {"", "A", "c", "ite", "items", "r", "\xFF"})
    EXPECT_EQ(doc.FindString(absent), kNoString) << absent;
  const Element root = doc.Root();
  EXPECT_EQ(root.AttributeName(0), "a") << "stored order";
  EXPECT_EQ(root.AttributeName(1), "b");
  EXPECT_EQ(root.Child(1).AttributeValue(0), "q");
  EXPECT_EQ(ReadEverything(doc), 3u);
}

TEST(DocumentReaderTest, NullDocumentsAndElementsReadAsEmpty) {
  Document doc;
  EXPECT_FALSE(doc.IsOpen());
  EXPECT_FALSE(doc.Root());
  EXPECT_TRUE(doc.Elements().empty());
  EXPECT_EQ(doc.FindString("a"), kNoString);
  const Element none;
  EXPECT_EQ(none.Name(), "");
  EXPECT_EQ(none.AttributeCount(), 0u);
  EXPECT_FALSE(none.FindAttribute("a", nullptr));
  EXPECT_FALSE(none.Child(0));
  EXPECT_TRUE(none.Children().empty());

  ReadError error;
  EXPECT_FALSE(Document::Open(nullptr, 10, &doc, &error));
  EXPECT_STREQ(error.what, "no document");
  const std::uint8_t empty[1] = {};
  EXPECT_FALSE(Document::Open(empty, 0, &doc, &error));
  EXPECT_EQ(error.offset, 0u);
  EXPECT_FALSE(Document::Open(empty, 0, &doc, nullptr)) << "the error is optional";
}

TEST(DocumentReaderTest, EveryTruncationAndAnyTrailingByteIsRefused) {
  const auto bytes = Compiled(R"(<list b="Z" a="q"><item/><item a="q"><x/></item></list>)");
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<std::uint8_t> cut(bytes.begin(),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(Opens(cut)) << "length " << n;
  }
  auto longer = bytes;
  longer.push_back(0);
  ReadError error;
  EXPECT_FALSE(Opens(longer, &error));
  EXPECT_EQ(error.offset, bytes.size());
  EXPECT_STREQ(error.what, "bytes follow the end of the DocumentChunk");
}

TEST(DocumentReaderTest, EverySingleByteChangeIsRefusedOrReadsSafely) {
  // A change that keeps the document well formed opens, and then every
  // accessor agrees with every other; the rest are refused.
  const auto bytes =
      Compiled(R"(<r a="1" b="2"><s><t c="3"/><t/></s><u d="4"><v><w/></v></u><s/></r>)");
  int refused = 0;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    for (std::uint8_t v : {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x1C, 0x24, 0x7F, 0xFF}) {
      auto changed = bytes;
      if (changed[at] == v) continue;
      changed[at] = v;
      Document doc;
      if (!Document::Open(changed.data(), changed.size(), &doc, nullptr)) {
        ++refused;
        continue;
      }
      EXPECT_EQ(ReadEverything(doc), doc.ElementCount()) << "byte " << at << " = " << int{v};
    }
  }
  EXPECT_GT(refused, static_cast<int>(bytes.size()));
}

TEST(DocumentReaderTest, FaultsAreNamedWithTheirOffsets) {
  const auto worked = Compiled(R"(<a x="1"><b/></a>)");
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    std::uint64_t offset;
    const char* text;
  } cases[] = {
      {"strings out of order", 42, 0x63, 44, "string 2 is not above the one before it"},
      {"root name index past the table", 64, 4, 64, "name index 4 out of range"},
      {"attribute value index past the table", 84, 9, 84, "attribute value index 9 out of range"},
      {"child tag", 100, 5, 100, "expected ElementChunk (tag 3), found tag 5"},
      {"two children counted", 96, 2, 136, "a ChildrenChunk holds fewer children than its count"},
      {"string offset backwards", 28, 1, 28, "string offset 1 out of order"},
      {"end offset", 36, 9, 36, "end offset 9 does not match the table length"},
      {"first offset", 20, 1, 20, "the first string offset is not 0"},
      {"attribute count", 76, 2, 76, "attribute count 2 does not match the chunk length"},
      {"tree tag", 48, 3, 48, "expected TreeChunk (tag 2), found tag 3"},
      {"document length", 4, 200, 4,
       "DocumentChunk length 200 runs past the end of the data (136 bytes)"},
  };
  for (const Case& c : cases) {
    auto bytes = worked;
    if (c.value > 0xFF || c.at % 4 == 0) {
      Put(bytes, c.at, c.value);
    } else {
      bytes[c.at] = static_cast<std::uint8_t>(c.value);
    }
    ReadError error;
    EXPECT_FALSE(Opens(bytes, &error)) << c.what;
    EXPECT_EQ(error.offset, c.offset) << c.what;
    EXPECT_STREQ(error.what, c.text) << c.what;
  }
}

TEST(DocumentReaderTest, NestingIsCheckedExactly) {
  const auto bytes = Compiled("<r><a/><b/></r>");
  Document valid;
  ASSERT_TRUE(Document::Open(bytes.data(), bytes.size(), &valid, nullptr));
  const std::uint32_t root = valid.Root().Offset();
  const std::uint32_t a = valid.Root().Child(0).Offset();
  const std::uint32_t b = valid.Root().Child(1).Offset();
  const std::uint32_t rootCount = root + 24 + format::kChildCountAt;
  const std::uint32_t aChildren = a + 24;
  ReadError error;

  auto swallow = bytes;  // a swallows b, the root still counts two children
  Put(swallow, a + 4, 28 + 36);
  EXPECT_FALSE(Opens(swallow, &error));
  EXPECT_STREQ(error.what, "a ChildrenChunk holds fewer children than its count");

  auto tooShort = bytes;  // a child chunk too small to be an element
  Put(tooShort, a + 4, 4);
  EXPECT_FALSE(Opens(tooShort, &error));
  EXPECT_EQ(error.offset, a + 4);
  EXPECT_STREQ(error.what, "ElementChunk length 4 is too short for an element");

  auto oneChild = bytes;  // the root counts one child: b is left over
  Put(oneChild, rootCount, 1);
  EXPECT_FALSE(Opens(oneChild, &error));
  EXPECT_EQ(error.offset, b);
  EXPECT_STREQ(error.what, "a ChildrenChunk holds bytes after its last child");

  auto adopted = bytes;  // b becomes a's child: a, its children chunk and the root agree
  Put(adopted, a + 4, 28 + 36);
  Put(adopted, aChildren + 4, 4 + 36);
  Put(adopted, aChildren + format::kChildCountAt, 1);
  Put(adopted, rootCount, 1);
  Document doc;
  ASSERT_TRUE(Document::Open(adopted.data(), adopted.size(), &doc, &error)) << error.what;
  EXPECT_EQ(doc.Root().ChildCount(), 1u);
  EXPECT_EQ(doc.Root().Child(0).Child(0).Name(), "b");
  EXPECT_EQ(ReadEverything(doc), 3u);
}

TEST(DocumentReaderTest, AttributeNamesMustAscend) {
  auto bytes = Compiled(R"(<r a="1" b="2"/>)");
  Document valid;
  ASSERT_TRUE(Document::Open(bytes.data(), bytes.size(), &valid, nullptr));
  const std::uint32_t pairs = valid.Root().Offset() + format::kAttributePairsAt;
  ASSERT_EQ(valid.Root().AttributeAt(0).name, 2u);  // the table: 1 2 a b r
  Put(bytes, pairs + 8, 2);                         // b's name index becomes a's
  ReadError error;
  EXPECT_FALSE(Opens(bytes, &error));
  EXPECT_EQ(error.offset, pairs + 8);
  EXPECT_STREQ(error.what, "attribute name index 2 is not above the one before it");
}

TEST(DocumentReaderTest, DeepDocumentsNeedNoRecursion) {
  constexpr std::uint32_t kDepth = 200000;
  const std::vector<std::uint8_t> b = testing::ChainDocument(kDepth);
  Document doc;
  ReadError error;
  ASSERT_TRUE(Document::Open(b.data(), b.size(), &doc, &error))
      << error.offset << " " << error.what;
  EXPECT_EQ(doc.ElementCount(), kDepth);
  std::uint32_t down = 0;
  for (Element e = doc.Root(); e; e = e.Child(0)) ++down;
  EXPECT_EQ(down, kDepth);
  EXPECT_EQ(ReadEverything(doc), kDepth);
}

}  // namespace
}  // namespace oxa::reader
