// The warning options as gcc reads them, "did you mean", and the tables of
// finding kinds and of encodings against the man page that documents them.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <xmlcompiler/host/legacy_encoding.h>

#include "diagnostics/finding_kinds.h"
#include "diagnostics/suggestions.h"
#include "diagnostics/warning_policy.h"

namespace {

using oxa::tools::Closest;
using oxa::tools::FindingKindInfo;
using oxa::tools::FindingKinds;
using oxa::tools::WarningPolicy;

// The policy after `options` (each as written after -W; "w" alone is -w).
WarningPolicy After(const std::vector<std::string>& options) {
  WarningPolicy policy;
  for (const std::string& option : options) {
    std::string error;
    if (option == "w") {
      policy.HideAll();
    } else {
      EXPECT_TRUE(policy.Apply(option, "-W", &error)) << option << ": " << error;
    }
  }
  return policy;
}

// "shown", "error" or "hidden": what becomes of a warning of `kind`.
std::string Fate(const WarningPolicy& policy, const std::string& kind) {
  if (!policy.Shows(kind)) return "hidden";
  return policy.IsError(kind) ? "error" : "shown";
}

TEST(WarningPolicyTest, ReadsOptionsAsGccDoes) {
  const struct {
    std::vector<std::string> options;
    std::string textDropped, unknownLayout;
  } cases[] = {
      {{}, "shown", "shown"},
      {{"error"}, "error", "error"},
      {{"error", "no-error"}, "shown", "shown"},
      {{"error", "no-error=text-dropped"}, "shown", "error"},
      {{"no-error=text-dropped", "error"}, "shown", "error"},  // the kind's own option wins
      {{"error=text-dropped"}, "error", "shown"},
      {{"error=text-dropped", "no-error=text-dropped"}, "shown", "shown"},
      // -Werror=KIND turns KIND on; a later -Wno-KIND turns it off again.
      {{"no-text-dropped", "error=text-dropped"}, "error", "shown"},
      {{"error=text-dropped", "no-text-dropped"}, "hidden", "shown"},
      {{"no-text-dropped", "text-dropped"}, "shown", "shown"},
      // -Wall never undoes a -Wno-KIND, before it or after.
      {{"no-text-dropped", "all"}, "hidden", "shown"},
      {{"all", "extra", "no-text-dropped"}, "hidden", "shown"},
      // -w hides every warning, those made errors too.
      {{"w", "error=text-dropped"}, "hidden", "hidden"},
      {{"error", "w"}, "hidden", "hidden"},
  };
  for (const auto& c : cases) {
    const WarningPolicy policy = After(c.options);
    std::string given;
    for (const std::string& option : c.options) given += " -" + option;
    EXPECT_EQ(Fate(policy, "text-dropped"), c.textDropped) << given;
    EXPECT_EQ(Fate(policy, "unknown-layout"), c.unknownLayout) << given;
  }
}

TEST(WarningPolicyTest, ErrorsAreNeverHiddenNorWarnings) {
  const WarningPolicy policy = After({"w", "no-error"});
  for (const FindingKindInfo& kind : FindingKinds()) {
    if (kind.warning) continue;
    EXPECT_TRUE(policy.Shows(kind.name)) << kind.name;
    EXPECT_TRUE(policy.IsError(kind.name)) << kind.name;
  }
}

TEST(WarningPolicyTest, AnUnknownOptionIsRefusedWithTheNearestOne) {
  const struct {
    std::string option, prefix, message;
  } cases[] = {
      {"unknwn-layout", "-W",
       "unknown warning option '-Wunknwn-layout'; did you mean "
       "'-Wunknown-layout'?"},
      {"no-missing-layout-id", "-W",
       "unknown warning option '-Wno-missing-layout-id'; did you "
       "mean '-Wno-missing-layoutid'?"},
      {"eror=duplicate-id", "--warning=",
       "unknown warning option '--warning=eror=duplicate-id'; "
       "did you mean '--warning=error=duplicate-id'?"},
      {"no-error=empty-layuot", "-W",
       "unknown warning option '-Wno-error=empty-layuot'; did you "
       "mean '-Wno-error=empty-layout'?"},
      {"frobnicate", "-W", "unknown warning option '-Wfrobnicate'"},
      {"error=", "-W", "unknown warning option '-Werror='; did you mean '-Werror'?"},
      {"no-malformed-xml", "-W",
       "'-Wno-malformed-xml': malformed-xml is an error, not a warning: "
       "no option turns it off or on"},
  };
  for (const auto& c : cases) {
    WarningPolicy policy;
    std::string error;
    EXPECT_FALSE(policy.Apply(c.option, c.prefix, &error)) << c.option;
    EXPECT_EQ(error, c.message);
  }
}

TEST(SuggestionsTest, OffersOnlyACloseCandidate) {
  const std::vector<std::string> commands = {"compile", "check", "dump", "info", "record"};
  EXPECT_EQ(Closest("compil", commands), "compile");
  EXPECT_EQ(Closest("cmopile", commands), "compile");  // two letters swapped
  EXPECT_EQ(Closest("chekc", commands), "check");
  EXPECT_EQ(Closest("dmp", commands), "dump");
  EXPECT_EQ(Closest("frobnicate", commands), "");
  EXPECT_EQ(Closest("x", commands), "");
  EXPECT_EQ(Closest("check", commands), "") << "the word itself is no suggestion";
}

TEST(FindingKindsTest, NamesRulesAndIdsAreDistinctAndStable) {
  std::set<std::string> names, ids, ruleNames;
  bool errors = false;
  for (const FindingKindInfo& kind : FindingKinds()) {
    EXPECT_TRUE(names.insert(kind.name).second) << kind.name;
    EXPECT_TRUE(ids.insert(kind.ruleId).second) << kind.ruleId;
    EXPECT_TRUE(ruleNames.insert(kind.ruleName).second) << kind.ruleName;
    // SARIF: an opaque id and a friendly Pascal-case name that differs from it.
    EXPECT_EQ(std::string(kind.ruleId).rfind(kind.warning ? "XMLC1" : "XMLC0", 0), 0u);
    EXPECT_NE(std::string(kind.ruleName), kind.ruleId);
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(kind.ruleName[0])));
    EXPECT_FALSE(errors && kind.warning) << "the warnings come first: " << kind.name;
    errors = errors || !kind.warning;
    EXPECT_EQ(oxa::tools::FindKind(kind.name), &kind);
  }
}

