// Layout insertion: which element supplies the copies, where they go, and
// how deep copies and the expansion bound behave.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compiler/tree_builder.h"
#include "support/compile_events.h"

namespace oxa {
namespace {

using testing::CensusKeys;
using testing::Describe;
using Keys = std::vector<std::string>;

std::string TreeOf(const std::string& markup, TreeBuilder& builder) {
  testing::Deliver(testing::ParseEvents(markup), builder);
  builder.FinishParse();
  return Describe(builder.Root());
}

std::string TreeOf(const std::string& markup) {
  TreeBuilder builder;
  return TreeOf(markup, builder);
}

// Layouts l1..l`levels`, each inserting the one before twice: level k holds
// 2^k copies of l0's one child.
std::string DoublingLayouts(int levels) {
  std::string markup = R"(<r><l0 id="0"><x/></l0>)";
  for (int i = 1; i <= levels; ++i) {
    const std::string id = std::to_string(i), prev = std::to_string(i - 1);
    markup += "<l" + id + R"( id=")" + id + R"("><insertlayout layoutid=")" + prev +
              R"("/><insertlayout layoutid=")" + prev + R"("/></l)" + id + ">";
  }
  return markup + "</r>";
}

TEST(LayoutInsertionTest, PageExample) {
  TreeBuilder builder;
  EXPECT_EQ(TreeOf(R"(<page><layout id="L"><box a="1"/><text/></layout>)"
                   R"(<panel><insertlayout layoutid="L"/><img/></panel></page>)",
                   builder),
            "page(layout[id=L](box[a=1],text),panel(box[a=1],text,img))");
  EXPECT_EQ(CensusKeys(builder.GetCensus()),
            (Keys{"1", "L", "a", "box", "id", "img", "layout", "page", "panel", "text"}));
  const ElementNode* panel = builder.Root()->Child(1);
  for (std::int32_t i = 0; i < panel->ChildCount(); ++i) EXPECT_EQ(panel->Child(i)->parent, panel);
}

TEST(LayoutInsertionTest, CompilerNamespaceDirective) {
  const std::string ns = CompilerNamespaceUri;
  EXPECT_EQ(
      TreeOf(R"(<r><d id="L"><p/><q/></d><e><)" + ns + R"(:insertlayout layoutid="L"/></e></r>)"),
      "r(d[id=L](p,q),e(p,q))");
}

TEST(LayoutInsertionTest, FirstInPreOrderWins) {
  // The outer element starts first; its descendant with the same id comes later in pre-order.
  EXPECT_EQ(TreeOf(R"(<r><o id="L"><i id="L"><x/></i></o><t><insertlayout layoutid="L"/></t></r>)"),
            "r(o[id=L](i[id=L](x)),t(i[id=L](x)))");
  EXPECT_EQ(
      TreeOf(
          R"(<r><a id="L"><one/></a><b id="L"><two/></b><t><insertlayout layoutid="L"/></t></r>)"),
      "r(a[id=L](one),b[id=L](two),t(one))");
}

TEST(LayoutInsertionTest, LaterDefinitionsAndNearMissesAreNotFound) {
  EXPECT_EQ(TreeOf(R"(<r><t><insertlayout layoutid="L"/></t><d id="L"><p/></d></r>)"),
            "r(t,d[id=L](p))");
  EXPECT_EQ(TreeOf(R"(<r><d id="L"><p/></d><t><insertlayout layoutid="l"/></t></r>)"),
            "r(d[id=L](p),t)");
  EXPECT_EQ(TreeOf(R"(<r><d ID="L"><p/></d><t><insertlayout layoutid="L"/></t></r>)"),
            "r(d[ID=L](p),t)");
  EXPECT_EQ(TreeOf(R"(<r><d id="L"><p/></d><t><insertlayout layoutid=" L"/></t></r>)"),
            "r(d[id=L](p),t)");
  EXPECT_EQ(TreeOf(R"(<r><d id="L"><p/></d><t><insertlayout/></t></r>)"), "r(d[id=L](p),t)");
}

TEST(LayoutInsertionTest, EmptyIdMatchesEmptyLayoutId) {
  EXPECT_EQ(TreeOf(R"(<r><d id=""><p/></d><t><insertlayout layoutid=""/></t></r>)"),
            "r(d[id=](p),t(p))");
}

