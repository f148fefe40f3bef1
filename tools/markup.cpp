// ReadTag: a tag's name and attributes, with where each stands.
#include "markup.h"

namespace oxa::tools {
namespace {

bool Space(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads a name from `*at` on; leaves `*at` after it.
std::u32string ReadName(SourceText& source, Position* at) {
  std::u32string name;
  for (char32_t c = source.At(*at); c != 0 && c != '\n' && NameCharacter(c); c = source.At(*at)) {
    name += c;
    if (!source.Next(at)) break;
  }
  return name;
}

void SkipSpace(SourceText& source, Position* at) {
  while (Space(source.At(*at)) && source.Next(at)) {
  }
}

}  // namespace

bool NameCharacter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':' || c == '-' || c == '.' || (c >= 0xB7 && c != 0xFFFD);
}

bool ReadTag(SourceText& source, Position open, Tag* tag) {
  *tag = Tag();
  if (source.At(open) != '<') return false;
  tag->open = open;
  Position at = open;
  if (!source.Next(&at)) return false;
  if (source.At(at) == '/') {
    tag->end = true;
    if (!source.Next(&at)) return false;
  }
  tag->nameAt = at;
  tag->name = ReadName(source, &at);
  if (tag->name.empty()) return false;
  for (;;) {
    SkipSpace(source, &at);
    const char32_t c = source.At(at);
    if (c == '>') {
      tag->complete = true;
      tag->close = at;
      return true;
    }
    if (c == '/') {
      Position next = at;
      if (source.Next(&next) && source.At(next) == '>') {
        tag->complete = true;
        tag->close = next;
      }
      return true;
    }
    if (c == 0 || !NameCharacter(c) || tag->end) return true;
    Tag::Attribute attribute;
    attribute.nameAt = at;
    attribute.name = ReadName(source, &at);
    SkipSpace(source, &at);
    if (source.At(at) != '=') {
      tag->attributes.push_back(attribute);
      return true;
    }
    source.Next(&at);
    SkipSpace(source, &at);
    const char32_t quote = source.At(at);
    if (quote == '"' || quote == '\'') {
      attribute.quote = quote;
      source.Next(&at);
      attribute.valueAt = at;
      for (char32_t v = source.At(at); v != 0; v = source.At(at)) {
        if (v == quote) {
          attribute.closed = true;
          break;
        }
        attribute.value += v;
        if (!source.Next(&at)) break;
      }
      attribute.valueEnd = at;
      tag->attributes.push_back(attribute);
      if (!attribute.closed) return true;
      source.Next(&at);
    } else {
      attribute.valueAt = at;
      for (char32_t v = source.At(at); v != 0 && !Space(v) && v != '>' && v != '/';
           v = source.At(at)) {
        attribute.value += v;
        if (!source.Next(&at)) break;
      }
      attribute.valueEnd = at;
      tag->attributes.push_back(attribute);
      return true;
    }
  }
}

std::u32string PrefixOf(const std::u32string& name) {
  const std::size_t colon = name.find(U':');
  return colon == std::u32string::npos ? std::u32string() : name.substr(0, colon);
}

std::u32string LocalOf(const std::u32string& name) {
  const std::size_t colon = name.find(U':');
  return colon == std::u32string::npos ? name : name.substr(colon + 1);
}

bool ReadDeclaration(SourceText& source, Declaration* declaration) {
  *declaration = Declaration();
  const std::u32string* first = source.Line(1);
  if (first == nullptr || first->compare(0, 5, U"<?xml") != 0) return false;
  declaration->present = true;
  // The pseudo-attributes, read as a tag's attributes are.
  Position at{1, 6};
  while (source.At(at) != 0 && source.At(at) != '?') {
    SkipSpace(source, &at);
    const std::u32string name = ReadName(source, &at);
    if (name.empty()) break;
    SkipSpace(source, &at);
    if (source.At(at) != '=') break;
    source.Next(&at);
    SkipSpace(source, &at);
    const char32_t quote = source.At(at);
    if (quote != '"' && quote != '\'') break;
    source.Next(&at);
    const Position valueAt = at;
    while (source.At(at) != 0 && source.At(at) != quote) source.Next(&at);
    if (source.At(at) != quote) break;
    if (name == U"version") {
      declaration->afterVersion = at;
      ++declaration->afterVersion.column;
    } else if (name == U"encoding") {
      declaration->encodingAt = valueAt;
      declaration->encodingEnd = at;
    }
    source.Next(&at);
  }
  return true;
}

}  // namespace oxa::tools
