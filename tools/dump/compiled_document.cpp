// Renderings of compiled documents.
#include "dump/compiled_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/compiled_format.h"
#include "text/utf8.h"

namespace oxa::tools {
namespace {

using reader::Element;

// Calls visit(element, depth, parent) for every element in document order,
// with the root at depth 0 and each parent as its position in that order
// (kNoParent for the root).
constexpr std::uint32_t kNoParent = kNoIndex;
template <class Visit>
void Walk(const reader::Document& doc, Visit visit) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> open;  // end, position
  std::uint32_t position = 0;
  for (const Element& e : doc.Elements()) {
    while (!open.empty() && e.Offset() >= open.back().first) open.pop_back();
    visit(e, static_cast<std::uint32_t>(open.size()),
          open.empty() ? kNoParent : open.back().second);
    open.emplace_back(e.End(), position++);
  }
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

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

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
    char32_t c;
    if (!NextUtf8(text, &at, &c) || !IsXmlChar(c)) return false;
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
    char32_t c;
    if (!NextUtf8(name, &at, &c) || !IsXmlChar(c)) return false;
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

bool WriteXml(const reader::Document& doc, std::ostream& out, std::string* error) {
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
  bool written = true;
  Walk(doc, [&](const Element& e, std::uint32_t depth, std::uint32_t) {
    if (!written) return;
    close(depth);
    declarations.clear();
    attributes.clear();
    std::string elementName;
    if (!scope.Qualify(e.Name(), false, depth, &elementName, &declarations, error)) {
      written = false;
      return;
    }
    for (std::uint32_t a = 0; a < e.AttributeCount(); ++a) {
      if (!scope.Qualify(e.AttributeName(a), true, depth, &qualified, &declarations, error)) {
        written = false;
        return;
      }
      value.clear();
      if (!AppendValue(value, e.AttributeValue(a))) {
        *error = "the value of attribute \"" + qualified + "\" of element \"" + elementName +
                 "\" is not UTF-8 XML text";
        written = false;
        return;
      }
      attributes += " " + qualified + "=\"" + value + "\"";
    }
    text.append(2 * std::min<std::uint32_t>(depth, 40), ' ');
    text += "<" + elementName + declarations + attributes;
    if (e.ChildCount() == 0) {
      text += "/>\n";
      scope.Close(depth);
    } else {
      text += ">\n";
      open.emplace_back(depth, std::move(elementName));
    }
  });
  if (!written) return false;
  close(0);
  out << text;
  return true;
}

bool WriteJson(const reader::Document& doc, std::ostream& out, std::string* error) {
  using nlohmann::json;
  // One string or element a line; nothing nests deeper than three levels,
  // whatever the document's depth.
  std::string text = "{\"strings\": [";
  std::uint32_t at = 0;
  try {
    for (; at < doc.StringCount(); ++at) {
      text += at == 0 ? "\n " : ",\n ";
      text += json(std::string(doc.String(at))).dump();
    }
  } catch (const json::exception&) {
    *error = "cannot be written as JSON: string " + std::to_string(at) + " is not UTF-8";
    return false;
  }
  text += "],\n\"elements\": [";
  bool first = true;
  Walk(doc, [&](const Element& e, std::uint32_t depth, std::uint32_t parent) {
    json attributes = json::array();
    for (std::uint32_t a = 0; a < e.AttributeCount(); ++a) {
      const reader::Attribute pair = e.AttributeAt(a);
      attributes.push_back({pair.name, pair.value});
    }
    const json element = {{"name", e.NameIndex()},
                          {"parent", parent == kNoParent ? json(nullptr) : json(parent)},
                          {"depth", depth},
                          {"attributes", std::move(attributes)}};
    text += first ? "\n " : ",\n ";
    first = false;
    text += element.dump();
  });
  text += "]}\n";
  out << text;
  return true;
}

void WriteTree(const reader::Document& doc, std::ostream& out) {
  out << "strings " << doc.StringCount() << '\n';
  for (std::uint32_t i = 0; i < doc.StringCount(); ++i) {
    out << "  " << i << " \"";
    Escape(out, doc.String(i), true);
    out << "\"\n";
  }
  out << "tree " << doc.ElementCount() << " elements\n";
  Walk(doc, [&](const Element& e, std::uint32_t depth, std::uint32_t) {
    Indent(out, depth + 1);
    out << e.NameIndex() << ' ' << e.Name();
    for (std::uint32_t a = 0; a < e.AttributeCount(); ++a) {
      const reader::Attribute pair = e.AttributeAt(a);
      out << "  " << pair.name << '=' << pair.value;
    }
    out << '\n';
  });
}

void WriteChunks(const reader::Document& doc, std::ostream& out) {
  using namespace format;
  const std::uint8_t* data = doc.Data();
  char line[200];
  auto field = [&](std::uint64_t at, const char* name, const std::string& value) {
    const std::uint8_t* p = data + at;
    std::snprintf(line, sizeof(line), "%08llX  %02X %02X %02X %02X  %-28s %s\n",
                  static_cast<unsigned long long>(at), p[0], p[1], p[2], p[3], name, value.c_str());
    out << line;
  };
  auto number = [&](std::uint64_t at, const char* name) {
    field(at, name, std::to_string(LoadUInt32(data + at)));
  };
  auto indexed = [&](std::uint64_t at, const char* name) {
    const std::uint32_t index = LoadUInt32(data + at);
    field(at, name, std::to_string(index) + " '" + std::string(doc.String(index)) + "'");
  };

  number(0, "DocumentChunk tag");
  number(4, "length");
  number(kStringTableAt, "StringTableChunk tag");
  number(kStringTableAt + 4, "length");
  number(kStringCountAt, "string count");
  const std::uint32_t n = doc.StringCount();
  for (std::uint64_t i = 0; i < n; ++i) {
    number(kStringOffsetsAt + 4 * i, ("offset of string " + std::to_string(i)).c_str());
  }
  number(kStringOffsetsAt + 4 * std::uint64_t{n}, "end offset");
  for (std::uint32_t i = 0; i < n; ++i) {
    std::snprintf(line, sizeof(line), "%08llX  %-11s  %-28s '",
                  static_cast<unsigned long long>(doc.StringOffset(i)), "",
                  ("string " + std::to_string(i)).c_str());
    out << line << doc.String(i) << "'\n";
  }
  number(doc.TreeOffset(), "TreeChunk tag");
  number(doc.TreeOffset() + 4, "length");
  for (const Element& e : doc.Elements()) {
    const std::uint64_t o = e.Offset();
    number(o, "ElementChunk tag");
    number(o + 4, "length");
    indexed(o + kElementNameAt, "name index");
    number(o + kElementAttributesAt, "AttributesChunk tag");
    number(o + kElementAttributesAt + 4, "length");
    number(o + kAttributeCountAt, "attribute count");
    for (std::uint32_t a = 0; a < e.AttributeCount(); ++a) {
      const std::uint64_t pair = o + kAttributePairsAt + std::uint64_t{kAttributePairSize} * a;
      indexed(pair, "attribute name index");
      indexed(pair + 4, "attribute value index");
    }
    const std::uint64_t c = o + ChildrenChunkAt(e.AttributeCount());
    number(c, "ChildrenChunk tag");
    number(c + 4, "length");
    number(c + kChildCountAt, "child count");
  }
}

}  // namespace oxa::tools
