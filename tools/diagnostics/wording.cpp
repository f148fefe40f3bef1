// The shared pieces of wording, and the words of the fix-its.
#include "diagnostics/wording.h"

#include <cstdio>

#include "diagnostics/record.h"
#include "text/utf8.h"

namespace oxa::tools {
namespace {

// `text` quoted, a line end in it written as "\n".
std::string QuotedOneLine(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out + "\"";
}

std::string Place(Position at) {
  return std::to_string(at.line) + ":" + std::to_string(at.column);
}

}  // namespace

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string Quoted(std::u32string_view text) {
  return "\"" + Utf8(text) + "\"";
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*X", digits, value);
  return text;
}

std::string CharacterName(char32_t c) {
  std::string name = "U+" + Hex(c, 4);
  if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && c != 0xFFFD) {
    std::string shown;
    AppendUtf8(c, &shown);
    name = "\"" + shown + "\" (" + name + ")";
  }
  return name;
}

std::string Grouped(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

const char* ActionName(FixIt::Action action) {
  switch (action) {
    case FixIt::Action::kInsert:
      return "insert";
    case FixIt::Action::kDelete:
      return "delete";
    case FixIt::Action::kReplace:
      break;
  }
  return "replace";
}

std::string DescribeHere(const FixIt& fixit) {
  switch (fixit.WhatItDoes()) {
    case FixIt::Action::kInsert:
      return "insert " + QuotedOneLine(fixit.replacement) + " here";
    case FixIt::Action::kDelete:
      return "delete from here up to " + Place(fixit.end);
    case FixIt::Action::kReplace:
      break;
  }
  return "replace this with " + QuotedOneLine(fixit.replacement);
}

std::string Describe(const FixIt& fixit) {
  switch (fixit.WhatItDoes()) {
    case FixIt::Action::kInsert:
      return "insert " + QuotedOneLine(fixit.replacement) + " at " + Place(fixit.start);
    case FixIt::Action::kDelete:
      return "delete " + Place(fixit.start) + " up to " + Place(fixit.end);
    case FixIt::Action::kReplace:
      break;
  }
  return "replace " + Place(fixit.start) + " up to " + Place(fixit.end) + " with " +
         QuotedOneLine(fixit.replacement);
}

}  // namespace oxa::tools
