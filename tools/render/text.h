// The findings as gcc writes its diagnostics: "FILE:LINE:COL: warning:
// MESSAGE [-Wkind]", "FILE:LINE:COL: error: MESSAGE", notes for related
// places, each followed by its source line in UTF-8 (whatever the
// document's encoding) with a caret under the column, the token underlined
// and a fix-it's edit below. Columns count code points; the caret's place
// counts display cells (wide characters take two, tabs are kept). A line
// too long for a terminal is shown as a window around the column, each cut
// side marked "...".
#pragma once

#include <string>
#include <vector>

#include "diagnostics/record.h"
#include "diagnostics/source_text.h"

namespace oxa::tools {

// The lines of `records`, in their order. `text` is the document they are
// about (null for none: then no source lines); with `color`, gcc's colours
// (SGR escapes).
std::string RenderText(const std::vector<Record>& records, const SourceText* text, bool color);

// The longest source line shown whole, in characters; a longer one is
// shown as a window of about this many around the column.
inline constexpr std::size_t kExcerptWidth = 160;

}  // namespace oxa::tools
