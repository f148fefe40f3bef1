// Decoder and renderings of compiled documents.
#include "compiled_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include <nlohmann/json.hpp>

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

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// Decodes the UTF-8 character at `text[*at]`, advancing `*at`; false for
// malformed, overlong, surrogate or out-of-range sequences.
bool NextCodePoint(std::string_view text, std::size_t* at, std::uint32_t* cp) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(*at);
  std::size_t length;
  std::uint32_t value, min;
  if (lead < 0x80) {
    *cp = lead;
    ++*at;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (*at + length > text.size()) return false;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(*at + i) & 0xC0) != 0x80) return false;
    value = value << 6 | (byte(*at + i) & 0x3F);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *at += length;
  *cp = value;
  return true;
}

// XML 1.0's Char production.
bool IsXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Appends `text` escaped for an attribute value; false when it is not UTF-8
// made of XML characters.
bool AppendValue(std::string& out, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t start = at;
    std::uint32_t c;
    if (!NextCodePoint(text, &at, &c) || !IsXmlChar(c)) return false;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      // Written as references, or attribute-value normalisation would make them spaces.
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out.append(text.substr(start, at - start));
    }
  }
  return true;
}

// A cheap check of a local name: non-empty UTF-8 of XML characters, no
// character XML forbids in names, not starting as no name may. The parse of
// the finished text settles the finer rules of non-ASCII names.
bool PlausibleLocalName(std::string_view name) {
  if (name.empty()) return false;
  const char first = name[0];
  if (first == '-' || first == '.' || (first >= '0' && first <= '9')) return false;
  for (std::size_t at = 0; at < name.size();) {
    std::uint32_t c;
    if (!NextCodePoint(name, &at, &c) || !IsXmlChar(c)) return false;
    if (c < 0x80 && !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || c == '.'))
      return false;
  }
  return true;
}

// Gives each namespace of a document one prefix (n1, n2, ... in order of first
// use) and tracks which are declared on the open elements.
class NamespaceScope {
 public:
  // The qualified name for the stored `name` on an element at `depth`;
  // appends a declaration to `declarations` when its namespace is not yet in
  // scope. False with `error` set when it cannot be written.
  bool Qualify(std::string_view name, bool attribute, std::uint32_t depth, std::string* qualified,
               std::string* declarations, std::string* error) {
    const std::size_t colon = name.rfind(':');
    const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    const auto quoted = [&] {
      std::string q;
      for (const char c : name) q += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
      return "\"" + q + "\"";
    };
    if (!PlausibleLocalName(local)) {
      *error = "the name " + quoted() + " is not a valid XML name";
      return false;
    }
    if (colon == std::string_view::npos) {
      if (attribute && name == "xmlns") {
        *error = "the attribute name \"xmlns\" would declare a namespace";
        return false;
      }
      *qualified = std::string(name);
      return true;
    }
    const std::string_view uri = name.substr(0, colon);
    if (uri == kXmlNamespace) {
      *qualified = "xml:" + std::string(local);
      return true;
    }
    if (uri.empty() || uri == kXmlnsNamespace) {
      *error = "the name " + quoted() + " has a namespace no prefix may be bound to";
      return false;
    }
    auto [entry, added] = numbers_.emplace(std::string(uri), numbers_.size() + 1);
    const std::string prefix = "n" + std::to_string(entry->second);
    bool inScope = false;
    for (const auto& open : open_) inScope = inScope || open.first == entry->second;
    if (!inScope) {
      std::string value;
      if (!AppendValue(value, uri)) {
        *error = "the namespace of the name " + quoted() + " is not UTF-8 XML text";
        return false;
      }
      *declarations += " xmlns:" + prefix + "=\"" + value + "\"";
      open_.emplace_back(entry->second, depth);
    }
    *qualified = prefix + ":" + std::string(local);
    return true;
  }
  // Forgets the declarations of elements at `depth` and deeper.
  void Close(std::uint32_t depth) {
    while (!open_.empty() && open_.back().second >= depth) open_.pop_back();
  }

 private:
  std::map<std::string, std::size_t> numbers_;
  std::vector<std::pair<std::size_t, std::uint32_t>> open_;  // prefix number, depth
};

}  // namespace

bool WriteXml(const DecodedDocument& doc, std::ostream& out, std::string* error) {
  std::string text;
  NamespaceScope scope;
  std::vector<std::pair<std::uint32_t, std::string>> open;  // depth and qualified name awaiting </>
  auto close = [&](std::uint32_t depth) {
    while (!open.empty() && open.back().first >= depth) {
      text.append(2 * std::min<std::uint32_t>(open.back().first, 40), ' ');
      text += "</" + open.back().second + ">\n";
      open.pop_back();
    }
    scope.Close(depth);
  };
  std::string qualified, declarations, attributes, value;
  for (std::uint32_t i = 0; i < doc.elements.size(); ++i) {
    const DecodedElement& e = doc.elements[i];
    close(e.depth);
    declarations.clear();
    attributes.clear();
    std::string elementName;
    if (!scope.Qualify(doc.strings[e.name], false, e.depth, &elementName, &declarations, error))
      return false;
    for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
      const auto& [name, valueIndex] = doc.attributes[e.firstAttribute + a];
      if (!scope.Qualify(doc.strings[name], true, e.depth, &qualified, &declarations, error))
        return false;
      value.clear();
      if (!AppendValue(value, doc.strings[valueIndex])) {
        *error = "the value of attribute \"" + qualified + "\" of element \"" + elementName +
                 "\" is not UTF-8 XML text";
        return false;
      }
      attributes += " " + qualified + "=\"" + value + "\"";
    }
    text.append(2 * std::min<std::uint32_t>(e.depth, 40), ' ');
    text += "<" + elementName + declarations + attributes;
    if (e.childCount == 0) {
      text += "/>\n";
      scope.Close(e.depth);
    } else {
      text += ">\n";
      open.emplace_back(e.depth, std::move(elementName));
    }
  }
  close(0);
  out << text;
  return true;
}

bool WriteJson(const DecodedDocument& doc, std::ostream& out, std::string* error) {
  using nlohmann::json;
  // One string or element a line; nothing nests deeper than three levels,
  // whatever the document's depth.
  std::string text = "{\"strings\": [";
  std::uint32_t at = 0;
  try {
    for (; at < doc.strings.size(); ++at) {
      text += at == 0 ? "\n " : ",\n ";
      text += json(std::string(doc.strings[at])).dump();
    }
  } catch (const json::exception&) {
    *error = "cannot be written as JSON: string " + std::to_string(at) + " is not UTF-8";
    return false;
  }
  text += "],\n\"elements\": [";
  std::vector<std::uint32_t> ancestors;  // element positions along the current path
  for (std::uint32_t i = 0; i < doc.elements.size(); ++i) {
    const DecodedElement& e = doc.elements[i];
    ancestors.resize(e.depth);
    json attributes = json::array();
    for (std::uint32_t a = 0; a < e.attributeCount; ++a) {
      const auto& [name, value] = doc.attributes[e.firstAttribute + a];
      attributes.push_back({name, value});
    }
    const json element = {{"name", e.name},
                          {"parent", ancestors.empty() ? json(nullptr) : json(ancestors.back())},
                          {"depth", e.depth},
                          {"attributes", std::move(attributes)}};
    text += i == 0 ? "\n " : ",\n ";
    text += element.dump();
    ancestors.push_back(i);
  }
  text += "]}\n";
  out << text;
  return true;
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
