// Decoder and renderings of compiled documents.
#include "compiled_document.h"

#include <cstdio>
#include <cstring>

namespace oxa::tools {
namespace {

constexpr std::uint32_t kDocument = 0, kStringTable = 1, kTree = 2, kElement = 3, kAttributes = 4,
                        kChildren = 5;

// Bounds-checked reads over the decoded bytes; offsets are 64-bit so that no
// sum of 32-bit fields can wrap.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size, DecodeError* error)
      : data_(data), size_(size), error_(error) {}

  bool Fail(std::uint64_t offset, std::string what) {
    error_->offset = offset;
    error_->what = std::move(what);
    return false;
  }
  // The u32 at `at`, which must end at or before `limit`.
  bool Word(std::uint64_t at, std::uint64_t limit, std::uint32_t* value, const char* field) {
    if (at + 4 > limit || at + 4 > size_) {
      return Fail(at, std::string("truncated: ") + field + " runs past the end of its chunk");
    }
    const std::uint8_t* p = data_ + at;
    *value = p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return true;
  }
  // A chunk header at `at` inside [.., limit): checks the tag and that the body fits.
  bool Chunk(std::uint64_t at, std::uint64_t limit, std::uint32_t tag, const char* name,
             std::uint64_t* bodyEnd) {
    std::uint32_t actual = 0, length = 0;
    if (!Word(at, limit, &actual, "chunk tag")) return false;
    if (actual != tag) {
      return Fail(at, "expected " + std::string(name) + " (tag " + std::to_string(tag) +
                          "), found tag " + std::to_string(actual));
    }
    if (!Word(at + 4, limit, &length, "chunk length")) return false;
    *bodyEnd = at + 8 + length;
    if (*bodyEnd > limit) {
      return Fail(at + 4, std::string(name) + " length " + std::to_string(length) +
                              " runs past the end of its enclosing chunk");
    }
    return true;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  DecodeError* error_;
};

bool DecodeStrings(Reader& r, std::uint64_t at, std::uint64_t end, DecodedDocument* doc) {
  std::uint32_t count = 0;
  if (!r.Word(at, end, &count, "string count")) return false;
  const std::uint64_t offsetsAt = at + 4;
  const std::uint64_t dataAt = offsetsAt + 4 * (std::uint64_t{count} + 1);
  if (dataAt > end)
    return r.Fail(at, "string count " + std::to_string(count) + " does not fit the table");
  std::uint32_t total = 0;
  r.Word(dataAt - 4, end, &total, "end offset");
  if (dataAt + total != end) {
    return r.Fail(dataAt - 4,
                  "end offset " + std::to_string(total) + " does not match the table length");
  }
  doc->strings.clear();
  doc->strings.reserve(count);
  std::uint32_t previous = 0;
  for (std::uint32_t i = 0; i <= count; ++i) {
    std::uint32_t offset = 0;
    r.Word(offsetsAt + 4 * std::uint64_t{i}, end, &offset, "string offset");
    if (i == 0 && offset != 0) return r.Fail(offsetsAt, "the first string offset is not 0");
    if (i == 0) continue;
    if (offset <= previous || offset > total || (i == count && offset != total)) {
      return r.Fail(offsetsAt + 4 * std::uint64_t{i},
                    "string offset " + std::to_string(offset) + " out of order");
    }
    const char* chars = reinterpret_cast<const char*>(r.data_ + dataAt + previous);
    const std::size_t length = offset - previous - 1;
    if (chars[length] != '\0' || std::memchr(chars, 0, length) != nullptr) {
      return r.Fail(dataAt + previous,
                    "string " + std::to_string(i - 1) + " is not one zero-terminated text");
    }
    const std::string_view s(chars, length);
    if (!doc->strings.empty() && !(doc->strings.back() < s)) {  // unsigned byte order, unique
      return r.Fail(dataAt + previous,
                    "string " + std::to_string(i - 1) + " is not above the one before it");
    }
    doc->strings.push_back(s);
    previous = offset;
  }
  return true;
}

// One element's header: name, attributes, and the children chunk's extent.
bool DecodeElement(Reader& r, std::uint64_t at, std::uint64_t limit, std::uint32_t depth,
                   DecodedDocument* doc, std::uint64_t* childrenAt, std::uint64_t* elementEnd) {
  if (!r.Chunk(at, limit, kElement, "ElementChunk", elementEnd)) return false;
  DecodedElement e{static_cast<std::uint32_t>(at),
                   0,
                   static_cast<std::uint32_t>(doc->attributes.size()),
                   0,
                   0,
                   depth};
  const auto strings = static_cast<std::uint32_t>(doc->strings.size());
  if (!r.Word(at + 8, *elementEnd, &e.name, "name index")) return false;
  if (e.name >= strings)
    return r.Fail(at + 8, "name index " + std::to_string(e.name) + " out of range");
  std::uint64_t attributesEnd = 0;
  if (!r.Chunk(at + 12, *elementEnd, kAttributes, "AttributesChunk", &attributesEnd)) return false;
  if (!r.Word(at + 20, attributesEnd, &e.attributeCount, "attribute count")) return false;
  if (at + 24 + 8 * std::uint64_t{e.attributeCount} != attributesEnd) {
    return r.Fail(at + 20, "attribute count " + std::to_string(e.attributeCount) +
                               " does not match the chunk length");
  }
  for (std::uint32_t i = 0; i < e.attributeCount; ++i) {
    std::uint32_t name = 0, value = 0;
    const std::uint64_t pair = at + 24 + 8 * std::uint64_t{i};
    r.Word(pair, attributesEnd, &name, "attribute name");
    r.Word(pair + 4, attributesEnd, &value, "attribute value");
    if (name >= strings)
      return r.Fail(pair, "attribute name index " + std::to_string(name) + " out of range");
    if (value >= strings)
      return r.Fail(pair + 4, "attribute value index " + std::to_string(value) + " out of range");
    doc->attributes.emplace_back(name, value);
  }
  std::uint64_t childrenEnd = 0;
  if (!r.Chunk(attributesEnd, *elementEnd, kChildren, "ChildrenChunk", &childrenEnd)) return false;
  if (childrenEnd != *elementEnd) {
    return r.Fail(attributesEnd, "ElementChunk holds bytes after its ChildrenChunk");
  }
  if (!r.Word(attributesEnd + 8, childrenEnd, &e.childCount, "child count")) return false;
  *childrenAt = attributesEnd + 12;
  doc->elements.push_back(e);
  return true;
}

void Escape(std::ostream& out, std::string_view text, bool attribute) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out << "&amp;";
        break;
      case '<':
        out << "&lt;";
        break;
      case '>':
        out << "&gt;";
        break;
      case '"':
        if (attribute) {
          out << "&quot;";
        } else {
          out << c;
        }
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out << "&#" << static_cast<int>(c) << ';';
        } else {
          out << c;
        }
    }
  }
}

