// A start or end tag read back from a document's text, for the messages
// that name what the author wrote and the fix-its that edit it. Reading is
// forgiving: it stops where the markup stops making sense, and says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/source_text.h"

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

// Where the XML declaration at the start of `head` (a document's first
// characters) puts its parts: indices into `head`. The one reader of
// declarations, for the encoding a document's bytes declare and for the
// fix-its that edit a declaration.
struct DeclarationSpan {
  bool present = false;  // whether `head` starts with "<?xml"
  bool hasVersion = false;
  std::size_t afterVersion = 0;  // just after the version value's closing quote
  bool hasEncoding = false;
  std::size_t encodingBegin = 0, encodingEnd = 0;  // the encoding's name
};
DeclarationSpan ScanDeclaration(std::u32string_view head);

// The XML declaration at the document's start, if there is one, in positions.
struct Declaration {
  bool present = false;
  Position afterVersion;             // just after the version value's closing quote
  Position encodingAt, encodingEnd;  // the encoding's name (both 0 when none is given)
};
bool ReadDeclaration(const SourceText& source, Declaration* declaration);

// Whether `c` may be part of an XML name (ASCII letters, digits, '_', ':',
// '-', '.', and every character from U+00B7 on).
bool NameCharacter(char32_t c);

// Whether `c` ends an attribute value written without quotes, as the
// forgiving reader takes one: white space, the tag's end, or the next tag.
bool EndsUnquotedValue(char32_t c);

// Reads the tag whose '<' is at `open`; false when there is no tag there.
bool ReadTag(const SourceText& source, Position open, Tag* tag);

// The prefix of a qualified name ("" for none), and its local part.
std::u32string PrefixOf(const std::u32string& name);
std::u32string LocalOf(const std::u32string& name);

}  // namespace oxa::tools
