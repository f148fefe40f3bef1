// Renderings of a checked compiled document (see xmlcompiler/format/document_reader.h)
// for xmlc dump: XML, JSON, a compact tree and an annotated byte listing.
#pragma once

#include <ostream>
#include <string>

#include <xmlcompiler/format/document_reader.h>

namespace oxa::tools {

// Indented, namespace-well-formed XML that compiles back to the same
// document: attributes in stored order; a stored name "URI:local" (split at
// the last ':') is written with a prefix n1, n2, ... declared on the element
// where its namespace is first needed (the XML namespace keeps "xml").
// Returns false, writing nothing, with `error` naming the first name or value
// that cannot be written so.
bool WriteXml(const reader::Document& doc, std::ostream& out, std::string* error);
// The string table and the tree as JSON, for tools:
//   {"strings": [TEXT...],
//    "elements": [{"name": INDEX, "parent": ELEMENT|null, "depth": N,
//                  "attributes": [[NAME, VALUE]...]}...]}
// with the elements in document order (pre-order), each naming its parent's
// position in that list, and every name and value as an index into "strings".
// Returns false, writing nothing, with `error` set when a string is not UTF-8.
bool WriteJson(const reader::Document& doc, std::ostream& out, std::string* error);
// A compact tree with the string indices.
void WriteTree(const reader::Document& doc, std::ostream& out);
// An annotated listing of every field with its offset, bytes and value.
void WriteChunks(const reader::Document& doc, std::ostream& out);

}  // namespace oxa::tools