TEST(LayoutInsertionTest, CopiesAreFoundAfterTheirOriginals) {
  // The first copy of an inner id is found only when no original precedes it.
  EXPECT_EQ(TreeOf(R"(<r><d id="L"><k id="K"><x/></k></d>)"
                   R"(<t><insertlayout layoutid="L"/></t><u><insertlayout layoutid="K"/></u></r>)"),
            "r(d[id=L](k[id=K](x)),t(k[id=K](x)),u(x))");
  // While the document is open, the id leads to the original, not to its copy.
  TreeBuilder builder;
  testing::Deliver(
      testing::ParseEvents(R"(<r><d id="L"><k id="K"><x/></k></d><t><insertlayout layoutid="L"/>)"),
      builder);
  ElementNode* found = nullptr;
  ASSERT_EQ(builder.FindLayout(ByteString("K"), &found), kOk);
  EXPECT_EQ(found, builder.Root()->Child(0)->Child(0));
  EXPECT_NE(found, builder.Root()->Child(1)->Child(0)) << "the copy in <t>";
  builder.Reset();
}

TEST(LayoutInsertionTest, ExpandedLayoutsAreCopiedExpanded) {
  EXPECT_EQ(TreeOf(R"(<r><a id="A"><x/></a><b id="B"><insertlayout layoutid="A"/><y/></b>)"
                   R"(<c><insertlayout layoutid="B"/></c></r>)"),
            "r(a[id=A](x),b[id=B](x,y),c(x,y))");
}

TEST(LayoutInsertionTest, CopiesAreDeepAndIndependent) {
  TreeBuilder builder;
  TreeOf(R"(<r><d id="L"><p k="v"><q/></p></d><t><insertlayout layoutid="L"/></t></r>)", builder);
  const ElementNode* original = builder.Root()->Child(0)->Child(0);
  const ElementNode* copy = builder.Root()->Child(1)->Child(0);
  EXPECT_NE(original, copy);
  EXPECT_NE(original->Child(0), copy->Child(0));
  EXPECT_EQ(copy->Child(0)->parent, copy);
  EXPECT_EQ(copy->attributes.GetStamp(), original->attributes.GetStamp()) << "copy keeps the stamp";
  FreeTree(const_cast<ElementNode*>(original)->Child(0));
  const_cast<ElementNode*>(original)->children.RemoveAt(0);
  EXPECT_EQ(Describe(copy), "p[k=v](q)");
}

TEST(LayoutInsertionTest, ManyCopiesOfLongStringsShareAFewBlocks) {
  const std::string name = "element-name-of-some-length";
  const std::string value = "attribute-value-of-some-length";
  std::string markup = "<r><d id=\"L\"><" + name + " key-of-some-length=\"" + value + "\"/></d>";
  for (int i = 0; i < 1000; ++i) markup += "<insertlayout layoutid=\"L\"/>";
  TreeBuilder builder;
  TreeOf(markup + "</r>", builder);
  const ElementNode* root = builder.Root();
  ASSERT_EQ(root->ChildCount(), 1001);
  std::vector<const char*> names, values;
  for (std::int32_t i = 1; i < root->ChildCount(); ++i) {
    names.push_back(root->Child(i)->name.Chars());
    values.push_back(root->Child(i)->attributes.begin()->value.Chars());
  }
  for (auto* blocks : {&names, &values}) {
    std::sort(blocks->begin(), blocks->end());
    blocks->erase(std::unique(blocks->begin(), blocks->end()), blocks->end());
    EXPECT_LE(blocks->size(), 5u) << "one block per 254 holders";
  }
  EXPECT_EQ(Describe(root->Child(1000)), name + "[key-of-some-length=" + value + "]");
}

TEST(LayoutInsertionTest, AncestorInsertCopiesTheOpenChain) {
  // a holds x, then b (open) which holds y so far; the directive inside b names a.
  // x is copied into b first, so the copy of b then holds y and that copy of x.
  EXPECT_EQ(TreeOf(R"(<a id="A"><x/><b><y/><insertlayout layoutid="A"/></b></a>)"),
            "a[id=A](x,b(y,x,b(y,x)))");
}

