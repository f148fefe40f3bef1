// A malformed document's failure in its author's terms: what is wrong and
// where, worked out from expat's error code, the second parse's account of
// the document and the text itself, with notes at the related places and a
// fix-it wherever the mend is certain.
#pragma once

#include <memory>
#include <string>

#include <xmlcompiler/host/expat_parser.h>

#include "diagnostics/record.h"
#include "diagnostics/source_text.h"

namespace oxa::tools {

// The error record of the failed parse `parse` of the document in `source`
// (its file left empty). An undeclared document that is clearly written in
// another encoding is read in it (`systemCodePage` is a hint, as for
// GuessEncoding): `*reading` is then that reading, in which the record's
// positions count.
Record ExplainParseFailure(const host::ParseReport& parse, const host::DocumentScan& scan,
                           const SourceText& source, const std::string& systemCodePage,
                           std::unique_ptr<SourceText>* reading);

}  // namespace oxa::tools
