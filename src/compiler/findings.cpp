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

std::uint32_t Findings::NearestId(const StringInterner& strings, const ByteString& layoutId,
                                  std::uint32_t except, std::string* nearest) const {
  // A case-only difference first, then the least edit distance within the
  // bound; ties go to the id written first.
  const std::uint32_t length = layoutId.Length();
  const std::uint32_t bound = length / 3;  // ids under three bytes: case only
  std::uint32_t best = bound + 1, bestOrdinal = 0, bestIndex = 0;
  std::uint64_t budget = kSuggestionBudget;
  for (std::uint32_t i = 0; i < ids_.size(); ++i) {
    if (ids_[i].first == 0 || i == except) continue;
    const ByteString& id = strings.At(i);
    std::uint32_t distance;
    if (id.Length() == length && strncasecmp(id.Chars(), layoutId.Chars(), length) == 0) {
      distance = 0;
    } else {
      const std::uint64_t cells = std::uint64_t{id.Length() + 1} * (length + 1);
      if (cells > budget) break;  // a pathological document: no more suggestions
      budget -= cells;
      distance = EditDistance(layoutId.Chars(), length, id.Chars(), id.Length(), bound);
    }
    if (distance < best || (distance == best && distance <= bound && ids_[i].first < bestOrdinal)) {
      best = distance;
      bestOrdinal = ids_[i].first;
      bestIndex = i;
    }
  }
  if (best > bound) return 0;
  nearest->assign(strings.At(bestIndex).Chars(), strings.At(bestIndex).Length());
  return bestOrdinal;
}

void Findings::FinishDocument(const StringInterner& strings) {
  for (const auto& [ordinal, layoutId] : unmatched_) {
    // An element with this very id that starts later, else the one whose id
    // is nearest (a case-only difference, or a few edits).
    std::uint32_t related = 0;
    std::string nearMiss;
    const std::uint32_t index = strings.Lookup(layoutId.Chars(), layoutId.Length());
    if (index < ids_.size() && ids_[index].first > ordinal) {
      related = ids_[index].first;
    } else {
      related = NearestId(strings, layoutId, index, &nearMiss);
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
  layoutBeingCopied_ = "";
}

}  // namespace oxa
