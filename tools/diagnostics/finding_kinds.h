// Every kind of finding xmlc reports, in one table. A kind has the name that
// -W options, "[-WKIND]" and JSON's "kind" use; a SARIF rule, which is a
// stable opaque id and a friendly name; whether it is a warning (subject to
// the -W options) or an error; and one line of help, which --help and the
// SARIF rules give it. The man page's DIAGNOSTICS section holds a copy of
// the table, which a test checks against this one.
#pragma once

#include <span>
#include <string_view>

#include <xmlcompiler/host/plugin_host.h>

namespace oxa::tools {

struct FindingKindInfo {
  const char* name;          // "unknown-layout"
  const char* ruleId;        // "XMLC1002": stable, never reused for another kind
  const char* ruleName;      // "UnknownLayout": SARIF's friendly name
  bool warning;              // a warning; false: an error, which no option turns off
  FindingKind compilerKind;  // the compiler's finding of this kind; FindingKind{} for none
  const char* help;          // one line, lower case, no full stop
};

// The names of the kinds the tool itself reports.
inline constexpr char kTextDropped[] = "text-dropped";
inline constexpr char kEncodingMismatch[] = "encoding-mismatch";
inline constexpr char kMalformedXml[] = "malformed-xml";
inline constexpr char kBadEncoding[] = "bad-encoding";
inline constexpr char kOutOfMemoryKind[] = "out-of-memory";
inline constexpr char kCompileFailed[] = "compile-failed";
inline constexpr char kFileError[] = "file-error";

// Every kind: the warnings first, in the order help lists them, then the errors.
std::span<const FindingKindInfo> FindingKinds();

// The kind named `name`, or null.
const FindingKindInfo* FindKind(std::string_view name);

// The kind of the compiler's finding `kind`, or null for one this tool does not know.
const FindingKindInfo* KindOf(FindingKind kind);

}  // namespace oxa::tools
