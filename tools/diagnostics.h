// What xmlc tells a layout author about one compiled document, as gcc tells
// it: "FILE:LINE:COL: warning: MESSAGE [-Wkind]", "FILE:LINE:COL: error:
// MESSAGE", notes for related places, each followed by its source line with
// a caret under the column. The compiler's findings name elements by the
// ordinal of their start event; the document is parsed again for positions
// only when there is something to report.
#pragma once

#include <set>
#include <string>

#include <xmlcompiler/host/plugin_host.h>

namespace oxa::tools {

// -w, -Werror and -Wno-KIND.
struct WarningPolicy {
  bool none = false;          // -w: no warnings at all
  bool asErrors = false;      // -Werror: every warning shown is an error
  std::set<std::string> off;  // -Wno-KIND

  bool Shows(const std::string& kind) const { return !none && off.count(kind) == 0; }
};

// The name of every warning kind, as -Wno-KIND and [-WKIND] spell it.
const std::set<std::string>& WarningKinds();

struct Diagnosis {
  std::string text;       // every line to print, in document order
  unsigned warnings = 0;  // warnings printed as warnings
  unsigned errors = 0;    // errors printed (warnings under -Werror included)
  bool failed = false;    // no output may be written
};

// Diagnoses the compile of `file` (shown as given): its failure, the
// compiler's findings, and text that the compiled format drops.
Diagnosis Diagnose(const std::string& file, const host::CompilerSession::Result& result,
                   const WarningPolicy& policy);

}  // namespace oxa::tools
