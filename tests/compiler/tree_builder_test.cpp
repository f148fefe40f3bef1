// The tree builder: structure, attribute order, census, directives, reset,
// failure recording, deep and wide documents.
#include "compiler/tree_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/compile_events.h"

namespace oxa {
namespace {

using testing::CensusKeys;
using testing::Describe;
using Keys = std::vector<std::string>;

struct Built {
  TreeBuilder builder;
  explicit Built(const std::string& markup) {
    testing::Deliver(testing::ParseEvents(markup), builder);
    builder.FinishParse();
  }
  std::string Tree() const { return Describe(builder.Root()); }
  Keys Census() const { return CensusKeys(builder.GetCensus()); }
};

TEST(TreeBuilderTest, ChildrenInDocumentOrderWithParents) {
  Built b("<a><b/><c/></a>");
  EXPECT_EQ(b.Tree(), "a(b,c)");
  const ElementNode* root = b.builder.Root();
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->Child(0)->parent, root);
  EXPECT_EQ(root->Child(1)->parent, root);
  EXPECT_EQ(b.builder.Current(), nullptr);
  EXPECT_EQ(b.Census(), (Keys{"a", "b", "c"}));
}

TEST(TreeBuilderTest, AttributesInNameOrderLastDuplicateWins) {
  Built b(R"(<e z="1" a="2" m="3"/>)");
  EXPECT_EQ(b.Tree(), "e[a=2,m=3,z=1]");

  TreeBuilder builder;
  testing::FakeValues attributes;
  attributes.AddString("k", "first");
  attributes.AddString("k", "second");
  builder.StartElement("e", &attributes);
  builder.EndElement("e");
  EXPECT_EQ(Describe(builder.Root()), "e[k=second]");
  EXPECT_EQ(attributes.refCount(), 0) << "the builder keeps no reference on the set";
}

TEST(TreeBuilderTest, RepeatedNameSequencesAreOrderedAlike) {
  // Consecutive elements with the same delivered names reuse the order found
  // for the first; any other sequence is ordered afresh.
  Built b(R"(<r><e z="1" a="2"/><e z="3" a="4"/><e a="5" z="6"/><e k="7" k="8"/>)"
          R"(<e k="9" k="10"/><e k="11"/><e z="12" a="13" m="14"/></r>)");
  EXPECT_EQ(b.Tree(),
            "r(e[a=2,z=1],e[a=4,z=3],e[a=5,z=6],e[k=8],e[k=10],e[k=11],e[a=13,m=14,z=12])");
}

TEST(TreeBuilderTest, FrequentLongStringsShareAFewBlocks) {
  // Names and values long enough for the heap on every target, used by 1,000
  // elements: one block per 254 holders, not one per holder past the 255th.
  const std::string name = "element-name-of-some-length";
  const std::string key = "attribute-name-of-some-length";
  const std::string value = "attribute-value-of-some-length";
  std::string markup = "<r>";
  for (int i = 0; i < 1000; ++i) markup += "<" + name + " " + key + "=\"" + value + "\"/>";
  Built b(markup + "</r>");
  std::vector<const char*> names, keys, values;
  const ElementNode* root = b.builder.Root();
  for (std::int32_t i = 0; i < root->ChildCount(); ++i) {
    const ElementNode* child = root->Child(i);
    names.push_back(child->name.Chars());
    keys.push_back(child->attributes.begin()->key.Chars());
    values.push_back(child->attributes.begin()->value.Chars());
  }
  for (auto* blocks : {&names, &keys, &values}) {
    std::sort(blocks->begin(), blocks->end());
    blocks->erase(std::unique(blocks->begin(), blocks->end()), blocks->end());
    EXPECT_LE(blocks->size(), 5u);
  }
  EXPECT_STREQ(root->Child(999)->attributes.begin()->value.Chars(), value.c_str());
}

TEST(TreeBuilderTest, CensusHoldsEachStringOnce) {
  Built b(R"(<item v="item"><item v="x"/><item v="item"/></item>)");
  EXPECT_EQ(b.Census(), (Keys{"item", "v", "x"}));
}

TEST(TreeBuilderTest, CensusOrderWithLongSharedPrefixes) {
  // Texts that share 16 bytes or more, are prefixes of each other, or hold
  // bytes above 0x7F must still come out in unsigned byte order.
  const std::vector<std::string> texts = {"abcdefghijklmnop1",
                                          "abcdefghijklmnop",
                                          "abcdefghijklmnop0",
                                          "abcdefghijklmnoq",
                                          "abcdefghijklmnop\xE9",
                                          "abcdefghijklmnop10",
                                          "abcdefghijklmno",
                                          "\xE9t\xE9",
                                          "Z",
                                          "a",
                                          "abcdefghijklmnopqrstuvwxyz-1",
                                          "abcdefghijklmnopqrstuvwxyz-0",
                                          "abcdefgh\x80",
                                          "abcdefgh"};
  TreeBuilder builder;
  testing::FakeValues attributes;
  for (std::size_t i = 0; i < texts.size(); ++i)
    attributes.AddString("k" + std::to_string(i), texts[i]);
  builder.StartElement("e", &attributes);
  builder.FinishParse();
  std::vector<std::string> expected = texts;
  expected.push_back("e");
  for (std::size_t i = 0; i < texts.size(); ++i) expected.push_back("k" + std::to_string(i));
  std::sort(expected.begin(), expected.end());  // std::string orders by unsigned bytes
  EXPECT_EQ(CensusKeys(builder.GetCensus()), expected);
}

TEST(TreeBuilderTest, CensusStampRisesOncePerNewString) {
  TreeBuilder builder;
  const std::uint8_t before = builder.GetCensus().GetStamp();
  testing::Deliver(testing::ParseEvents(R"(<a k="a"><b k="c"/><b/></a>)"), builder);
  builder.FinishParse();
  EXPECT_EQ(builder.GetCensus().GetStamp(), static_cast<std::uint8_t>(before + 4));  // a b c k
  builder.Reset();
  EXPECT_EQ(builder.GetCensus().GetStamp(), static_cast<std::uint8_t>(before + 5));
  EXPECT_EQ(builder.GetCensus().GetCount(), 0u);
}

TEST(TreeBuilderTest, EmptyOrFailingAttributeSetsGiveNoAttributes) {
  TreeBuilder builder;
  testing::FakeValues failing;
  failing.AddString("k", "v");
  failing.FailIteration();
  builder.StartElement("a", &failing);
  builder.StartElement("b", nullptr);
  EXPECT_EQ(Describe(builder.Root()), "a(b)");
  builder.FinishParse();
  EXPECT_EQ(CensusKeys(builder.GetCensus()), (Keys{"a", "b"}));
}

TEST(TreeBuilderTest, DirectiveRecognition) {
  const std::string ns = CompilerNamespaceUri;
  EXPECT_TRUE(TreeBuilder::IsDirective("insertlayout"));
  EXPECT_TRUE(TreeBuilder::IsDirective((ns + ":insertlayout").c_str()));
  EXPECT_FALSE(TreeBuilder::IsDirective("InsertLayout"));
  EXPECT_FALSE(TreeBuilder::IsDirective("x:insertlayout"));
  EXPECT_FALSE(TreeBuilder::IsDirective("urn:other:insertlayout"));
  EXPECT_FALSE(TreeBuilder::IsDirective((ns + ":").c_str())) << "empty key";
  EXPECT_FALSE(TreeBuilder::IsDirective((ns + ":insertlayoutx").c_str()));
  EXPECT_FALSE(TreeBuilder::IsDirective((ns + "x:insertlayout").c_str()));
}

TEST(TreeBuilderTest, NamesAreStoredAsDelivered) {
  const std::string ns = CompilerNamespaceUri;
  Built b("<x:insertlayout><" + ns + ":panel/><" + ns + ":/></x:insertlayout>");
  EXPECT_EQ(b.Tree(), "x:insertlayout(" + ns + ":panel," + ns + ":)");
}

TEST(TreeBuilderTest, DirectiveLeavesNoNodeAndNoStrings) {
  const std::string ns = CompilerNamespaceUri;
  Built b(R"(<a><insertlayout layoutid="nothing"><b/></insertlayout><)" + ns +
          R"(:insertlayout layoutid="z"/></a>)");
  EXPECT_EQ(b.Tree(), "a(b)") << "elements inside a directive attach to its parent";
  EXPECT_EQ(b.Census(), (Keys{"a", "b"}));
  EXPECT_EQ(b.builder.Current(), nullptr);
}

TEST(TreeBuilderTest, DirectiveAtTopLevelIsTransparent) {
  Built b(R"(<insertlayout layoutid="L"><a><b/></a></insertlayout>)");
  EXPECT_EQ(b.Tree(), "a(b)");
}

TEST(TreeBuilderTest, SecondTopLevelElementIsDetachedButCounted) {
  Built b(R"(<a/><z k="v"><y/></z>)");
  EXPECT_EQ(b.Tree(), "a");
  EXPECT_EQ(b.Census(), (Keys{"a", "k", "v", "y", "z"}));
  // The detached subtree is freed by Reset (the sanitizer build reports a leak otherwise).
}

TEST(TreeBuilderTest, ExtraEndEventsAreIgnored) {
  TreeBuilder builder;
  testing::Deliver(testing::ParseEvents("<a/></a></b>"), builder);
  builder.EndElement("x");
  builder.StartElement("c", nullptr);
  builder.FinishParse();
  EXPECT_EQ(Describe(builder.Root()), "a");
  EXPECT_EQ(builder.Failure(), kOk);
}

TEST(TreeBuilderTest, TooLongTextIsRecordedAndLaterEventsIgnored) {
  TreeBuilder builder;
  builder.StartElement("a", nullptr);
  testing::FakeValues attributes;
  attributes.AddString("k", std::string(ByteString::kMaxLength + 1, 'v'));
  builder.StartElement("b", &attributes);
  EXPECT_EQ(builder.Failure(), kInvalidArg);
  builder.StartElement("c", nullptr);
  builder.FinishParse();
  EXPECT_EQ(Describe(builder.Root()), "a");
  EXPECT_EQ(builder.GetCensus().GetCount(), 0u);
  builder.Reset();
  EXPECT_EQ(builder.Failure(), kOk);
  builder.StartElement("d", nullptr);
  EXPECT_EQ(Describe(builder.Root()), "d");
}

TEST(TreeBuilderTest, ResetBetweenCompilesLeavesNothingBehind) {
  TreeBuilder builder;
  DocumentWriter writer;
  const auto first = testing::CompileMarkup(builder, writer, R"(<one a="1"><two/></one>)");
  const auto second = testing::CompileMarkup(builder, writer, R"(<three b="2"/>)");
  EXPECT_EQ(second.bytes, testing::CompileMarkup(R"(<three b="2"/>)").bytes);
  EXPECT_EQ(builder.Root(), nullptr);
  EXPECT_EQ(builder.Current(), nullptr);
}

TEST(TreeBuilderTest, DeepAndWideDocumentsNeedNoRecursion) {
  constexpr int kDepth = 1000000;
  TreeBuilder builder;
  for (int i = 0; i < kDepth; ++i) builder.StartElement("d", nullptr);
  for (int i = 0; i < kDepth; ++i) builder.EndElement("d");
  builder.FinishParse();
  DocumentWriter writer;
  ComPtr<IBuffer> out(SimpleBuffer::Create());
  ASSERT_EQ(
      writer.WriteDocument(builder.Root(), builder.GetCensus(), builder.GetIndexLog(), out.Get()),
      kOk);
  EXPECT_EQ(out->GetSize(), 8u + 8 + 14 + 8 + 36u * kDepth);
  builder.Reset();  // frees a million nested nodes without recursion

  for (int i = 0; i < kDepth; ++i) {
    builder.StartElement(i == 0 ? "w" : "s", nullptr);
    if (i != 0) builder.EndElement("s");
  }
  EXPECT_EQ(builder.Root()->ChildCount(), kDepth - 1);
  builder.Reset();
}

}  // namespace
}  // namespace oxa