TEST(LayoutInsertionTest, SelfInsertCopiesTheChildrenItHadAtThatMoment) {
  EXPECT_EQ(TreeOf(R"(<a id="A"><x/><y/><insertlayout layoutid="A"/><z/></a>)"),
            "a[id=A](x,y,x,y,z)");
  EXPECT_EQ(TreeOf(R"(<a id="A"><insertlayout layoutid="A"/></a>)"), "a[id=A]");
}

TEST(LayoutInsertionTest, NoOpenElementOrEmptyTreeCopiesNothing) {
  TreeBuilder builder;
  testing::FakeValues directive;
  directive.AddString("layoutid", "L");
  EXPECT_EQ(builder.InsertLayout(&directive), kFail) << "empty tree";
  testing::Deliver(testing::ParseEvents(R"(<a id="L"><p/></a>)"), builder);
  EXPECT_EQ(builder.InsertLayout(&directive), kFail) << "root closed";
  testing::FakeValues none;
  EXPECT_EQ(builder.InsertLayout(&none), kFail) << "GetString's own failure";
  EXPECT_EQ(directive.refCount(), 0);
  EXPECT_EQ(directive.Find("layoutid")->buffer->AddRef(), 2u) << "value buffer released again";
  directive.Find("layoutid")->buffer->Release();
}

TEST(LayoutInsertionTest, DetachedElementsAreNeverFound) {
  TreeBuilder builder;
  testing::Deliver(testing::ParseEvents(R"(<a/><z id="L"><p/></z>)"), builder);
  builder.StartElement("w", nullptr);  // a third top-level element, detached
  testing::FakeValues directive;
  directive.AddString("layoutid", "L");
  EXPECT_EQ(builder.InsertLayout(&directive), kFail);
  builder.Reset();
}

TEST(LayoutInsertionTest, FoundElementWithoutChildrenAppendsNothing) {
  EXPECT_EQ(TreeOf(R"(<r><d id="L"/><t><insertlayout layoutid="L"/></t></r>)"), "r(d[id=L],t)");
}

TEST(LayoutInsertionTest, ExponentialExpansionFailsAtTheBound) {
  // 2^31 nodes if unbounded.
  const std::string markup = DoublingLayouts(30);
  TreeBuilder builder;
  testing::Deliver(testing::ParseEvents(markup), builder);
  EXPECT_EQ(builder.Failure(), kOutOfMemory);
  EXPECT_EQ(builder.NodesCopied(), kExpansionFloor + 1);
  builder.Reset();
  EXPECT_EQ(builder.Failure(), kOk);
}

TEST(LayoutInsertionTest, ExpansionBelowTheBoundIsUnaffected) {
  // 2^19 - 2 copies made in all, below 10^6.
  const std::string markup = DoublingLayouts(18);
  TreeBuilder builder;
  testing::Deliver(testing::ParseEvents(markup), builder);
  EXPECT_EQ(builder.Failure(), kOk);
  EXPECT_EQ(builder.NodesCopied(), (1u << 19) - 2);
  builder.Reset();
}

TEST(LayoutInsertionTest, IndexAgreesWithAPreOrderWalk) {
  // Reference: the first matching node in a plain pre-order walk from the root.
  TreeBuilder builder;
  testing::Deliver(
      testing::ParseEvents(R"(<r><a id="1"><b id="2"/></a><c><insertlayout layoutid="1"/></c>)"
                           R"(<d id="2"><e id="3"/></d><f><insertlayout layoutid="2"/></f></r>)"),
      builder);
  for (const char* id : {"1", "2", "3", "4"}) {
    std::vector<const ElementNode*> stack{builder.Root()};
    const ElementNode* expected = nullptr;
    while (!stack.empty() && expected == nullptr) {
      const ElementNode* n = stack.back();
      stack.pop_back();
      if (TreeBuilder::MatchesId(n, id)) expected = n;
      for (std::int32_t i = n->ChildCount(); i-- > 0;) stack.push_back(n->Child(i));
    }
    ElementNode* found = nullptr;
    builder.FindLayout(ByteString(id), &found);
    EXPECT_EQ(found, expected) << "id " << id;
  }
  builder.Reset();
}

}  // namespace
}  // namespace oxa
