// The engine's findings as records: what is wrong, where, how sure the
// engine is of the mend, and nothing of how it is shown. The renderers
// (text, JSON, SARIF, the language server) read these and nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics/source_text.h"

namespace oxa::tools {

// An edit that would mend a finding: the text from `start` up to (not
// including) `end` becomes `replacement`.
struct FixIt {
  enum class Action { kInsert, kDelete, kReplace };
  Position start, end;
  std::string replacement;
  // Whether the mend is certain (an editor may apply it as it stands), or a
  // suggestion to offer (the nearest id to a misspelt one).
  bool certain = true;

  // An insertion where start and end meet, a deletion where nothing replaces
  // the text, a replacement otherwise.
  Action WhatItDoes() const {
    return start == end          ? Action::kInsert
           : replacement.empty() ? Action::kDelete
                                 : Action::kReplace;
  }
};

// "insert", "delete" or "replace".
const char* ActionName(FixIt::Action action);

// What `fixit` does, in words for a note at its place: `insert "X" here`,
// `delete from here up to L:C`, `replace this with "X"` (a line end in X
// written as \n).
std::string DescribeHere(const FixIt& fixit);

// What `fixit` does, in words that stand alone: `insert "X" at L:C`,
// `delete L:C up to L:C`, `replace L:C up to L:C with "X"`.
std::string Describe(const FixIt& fixit);

// A related place a finding points to.
struct Note {
  Position at;
  std::string message;
  std::uint32_t length = 0;  // the characters it concerns, for the underline
};

// One finding. The engine leaves `file` empty; whoever reads the document
// from a file names it.
struct Record {
  std::string file;
  Position at;               // 0:0 for a finding about the whole file
  std::uint32_t length = 0;  // the characters from `at` it concerns (on `at`'s line)
  bool error = false;        // an error; a warning that a policy made one included
  std::string kind;          // its kind's name (finding_kinds.h)
  std::string message;
  std::vector<Note> notes;
  std::vector<FixIt> fixits;  // edits to apply together
};

}  // namespace oxa::tools
