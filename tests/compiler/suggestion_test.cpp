// Suggestions for a layoutid that matches no element: the edit distance
// (with swapped neighbours as one edit), its bound of a third of the id's
// length, nearest first with ties in document order, ids written before or
// after the directive, and none when nothing is near.
#include <gtest/gtest.h>

#include <string>

#include "compiler/findings.h"
#include "compiler/tree_builder.h"
#include "support/event_script.h"

namespace oxa {
namespace {

std::uint32_t Distance(const std::string& a, const std::string& b, std::uint32_t bound = 99) {
  return EditDistance(a.data(), static_cast<std::uint32_t>(a.size()), b.data(),
                      static_cast<std::uint32_t>(b.size()), bound);
}

TEST(EditDistanceTest, CountsInsertionsDeletionsSubstitutionsAndSwaps) {
  EXPECT_EQ(Distance("buttons", "buttons"), 0u);
  EXPECT_EQ(Distance("buttons", "buttosn"), 1u) << "a swap of neighbours is one edit";
  EXPECT_EQ(Distance("buttons", "button"), 1u);
  EXPECT_EQ(Distance("buttons", "buttonsx"), 1u);
  EXPECT_EQ(Distance("buttons", "bottons"), 1u);
  EXPECT_EQ(Distance("panel", "pnael"), 1u);
  EXPECT_EQ(Distance("header", "haeder2"), 2u);
  EXPECT_EQ(Distance("toolbar", "tulbarr"), 3u);
  EXPECT_EQ(Distance("", "abc"), 3u);
  EXPECT_EQ(Distance("Main", "main"), 1u) << "byte-wise: case is an edit here";
  EXPECT_EQ(Distance("abcdef", "uvwxyz", 2), 3u) << "over the bound: bound + 1";
  EXPECT_EQ(Distance("a", "abcdefgh", 2), 3u);
}

// The (related ordinal, near miss) of the only unknown-layout finding of `markup`.
std::pair<std::uint32_t, std::string> Suggestion(const std::string& markup) {
  TreeBuilder builder;
  testing::Deliver(testing::ParseEvents(markup), builder);
  builder.FinishParse();
  for (const Finding& f : builder.GetFindings().List())
    if (f.kind == FindingKind::kUnknownLayout) return {f.related, f.other};
  ADD_FAILURE() << "no unknown-layout finding";
  return {};
}

TEST(SuggestionTest, TheNearestIdWithinAThirdOfTheLengthIsNamed) {
  // Ordinals: r 1, the id carrier 2, its child 3, the directive 4.
  EXPECT_EQ(Suggestion(R"(<r><a id="buttons"><x/></a><insertlayout layoutid="buttosn"/></r>)"),
            std::make_pair(2u, std::string("buttons")));
  EXPECT_EQ(Suggestion(R"(<r><a id="toolbar"><x/></a><insertlayout layoutid="tolbr"/></r>)"),
            std::make_pair(0u, std::string()))
      << "two edits in five bytes: over the bound";
  EXPECT_EQ(Suggestion(R"(<r><a id="navigation"><x/></a><insertlayout layoutid="nvagiaton"/></r>)"),
            std::make_pair(2u, std::string("navigation")))
      << "two edits in nine bytes";
  EXPECT_EQ(Suggestion(R"(<r><a id="mainwindowframe"><x/></a>)"
                       R"(<insertlayout layoutid="mianwindwofrmae"/></r>)"),
            std::make_pair(2u, std::string("mainwindowframe")))
      << "three edits in fifteen bytes";
  EXPECT_EQ(Suggestion(R"(<r><a id="ab"><x/></a><insertlayout layoutid="ac"/></r>)"),
            std::make_pair(0u, std::string()))
      << "ids under three bytes: case only";
  EXPECT_EQ(Suggestion(R"(<r><a id="Ab"><x/></a><insertlayout layoutid="ab"/></r>)"),
            std::make_pair(2u, std::string("Ab")));
  EXPECT_EQ(Suggestion(R"(<r><a id="menu"><x/></a><insertlayout layoutid="skin"/></r>)"),
            std::make_pair(0u, std::string()))
      << "nothing near";
}

TEST(SuggestionTest, NearestFirstThenTheIdWrittenFirst) {
  // Ordinals: r 1, "panels" 2, "panel1" 3, "PANEL" 4, the directive 5.
  EXPECT_EQ(Suggestion(R"(<r><a id="panels"/><b id="panel1"/><c id="PANEL"/>)"
                       R"(<insertlayout layoutid="panel"/></r>)"),
            std::make_pair(4u, std::string("PANEL")))
      << "a case-only difference is nearest";
  EXPECT_EQ(
      Suggestion(R"(<r><a id="panels"/><b id="panel1"/><insertlayout layoutid="panel"/></r>)"),
      std::make_pair(2u, std::string("panels")))
      << "a tie: the one written first";
}

TEST(SuggestionTest, IdsWrittenAfterTheDirectiveAreNamedToo) {
  // Ordinals: r 1, the directive 2, the id carrier 3.
  EXPECT_EQ(Suggestion(R"(<r><insertlayout layoutid="buttosn"/><a id="buttons"><x/></a></r>)"),
            std::make_pair(3u, std::string("buttons")));
  EXPECT_EQ(Suggestion(R"(<r><insertlayout layoutid="buttons"/><a id="buttons"><x/></a></r>)"),
            std::make_pair(3u, std::string()))
      << "the very id, later: no near miss";
}

}  // namespace
}  // namespace oxa
