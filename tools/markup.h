// A start or end tag read back from a document's text, for the messages
// that name what the author wrote and the fix-its that edit it. Reading is
// forgiving: it stops where the markup stops making sense, and says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source_text.h"

namespace oxa::tools {

struct Tag {
  Position open;        // the '<'
  bool end = false;     // an end tag: "</name>"
  std::u32string name;  // as written, prefix included
  Position nameAt;
  struct Attribute {
    std::u32string name;
    Position nameAt;
    char32_t quote = 0;   // 0: the value is not quoted
    Position valueAt;     // the value's first character (after the quote)
    Position valueEnd;    // the closing quote, or the position after the value
    bool closed = false;  // whether its closing quote was found
    std::u32string value;
  };
  std::vector<Attribute> attributes;
  bool complete = false;  // whether the tag's '>' was found
  Position close;         // the '>', when complete
};

// The XML declaration at the document's start, if there is one.
struct Declaration {
  bool present = false;
  Position afterVersion;             // just after the version value's closing quote
  Position encodingAt, encodingEnd;  // the encoding's name (both 0 when none is given)
};
bool ReadDeclaration(SourceText& source, Declaration* declaration);

// Whether `c` may be part of an XML name (ASCII letters, digits, '_', ':',
// '-', '.', and every character from U+00B7 on).
bool NameCharacter(char32_t c);

// Reads the tag whose '<' is at `open`; false when there is no tag there.
bool ReadTag(SourceText& source, Position open, Tag* tag);

// The prefix of a qualified name ("" for none), and its local part.
std::u32string PrefixOf(const std::u32string& name);
std::u32string LocalOf(const std::u32string& name);

}  // namespace oxa::tools
