// The findings engine: what a layout author is told about one compiled
// document, as records (record.h). Its failure in the author's terms, the
// compiler's findings placed at the elements they name, text that the
// compiled format drops, and a declared encoding that the bytes contradict.
// The compiler's findings name elements by the ordinal of their start
// event; the document is parsed again (host::ScanDocument) to place them,
// and only when there is something to report.
//
// The engine holds no state between calls, prints nothing, reads no file and
// never ends the process: a long-running process (the language server) can
// call it on every change. What differs by system comes in as a parameter.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <xmlcompiler/host/plugin_host.h>

#include "diagnostics/record.h"
#include "diagnostics/source_text.h"
#include "diagnostics/warning_policy.h"

namespace oxa::tools {

// What the engine reads of one compile.
struct Compilation {
  HResult hr = kOk;
  const host::ParseReport* parse = nullptr;
  const std::vector<host::CompileFinding>* findings = nullptr;
};

// The compile a host session made.
inline Compilation CompilationOf(const host::CompilerSession::Result& result) {
  return {result.hr, &result.parse, &result.findings};
}

// What the engine needs to know of the system it runs on.
struct EngineSettings {
  // The system's code page for text files ("CP" and its number), a strong
  // hint for an undeclared document's encoding; "" for none.
  std::string systemCodePage;
};

struct Diagnosis {
  // Every finding in document order, each at its default severity: apply a
  // policy (ApplyPolicy) for what is shown and what is an error.
  std::vector<Record> records;
  // When the records' positions count in another reading of the bytes than
  // the text given (an undeclared document clearly written in another
  // encoding), that reading; null otherwise.
  std::unique_ptr<SourceText> reading;

  // The text the records' positions count in.
  const SourceText& TextFor(const SourceText& given) const { return reading ? *reading : given; }
};

// Whether the compile has nothing to report, so that its text need not be
// read at all.
bool NothingToReport(const Compilation& compilation);

// The findings of `compilation`, of the document whose text is `source`.
// Throws std::bad_alloc when memory runs out, and nothing else.
Diagnosis Diagnose(const Compilation& compilation, const SourceText& source,
                   const EngineSettings& settings);

// A failure outside the compile (reading, writing) as a record: no position.
Record FileError(const std::string& file, const std::string& message);

// Applies `policy` to records of the default severity: drops the warnings it
// hides, and makes errors of those it makes errors.
void ApplyPolicy(const WarningPolicy& policy, std::vector<Record>* records);

// Whether any of `records` is an error.
bool AnyError(const std::vector<Record>& records);

}  // namespace oxa::tools