void Indent(std::ostream& out, std::uint32_t depth) {
  constexpr std::uint32_t kMaxIndent = 40;  // deeper levels share the last indentation
  for (std::uint32_t i = 0; i < depth && i < kMaxIndent; ++i) out << "  ";
}

}  // namespace

bool Decode(const std::uint8_t* data, std::size_t size, DecodedDocument* doc, DecodeError* error) {
  *doc = DecodedDocument();
  Reader r(data, size, error);
  std::uint64_t documentEnd = 0;
  if (!r.Chunk(0, size, kDocument, "DocumentChunk", &documentEnd)) return false;
  if (documentEnd != size) return r.Fail(documentEnd, "bytes follow the end of the DocumentChunk");
  std::uint64_t tableEnd = 0;
  if (!r.Chunk(8, documentEnd, kStringTable, "StringTableChunk", &tableEnd)) return false;
  if (!DecodeStrings(r, 16, tableEnd, doc)) return false;
  std::uint64_t treeEnd = 0;
  if (!r.Chunk(tableEnd, documentEnd, kTree, "TreeChunk", &treeEnd)) return false;
  if (treeEnd != documentEnd)
    return r.Fail(treeEnd, "the DocumentChunk holds bytes after its TreeChunk");

  struct Frame {
    std::uint64_t next;  // where the next child starts
    std::uint64_t end;   // end of the children chunk
    std::uint32_t remaining;
  };
  std::vector<Frame> stack;
  std::uint64_t childrenAt = 0, elementEnd = 0;
  if (!DecodeElement(r, tableEnd + 8, treeEnd, 0, doc, &childrenAt, &elementEnd)) return false;
  if (elementEnd != treeEnd) return r.Fail(elementEnd, "the TreeChunk holds more than one element");
  stack.push_back({childrenAt, elementEnd, doc->elements.back().childCount});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.remaining == 0) {
      if (frame.next != frame.end)
        return r.Fail(frame.next, "a ChildrenChunk holds bytes after its last child");
      stack.pop_back();
      continue;
    }
    if (frame.next == frame.end)
      return r.Fail(frame.next, "a ChildrenChunk holds fewer children than its count");
    --frame.remaining;
    const auto depth = static_cast<std::uint32_t>(stack.size());
    if (!DecodeElement(r, frame.next, frame.end, depth, doc, &childrenAt, &elementEnd))
      return false;
    frame.next = elementEnd;
    stack.push_back({childrenAt, elementEnd, doc->elements.back().childCount});
  }
  return true;
}

