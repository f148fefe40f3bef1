// Findings: what a compilation decided about the author's document that the
// compiled bytes cannot show. Every directive that inserts nothing, every
// element that looks like a directive and is not, and the cause of a failed
// compilation is one finding, kept until the next compilation begins.
//
// A finding names the element it concerns by the ordinal of its start event
// in the document (1 for the first element; directives count), and may name
// a related element (the element used, a later element that would have
// matched) the same way; 0 names none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <xmlcompiler/com/plugin_interfaces.h>

namespace oxa {

struct Finding {
  FindingKind kind;
  std::uint32_t element = 0;
  std::uint32_t related = 0;
  std::string text;   // the text involved: a layoutid, an id, a name
  std::string other;  // a second text: a near miss, which part was too long
};

// The findings of one compilation. Recording never throws: a finding that
// cannot be stored for want of memory is dropped, and the compilation's
// result is never changed by it.
class Findings {
 public:
  // Texts are stored up to this many bytes; longer ones are cut, since a
  // finding names a text and need not hold all of a 16 MB one.
  static constexpr std::size_t kTextLimit = 256;

  void Add(FindingKind kind, std::uint32_t element, std::uint32_t related = 0,
           const char* text = "", std::size_t textLength = SIZE_MAX,
           const char* other = "") noexcept;
  // Whether a finding of `kind` was recorded.
  bool Has(FindingKind kind) const noexcept;
  void Clear() noexcept { list_.clear(); }

  const std::vector<Finding>& List() const noexcept { return list_; }

 private:
  std::vector<Finding> list_;
};

}  // namespace oxa
