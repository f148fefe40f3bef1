// The findings as data for tools: one JSON array, or one SARIF 2.1.0 log,
// for a whole run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "diagnostics/record.h"

namespace oxa::tools {

// The JSON array of `records`, one object per finding: file, line, column,
// endLine and endColumn (the range it concerns, exclusive), severity, kind,
// option (-WKIND, for warnings), message, notes (each with file, line,
// column, the range's end and message) and fixits (line, column, endLine,
// endColumn, replacement, action: insert, delete or replace, and certain:
// false for a suggestion). A place without a position has no line or column.
std::string JsonOf(const std::vector<Record>& records);

// A SARIF 2.1.0 log of one run of xmlc (`version`): a rule per finding
// kind, a result per record with its rule and physical location, the notes
// as related locations and the fix-its as one fix, described edit by edit.
// `uriOf` turns a file's name into its artifact URI.
std::string SarifOf(const std::vector<Record>& records, const std::string& version,
                    const std::function<std::string(const std::string&)>& uriOf);

}  // namespace oxa::tools
