// Findings: recording that never fails the compilation.
#include "compiler/findings.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace oxa {

void Findings::Add(FindingKind kind, std::uint32_t element, std::uint32_t related, const char* text,
                   std::size_t textLength, const char* other) noexcept {
  try {
    Finding finding;
    finding.kind = kind;
    finding.element = element;
    finding.related = related;
    if (text != nullptr) {
      const std::size_t length = textLength == SIZE_MAX ? std::strlen(text) : textLength;
      finding.text.assign(text, length < kTextLimit ? length : kTextLimit);
    }
    if (other != nullptr) finding.other.assign(other, std::min(std::strlen(other), kTextLimit));
    list_.push_back(std::move(finding));
  } catch (...) {
    // Out of memory: the finding is lost, the compilation goes on as it would.
  }
}

bool Findings::Has(FindingKind kind) const noexcept {
  for (const Finding& f : list_)
    if (f.kind == kind) return true;
  return false;
}

}  // namespace oxa
