// The one reader of the compiled document format: a strict decoder that
// checks every tag, length, count, offset and index, that the string table is
// sorted and unique and that chunks nest exactly, never reading out of
// bounds; and three renderings of what it decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace oxa::tools {

struct DecodedElement {
  std::uint32_t offset;          // of its ElementChunk
  std::uint32_t name;            // string index
  std::uint32_t firstAttribute;  // into DecodedDocument::attributes
  std::uint32_t attributeCount;
  std::uint32_t childCount;
  std::uint32_t depth;  // the root has depth 0
};

struct DecodedDocument {
  std::vector<std::string_view> strings;                            // views into the decoded bytes
  std::vector<std::pair<std::uint32_t, std::uint32_t>> attributes;  // name, value indices
  std::vector<DecodedElement> elements;                             // in pre-order
};

struct DecodeError {
  std::uint64_t offset = 0;
  std::string what;
};

// Decodes `size` bytes at `data`, which must stay alive while `doc` is used.
// False with the first fault in `error`.
bool Decode(const std::uint8_t* data, std::size_t size, DecodedDocument* doc, DecodeError* error);

// Indented, namespace-well-formed XML that compiles back to the same
// document: attributes in stored order; a stored name "URI:local" (split at
// the last ':') is written with a prefix n1, n2, ... declared on the element
// where its namespace is first needed (the XML namespace keeps "xml").
// Returns false, writing nothing, with `error` naming the first name or value
// that cannot be written so.
bool WriteXml(const DecodedDocument& doc, std::ostream& out, std::string* error);
// The string table and the tree as JSON, for tools:
//   {"strings": [TEXT...],
//    "elements": [{"name": INDEX, "parent": ELEMENT|null, "depth": N,
//                  "attributes": [[NAME, VALUE]...]}...]}
// with the elements in document order (pre-order), each naming its parent's
// position in that list, and every name and value as an index into "strings".
// Returns false, writing nothing, with `error` set when a string is not UTF-8.
bool WriteJson(const DecodedDocument& doc, std::ostream& out, std::string* error);
// A compact tree with the string indices.
void WriteTree(const DecodedDocument& doc, std::ostream& out);
// An annotated listing of every field with its offset, bytes and value.
void WriteChunks(const DecodedDocument& doc, const std::uint8_t* data, std::ostream& out);

}  // namespace oxa::tools