std::string ReadSource(const std::string& path) {
  std::ifstream in(std::string(OXA_SOURCE_DIR) + "/" + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The man page as it reads: "\\-" is "-", fonts are dropped; with
// `joined`, its lines joined by spaces.
std::string ManualText(bool joined = false) {
  const std::string page = ReadSource("docs/xmlc.1");
  std::string text;
  for (std::size_t i = 0; i < page.size(); ++i) {
    if (page.compare(i, 2, "\\-") == 0) {
      text += '-';
      ++i;
    } else if (page.compare(i, 3, "\\fB") == 0 || page.compare(i, 3, "\\fR") == 0 ||
               page.compare(i, 3, "\\fI") == 0) {
      i += 2;
    } else {
      text += joined && page[i] == '\n' ? ' ' : page[i];
    }
  }
  return text;
}

// The man page lists every kind, with its rule id and its help line; the
// README's table, with its rule.
TEST(FindingKindsTest, TheManualAndTheReadmeDescribeEachKind) {
  const std::string text = ManualText();
  const std::string readme = ReadSource("README.md");
  ASSERT_FALSE(text.empty());
  for (const FindingKindInfo& kind : FindingKinds()) {
    const std::string entry = std::string(kind.name) + " (" + kind.ruleId + ")\n" + kind.help;
    EXPECT_NE(text.find(entry), std::string::npos) << "docs/xmlc.1 lacks:\n" << entry;
    const std::string row =
        "| `" + std::string(kind.name) + "` | " + kind.ruleId + " " + kind.ruleName + " |";
    EXPECT_NE(readme.find(row), std::string::npos) << "README.md lacks: " << row;
  }
}

// Every encoding the help offers on this system is one this system reads,
// and the man page's sentence for this system lists exactly those.
TEST(LayoutEncodingsTest, EachIsReadHereAndTheManualListsThisSystemsOwn) {
  std::string list;
  for (const oxa::host::EncodingFamily& family : oxa::host::LayoutEncodings()) {
    if (std::string(family.name).rfind("UTF-", 0) == 0) continue;  // expat's own
    XML_Encoding info{};
    EXPECT_EQ(oxa::host::LegacyEncodingHandler(nullptr, family.name, &info), XML_STATUS_OK)
        << family.name << " is offered but not read";
    if (info.release != nullptr) info.release(info.data);
    list += (list.empty() ? "" : ", ") + std::string(family.shown);
  }
  const std::string other = oxa::host::OtherLayoutEncodings();
  if (!other.empty()) list += ", and " + other;
#ifdef _WIN32
  const std::string sentence = "On Windows: " + list + ".";
#else
  const std::string sentence = "On Linux: " + list + ".";
#endif
  EXPECT_NE(ManualText(true).find(sentence), std::string::npos)
      << "docs/xmlc.1 lacks: " << sentence;
}

}  // namespace
