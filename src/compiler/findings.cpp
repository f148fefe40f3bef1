// Findings: recording that never fails the compilation.
#include "compiler/findings.h"

#include <strings.h>

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

void Findings::NoteTooLong(std::uint32_t ordinal) noexcept {
  switch (reading_) {
    case Reading::ElementName:
      Add(FindingKind::kTextTooLong, ordinal, 0, "", 0, "name");
      break;
    case Reading::AttributeName:
      Add(FindingKind::kTextTooLong, ordinal, 0, readingName_, SIZE_MAX, "name");
      break;
    case Reading::AttributeValue:
      Add(FindingKind::kTextTooLong, ordinal, 0, readingName_, SIZE_MAX, "value");
      break;
    case Reading::LayoutId:
      Add(FindingKind::kTextTooLong, ordinal, 0, "layoutid", SIZE_MAX, "value");
      break;
    case Reading::Nothing:
      Add(FindingKind::kTextTooLong, ordinal);
      break;
  }
}

void Findings::NoteExpansionBound(std::uint32_t ordinal) noexcept {
  Add(FindingKind::kExpansionBound, ordinal, 0, layoutBeingCopied_);
  layoutBeingCopied_ = "";
}

void Findings::NoteIdCarrier(std::uint32_t id, std::uint32_t ordinal, std::uint32_t strings) {
  if (id >= ids_.size()) ids_.resize(strings);
  IdOrdinals& entry = ids_[id];
  if (entry.first == 0) {
    entry.first = ordinal;
  } else if ((entry.second & ~kNamed) == 0) {
    entry.second |= ordinal & ~kNamed;
  }
}

std::uint32_t Findings::NoteIdNamed(std::uint32_t id) noexcept {
  if (id >= ids_.size()) return 0;
  ids_[id].second |= kNamed;
  return ids_[id].first;
}

void Findings::NoteUnmatched(std::uint32_t ordinal, const ByteString& layoutId) noexcept {
  try {
    unmatched_.emplace_back(ordinal, layoutId);
  } catch (const std::bad_alloc&) {
    // Findings are best effort: this one is lost, the compilation goes on.
  }
}

void Findings::FinishDocument(const StringInterner& strings) {
  for (const auto& [ordinal, layoutId] : unmatched_) {
    // An element with this very id that starts later, else one whose id
    // differs only in case.
    std::uint32_t related = 0;
    std::string nearMiss;
    const std::uint32_t index = strings.Lookup(layoutId.Chars(), layoutId.Length());
    if (index < ids_.size() && ids_[index].first > ordinal) {
      related = ids_[index].first;
    } else {
      for (std::uint32_t i = 0; i < ids_.size(); ++i) {
        const ByteString& id = strings.At(i);
        if (ids_[i].first != 0 && i != index && id.Length() == layoutId.Length() &&
            strncasecmp(id.Chars(), layoutId.Chars(), id.Length()) == 0) {
          related = ids_[i].first;
          nearMiss.assign(id.Chars(), id.Length());
          break;
        }
      }
    }
    Add(FindingKind::kUnknownLayout, ordinal, related, layoutId.Chars(), layoutId.Length(),
        nearMiss.c_str());
  }
  for (std::uint32_t i = 0; i < ids_.size(); ++i) {
    if ((ids_[i].second & kNamed) != 0 && (ids_[i].second & ~kNamed) != 0) {
      Add(FindingKind::kDuplicateId, ids_[i].second & ~kNamed, ids_[i].first, strings.At(i).Chars(),
          strings.At(i).Length());
    }
  }
  ids_.clear();
}

void Findings::ForgetDocument() noexcept {
  std::vector<IdOrdinals>().swap(ids_);
  unmatched_.clear();
  reading_ = Reading::Nothing;
  readingName_ = nullptr;
  layoutBeingCopied_ = "";
}

}  // namespace oxa
