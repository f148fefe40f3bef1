// ReadTag: a tag's name and attributes, with where each stands.
#include "diagnostics/markup.h"

namespace oxa::tools {
namespace {

bool Space(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads a name from `*at` on; leaves `*at` after it.
std::u32string ReadName(const SourceText& source, Position* at) {
  std::u32string name;
  for (char32_t c = source.At(*at); c != 0 && c != '\n' && NameCharacter(c); c = source.At(*at)) {
    name += c;
    if (!source.Next(at)) break;
  }
  return name;
}

void SkipSpace(const SourceText& source, Position* at) {
  while (Space(source.At(*at)) && source.Next(at)) {
  }
}

}  // namespace

bool EndsUnquotedValue(char32_t c) {
  return c == 0 || Space(c) || c == '>' || c == '/' || c == '<';
}

bool NameCharacter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':' || c == '-' || c == '.' || (c >= 0xB7 && c != 0xFFFD);
}

bool ReadTag(const SourceText& source, Position open, Tag* tag) {
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
      for (char32_t v = source.At(at); !EndsUnquotedValue(v); v = source.At(at)) {
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

DeclarationSpan ScanDeclaration(std::u32string_view head) {
  DeclarationSpan span;
  if (head.substr(0, 5) != U"<?xml") return span;
  span.present = true;
  // The pseudo-attributes, read as a tag's attributes are.
  std::size_t at = 5;
  const auto space = [&] {
    while (at < head.size() && Space(head[at])) ++at;
  };
  while (at < head.size() && head[at] != '?') {
    space();
    const std::size_t nameAt = at;
    while (at < head.size() && head[at] != '\n' && NameCharacter(head[at])) ++at;
    const std::u32string_view name = head.substr(nameAt, at - nameAt);
    if (name.empty()) break;
    space();
    if (at >= head.size() || head[at] != '=') break;
    ++at;
    space();
    if (at >= head.size() || (head[at] != '"' && head[at] != '\'')) break;
    const char32_t quote = head[at++];
    const std::size_t valueAt = at;
    while (at < head.size() && head[at] != quote) ++at;
    if (at >= head.size()) break;
    if (name == U"version") {
      span.hasVersion = true;
      span.afterVersion = at + 1;
    } else if (name == U"encoding") {
      span.hasEncoding = true;
      span.encodingBegin = valueAt;
      span.encodingEnd = at;
    }
    ++at;
  }
  return span;
}

bool ReadDeclaration(const SourceText& source, Declaration* declaration) {
  *declaration = Declaration();
  const DeclarationSpan span = ScanDeclaration(source.Text().substr(0, 1024));
  if (!span.present) return false;
  declaration->present = true;
  if (span.hasVersion) declaration->afterVersion = source.PositionOfIndex(span.afterVersion);
  if (span.hasEncoding) {
    declaration->encodingAt = source.PositionOfIndex(span.encodingBegin);
    declaration->encodingEnd = source.PositionOfIndex(span.encodingEnd);
  }
  return true;
}

}  // namespace oxa::tools
