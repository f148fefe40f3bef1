// xmlc dump's renderings of checked documents, and the reader on the golden
// documents.
#include "dump/compiled_document.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/chain_document.h"
#include "support/compile_events.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace oxa::tools {
namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Golden(const std::string& name) {
  return std::string(OXA_SOURCE_DIR) + "/tests/golden/" + name;
}

using reader::Document;
using reader::ReadError;

// A document of `bytes`, which must stay alive while it is used.
Document Open(const std::vector<std::uint8_t>& bytes) {
  Document doc;
  ReadError error;
  EXPECT_TRUE(Document::Open(bytes.data(), bytes.size(), &doc, &error))
      << "offset " << error.offset << ": " << error.what;
  return doc;
}

TEST(RenderingsTest, WorkedExampleRendersInEveryFormat) {
  const auto bytes = ReadFile(Golden("worked.xmlc"));
  const Document doc = Open(bytes);
  std::ostringstream xml, tree, chunks;
  std::string xmlError;
  EXPECT_TRUE(WriteXml(doc, xml, &xmlError)) << xmlError;
  WriteTree(doc, tree);
  WriteChunks(doc, chunks);
  EXPECT_EQ(xml.str(), "<a x=\"1\">\n  <b/>\n</a>\n");
  EXPECT_EQ(tree.str(),
            "strings 4\n  0 \"1\"\n  1 \"a\"\n  2 \"b\"\n  3 \"x\"\ntree 2 elements\n  1 a  3=0\n  "
            "  2 b\n");
  EXPECT_NE(chunks.str().find("00000040  01 00 00 00  name index                   1 'a'"),
            std::string::npos)
      << chunks.str();
  EXPECT_NE(chunks.str().find("00000084  00 00 00 00  child count                  0"),
            std::string::npos);
}

TEST(RenderingsTest, AllGoldenDocumentsOpen) {
  for (const char* name :
       {"worked.xmlc", "list.xmlc", "root-only.xmlc", "unaligned.xmlc", "page.xmlc", "skin.xmlc"}) {
    const auto bytes = ReadFile(Golden(name));
    EXPECT_TRUE(Open(bytes).IsOpen()) << name;
  }
}

TEST(RenderingsTest, DeepDocumentsNeedNoRecursion) {
  constexpr std::uint32_t kDepth = 200000;
  const std::vector<std::uint8_t> b = testing::ChainDocument(kDepth);
  const Document doc = Open(b);
  ASSERT_EQ(doc.ElementCount(), kDepth);
  std::ostringstream xml;
  std::string xmlError;
  EXPECT_TRUE(WriteXml(doc, xml, &xmlError)) << xmlError;
  EXPECT_LT(xml.str().size(), 200u * kDepth) << "indentation is capped";
}

TEST(RenderingsTest, JsonHoldsTheWholeTableAndTree) {
  std::string error;
  for (const char* name : {"worked.xmlc", "skin.xmlc", "page.xmlc", "list.xmlc"}) {
    const auto bytes = ReadFile(Golden(name));
    const Document doc = Open(bytes);
    std::ostringstream out;
    ASSERT_TRUE(WriteJson(doc, out, &error)) << error;
    const nlohmann::json parsed = nlohmann::json::parse(out.str());
    ASSERT_EQ(parsed["strings"].size(), doc.StringCount()) << name;
    for (std::uint32_t i = 0; i < doc.StringCount(); ++i)
      EXPECT_EQ(parsed["strings"][i].get<std::string>(), doc.String(i)) << name;
    ASSERT_EQ(parsed["elements"].size(), doc.ElementCount()) << name;
    std::vector<reader::Element> elements(doc.Elements().begin(), doc.Elements().end());
    std::vector<std::uint32_t> children(elements.size()), depth(elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i) {
      const auto& e = parsed["elements"][i];
      EXPECT_EQ(e["name"].get<std::uint32_t>(), elements[i].NameIndex());
      EXPECT_EQ(e["attributes"].size(), elements[i].AttributeCount());
      depth[i] = e["depth"].get<std::uint32_t>();
      if (i == 0) {
        EXPECT_TRUE(e["parent"].is_null());
        EXPECT_EQ(depth[i], 0u);
      } else {
        const auto parent = e["parent"].get<std::size_t>();
        ASSERT_LT(parent, i);
        EXPECT_EQ(depth[parent] + 1, depth[i]);
        EXPECT_LT(elements[parent].Offset(), elements[i].Offset());
        EXPECT_LE(elements[i].End(), elements[parent].End());
        ++children[parent];
      }
    }
    for (std::size_t i = 0; i < elements.size(); ++i)
      EXPECT_EQ(children[i], elements[i].ChildCount()) << name << " element " << i;
  }
}

TEST(RenderingsTest, JsonRefusesATextThatIsNotUtf8) {
  const auto bytes = testing::CompileMarkup("<a b=\"\xFF\"/>").bytes;
  const Document doc = Open(bytes);
  std::ostringstream out;
  std::string error;
  EXPECT_FALSE(WriteJson(doc, out, &error));
  EXPECT_EQ(error, "cannot be written as JSON: string 2 is not UTF-8");
  EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace oxa::tools