void WriteXml(const DecodedDocument& doc, std::ostream& out) {
  std::vector<std::uint32_t> open;  // element indices awaiting their end tag
  auto close = [&](std::uint32_t depth) {
    while (open.size() > depth) {
      const DecodedElement& e = doc.elements[open.back()];
      open.pop_back();
      Indent(out, e.depth);
      out << "</";
      Escape(out, doc.strings[e.name], false);
      out << ">\n";
    }
  };
  for (std::uint32_t i = 0; i < doc.elements.size(); ++i) {
    const DecodedElement& e = doc.elements[i];
    close(e.depth);
    Indent(out, e.depth);
    out << '<';
    Escape(out, doc.strings[e.name], false);
    for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
      const auto& [name, value] = doc.attributes[e.firstAttribute + a];
      out << ' ';
      Escape(out, doc.strings[name], false);
      out << "=\"";
      Escape(out, doc.strings[value], true);
      out << '"';
    }
    if (e.childCount == 0) {
      out << "/>\n";
    } else {
      out << ">\n";
      open.push_back(i);
    }
  }
  close(0);
}

void WriteTree(const DecodedDocument& doc, std::ostream& out) {
  out << "strings " << doc.strings.size() << '\n';
  for (std::size_t i = 0; i < doc.strings.size(); ++i) {
    out << "  " << i << " \"";
    Escape(out, doc.strings[i], true);
    out << "\"\n";
  }
  out << "tree " << doc.elements.size() << " elements\n";
  for (const DecodedElement& e : doc.elements) {
    Indent(out, e.depth + 1);
    out << e.name << ' ' << doc.strings[e.name];
    for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
      const auto& [name, value] = doc.attributes[e.firstAttribute + a];
      out << "  " << name << '=' << value;
    }
    out << '\n';
  }
}

void WriteChunks(const DecodedDocument& doc, const std::uint8_t* data, std::ostream& out) {
  char line[200];
  auto word = [&](std::uint64_t at) {
    const std::uint8_t* p = data + at;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  };
  auto field = [&](std::uint64_t at, const char* name, const std::string& value) {
    const std::uint8_t* p = data + at;
    std::snprintf(line, sizeof(line), "%08llX  %02X %02X %02X %02X  %-28s %s\n",
                  static_cast<unsigned long long>(at), p[0], p[1], p[2], p[3], name, value.c_str());
    out << line;
  };
  auto number = [&](std::uint64_t at, const char* name) {
    field(at, name, std::to_string(word(at)));
  };
  auto indexed = [&](std::uint64_t at, const char* name) {
    const std::uint32_t index = word(at);
    field(at, name, std::to_string(index) + " '" + std::string(doc.strings[index]) + "'");
  };

  number(0, "DocumentChunk tag");
  number(4, "length");
  number(8, "StringTableChunk tag");
  number(12, "length");
  number(16, "string count");
  const std::uint64_t n = doc.strings.size();
  for (std::uint64_t i = 0; i < n; ++i) {
    number(20 + 4 * i, ("offset of string " + std::to_string(i)).c_str());
  }
  number(20 + 4 * n, "end offset");
  std::uint64_t at = 24 + 4 * n;
  for (std::uint64_t i = 0; i < n; ++i) {
    std::snprintf(line, sizeof(line), "%08llX  %-11s  %-28s '", static_cast<unsigned long long>(at),
                  "", ("string " + std::to_string(i)).c_str());
    out << line << doc.strings[i] << "'\n";
    at += doc.strings[i].size() + 1;
  }
  number(at, "TreeChunk tag");
  number(at + 4, "length");
  for (const DecodedElement& e : doc.elements) {
    const std::uint64_t o = e.offset;
    number(o, "ElementChunk tag");
    number(o + 4, "length");
    indexed(o + 8, "name index");
    number(o + 12, "AttributesChunk tag");
    number(o + 16, "length");
    number(o + 20, "attribute count");
    for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
      indexed(o + 24 + 8 * a, "attribute name index");
      indexed(o + 28 + 8 * a, "attribute value index");
    }
    const std::uint64_t c = o + 24 + 8 * std::uint64_t{e.attributeCount};
    number(c, "ChildrenChunk tag");
    number(c + 4, "length");
    number(c + 8, "child count");
  }
}

}  // namespace oxa::tools
