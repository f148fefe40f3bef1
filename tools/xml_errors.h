// A malformed document's failure in its author's terms: what is wrong and
// where, worked out from expat's error code, the second parse's account of
// the document and the text itself, with notes at the related places and a
// fix-it wherever the mend is certain.
#pragma once

#include <xmlcompiler/host/expat_parser.h>

#include "diagnostics.h"
#include "source_text.h"

namespace oxa::tools {

// The error record of the failed parse `parse` of the document in `source`
// (its file left empty). May read `source` in another encoding: the one an
// undeclared document is clearly written in.
Record ExplainParseFailure(const host::ParseReport& parse, const host::DocumentScan& scan,
                           SourceText& source);

// The warnings about a declared encoding that the bytes contradict: ISO-8859-1
// holding bytes 0x80-0x9F (windows-1252, as browsers read it), or a legacy
// encoding holding nothing but well-formed UTF-8.
std::vector<Record> EncodingWarnings(const std::string& declared, SourceText& source);

}  // namespace oxa::tools
