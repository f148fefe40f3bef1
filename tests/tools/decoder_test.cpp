// The strict decoder: golden documents decode; every truncation and many
// corruptions are refused with an offset, never read out of bounds.
#include "compiled_document.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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

bool Decodes(const std::vector<std::uint8_t>& bytes, DecodeError* error = nullptr) {
  DecodedDocument doc;
  DecodeError local;
  return Decode(bytes.data(), bytes.size(), &doc, error != nullptr ? error : &local);
}

TEST(DecoderTest, WorkedExampleRendersInEveryFormat) {
  const auto bytes = ReadFile(Golden("worked.xmlc"));
  DecodedDocument doc;
  DecodeError error;
  ASSERT_TRUE(Decode(bytes.data(), bytes.size(), &doc, &error)) << error.what;
  std::ostringstream xml, tree, chunks;
  std::string xmlError;
  EXPECT_TRUE(WriteXml(doc, xml, &xmlError)) << xmlError;
  WriteTree(doc, tree);
  WriteChunks(doc, bytes.data(), chunks);
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

TEST(DecoderTest, AllGoldenDocumentsDecode) {
  for (const char* name :
       {"worked.xmlc", "list.xmlc", "root-only.xmlc", "unaligned.xmlc", "page.xmlc"}) {
    DecodeError error;
    EXPECT_TRUE(Decodes(ReadFile(Golden(name)), &error)) << name << ": " << error.what;
  }
}

TEST(DecoderTest, EveryTruncationIsRefused) {
  const auto bytes = ReadFile(Golden("list.xmlc"));
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<std::uint8_t> cut(bytes.begin(),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(Decodes(cut)) << "length " << n;
  }
  auto longer = bytes;
  longer.push_back(0);
  DecodeError error;
  EXPECT_FALSE(Decodes(longer, &error));
  EXPECT_EQ(error.offset, bytes.size());
}

TEST(DecoderTest, CorruptionsAreRefusedOrDecodedSafely) {
  // Every single-byte change either decodes (the change kept the document
  // well formed) or is refused; the sanitizer build checks that nothing is
  // read out of bounds either way.
  const auto bytes = ReadFile(Golden("page.xmlc"));
  int refused = 0;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    for (std::uint8_t v :
         {std::uint8_t{0x00}, std::uint8_t{0x01}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
      auto changed = bytes;
      if (changed[at] == v) continue;
      changed[at] = v;
      refused += Decodes(changed) ? 0 : 1;
    }
  }
  EXPECT_GT(refused, static_cast<int>(bytes.size()));
}

TEST(DecoderTest, SpecificFaultsAreNamed) {
  auto bytes = ReadFile(Golden("worked.xmlc"));
  DecodeError error;
  auto unsorted = bytes;
  std::swap(unsorted[42], unsorted[44]);  // 'a' and 'b' exchanged
  EXPECT_FALSE(Decodes(unsorted, &error));
  EXPECT_EQ(error.offset, 44u);
  EXPECT_NE(error.what.find("not above"), std::string::npos);

  auto badIndex = bytes;
  badIndex[64] = 4;  // root name index past the table
  EXPECT_FALSE(Decodes(badIndex, &error));
  EXPECT_EQ(error.offset, 64u);
  EXPECT_NE(error.what.find("out of range"), std::string::npos);

  auto badTag = bytes;
  badTag[100] = 5;  // child ElementChunk tag
  EXPECT_FALSE(Decodes(badTag, &error));
  EXPECT_EQ(error.offset, 100u);

  auto moreChildren = bytes;
  moreChildren[96] = 2;  // the root claims two children
  EXPECT_FALSE(Decodes(moreChildren, &error));
  EXPECT_NE(error.what.find("fewer children"), std::string::npos);
}

TEST(DecoderTest, DeepDocumentsNeedNoRecursion) {
  // A chain of 200,000 elements named by string 0.
  constexpr std::uint32_t kDepth = 200000;
  std::vector<std::uint8_t> b;
  auto word = [&](std::uint32_t w) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  };
  const std::uint32_t tree = 36 * kDepth;
  word(0), word(14 + 8 + tree + 8), word(1), word(14), word(1), word(0), word(2), b.push_back('d'),
      b.push_back(0);
  word(2), word(tree);
  for (std::uint32_t level = 0; level < kDepth; ++level) {
    const std::uint32_t below = 36 * (kDepth - level - 1);
    word(3), word(28 + below), word(0), word(4), word(4), word(0), word(5), word(4 + below),
        word(level + 1 < kDepth ? 1 : 0);
  }
  DecodedDocument doc;
  DecodeError error;
  ASSERT_TRUE(Decode(b.data(), b.size(), &doc, &error)) << error.offset << " " << error.what;
  EXPECT_EQ(doc.elements.size(), kDepth);
  EXPECT_EQ(doc.elements.back().depth, kDepth - 1);
  std::ostringstream xml;
  std::string xmlError;
  EXPECT_TRUE(WriteXml(doc, xml, &xmlError)) << xmlError;
  EXPECT_LT(xml.str().size(), 200u * kDepth) << "indentation is capped";
}

TEST(DecoderTest, JsonHoldsTheWholeTableAndTree) {
  std::string error;
  for (const char* name : {"worked.xmlc", "skin.xmlc", "page.xmlc", "list.xmlc"}) {
    const auto bytes = ReadFile(Golden(name));
    DecodedDocument doc;
    DecodeError fault;
    ASSERT_TRUE(Decode(bytes.data(), bytes.size(), &doc, &fault)) << name;
    std::ostringstream out;
    ASSERT_TRUE(WriteJson(doc, out, &error)) << error;
    const nlohmann::json parsed = nlohmann::json::parse(out.str());
    ASSERT_EQ(parsed["strings"].size(), doc.strings.size()) << name;
    for (std::size_t i = 0; i < doc.strings.size(); ++i)
      EXPECT_EQ(parsed["strings"][i].get<std::string>(), doc.strings[i]) << name;
    ASSERT_EQ(parsed["elements"].size(), doc.elements.size()) << name;
    std::vector<std::uint32_t> children(doc.elements.size());
    for (std::size_t i = 0; i < doc.elements.size(); ++i) {
      const auto& e = parsed["elements"][i];
      EXPECT_EQ(e["name"].get<std::uint32_t>(), doc.elements[i].name);
      EXPECT_EQ(e["depth"].get<std::uint32_t>(), doc.elements[i].depth);
      EXPECT_EQ(e["attributes"].size(), doc.elements[i].attributeCount);
      if (i == 0) {
        EXPECT_TRUE(e["parent"].is_null());
      } else {
        const auto parent = e["parent"].get<std::size_t>();
        ASSERT_LT(parent, i);
        EXPECT_EQ(doc.elements[parent].depth + 1, doc.elements[i].depth);
        ++children[parent];
      }
    }
    for (std::size_t i = 0; i < doc.elements.size(); ++i)
      EXPECT_EQ(children[i], doc.elements[i].childCount) << name << " element " << i;
  }
}

TEST(DecoderTest, JsonRefusesATextThatIsNotUtf8) {
  DecodedDocument doc;
  doc.strings = {"a", "\xFF"};
  doc.elements.push_back({0, 0, 0, 0, 0, 0});
  std::ostringstream out;
  std::string error;
  EXPECT_FALSE(WriteJson(doc, out, &error));
  EXPECT_EQ(error, "cannot be written as JSON: string 1 is not UTF-8");
  EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace oxa::tools
