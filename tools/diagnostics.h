// What xmlc tells a layout author about one compiled document, as gcc tells
// it: "FILE:LINE:COL: warning: MESSAGE [-Wkind]", "FILE:LINE:COL: error:
// MESSAGE", notes for related places, each followed by its source line in
// UTF-8 (whatever the document's encoding) with a caret under the column,
// the token underlined and a fix-it's replacement below. Columns count code
// points. The compiler's findings name elements by the ordinal of their
// start event; the document is parsed again, and its text decoded, only
// when there is something to report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <xmlcompiler/host/plugin_host.h>

#include "finding_kinds.h"
#include "source_text.h"
#include "warning_policy.h"

namespace oxa::tools {

// A replacement that would mend a finding: the text from `start` up to (not
// including) `end` becomes `replacement`; an insertion when they are equal.
struct FixIt {
  Position start, end;
  std::string replacement;
};

// One diagnostic as data, for the json and sarif formats.
struct Record {
  std::string file;
  Position at;
  bool error = false;  // an error (a warning under -Werror included)
  std::string kind;    // its kind's name (finding_kinds.h)
  std::string message;
  struct Note {
    Position at;
    std::string message;
    std::uint32_t length = 0;  // the characters it concerns, for the underline
  };
  std::vector<Note> notes;
  std::vector<FixIt> fixits;
  std::uint32_t length = 0;  // the characters from `at` it concerns, for the underline
};

struct Diagnosis {
  std::string text;             // every line to print, in document order
  std::vector<Record> records;  // the same, as data
  unsigned warnings = 0;        // warnings printed as warnings
  unsigned errors = 0;          // errors printed (warnings under -Werror included)
  bool failed = false;          // no output may be written
};

// Diagnoses the compile of `file` (shown as given): its failure, the
// compiler's findings, and text that the compiled format drops. With
// `color`, the text has gcc's colours (SGR escapes).
Diagnosis Diagnose(const std::string& file, const host::CompilerSession::Result& result,
                   const WarningPolicy& policy, bool color = false);

// A failure outside the compile (reading, writing), as Diagnose gives its
// findings: "FILE: error: MESSAGE".
Diagnosis FileError(const std::string& file, const std::string& message, bool color = false);

// How diagnostics are written: as gcc's text, or as one JSON array or one
// SARIF 2.1.0 log for the whole run.
enum class DiagnosticsFormat { kText, kJson, kSarif };

// The JSON array of `records`, one object per diagnostic: file, line,
// column, severity, kind, option (-WKIND, for warnings), message, notes (each
// with file, line, column and message) and fixits (line, column, endLine,
// endColumn, replacement). A place without a position has no line or column.
std::string JsonOf(const std::vector<Record>& records);

// A SARIF 2.1.0 log of one run of xmlc (`version`): a rule per finding
// kind, a result per record with its rule and physical location, the notes
// as related locations and the fix-its as fixes.
std::string SarifOf(const std::vector<Record>& records, const std::string& version);

}  // namespace oxa::tools
