// The named character entities of HTML 4, for the fix-it that turns one
// into the character reference XML understands.
#pragma once

#include <string>

namespace oxa::tools {

// The character HTML 4 names `name` (without '&' and ';'); false when it names none.
bool HtmlEntity(const std::string& name, char32_t* codePoint);

}  // namespace oxa::tools
