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
#include "base/byte_string.h"
#include "base/edit_distance.h"
#include "compiler/string_interner.h"

namespace oxa {

struct Finding {
  FindingKind kind;
  std::uint32_t element = 0;
  std::uint32_t related = 0;
  std::string text;   // the text involved: a layoutid, an id, a name
  std::string other;  // a second text: a near miss, which part was too long
};

// The findings of one compilation, and what the tree builder tells them as
// the document goes by so that the findings needing the whole document can
// be settled at its end: the directives that found nothing and the ordinals
// of the elements carrying each id. Recording never throws (except where noted): a finding that
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
  // Forgets the findings; the document's state stays.
  void Clear() noexcept { list_.clear(); }
  const std::vector<Finding>& List() const noexcept { return list_; }

  // Notes the layoutid whose copies are being made ("" when none is).
  void CopyingLayout(const char* layoutId) noexcept { layoutBeingCopied_ = layoutId; }
  // Records that expansion went over its bound at element `ordinal`.
  void NoteExpansionBound(std::uint32_t ordinal) noexcept;

  // Notes that element `ordinal`, one the author wrote, carries the id of
  // string index `id`. Grows its storage to `strings` entries when needed,
  // and throws std::bad_alloc when it cannot.
  void NoteIdCarrier(std::uint32_t id, std::uint32_t ordinal, std::uint32_t strings);
  // Notes that a directive found the id of string index `id`; returns the
  // ordinal of the first element carrying it (0: not known).
  std::uint32_t NoteIdNamed(std::uint32_t id) noexcept;
  // Notes that directive `ordinal` found no element with id `layoutId`.
  void NoteUnmatched(std::uint32_t ordinal, const ByteString& layoutId) noexcept;
  // Records the findings that need the whole document: each unmatched
  // directive (with a later element of its id, else the element whose id is
  // nearest: the same but for case, or within a third of its length in
  // edits), and each named id that several elements carry. Then forgets
  // the ids' ordinals. May throw std::bad_alloc.
  void FinishDocument(const StringInterner& strings);
  // Forgets the document's state; the findings stay.
  void ForgetDocument() noexcept;

 private:
  // How many cells of edit-distance tables one document may spend on
  // suggestions, so that thousands of unmatched directives against
  // thousands of ids stay cheap.
  static constexpr std::uint64_t kSuggestionBudget = 50'000'000;

  // The ordinal of the first element whose id is nearest `layoutId` (not the
  // id of string index `except`), with that id in `nearest`; 0 when none is
  // within the bound.
  std::uint32_t NearestId(const StringInterner& strings, const ByteString& layoutId,
                          std::uint32_t except, std::string* nearest) const;

  // The ordinals of the first two elements the author wrote with an id.
  struct IdOrdinals {
    std::uint32_t first = 0;
    std::uint32_t second = 0;  // the top bit: a directive found this id
  };
  static constexpr std::uint32_t kNamed = 0x80000000u;

  std::vector<Finding> list_;
  std::vector<IdOrdinals> ids_;  // by string index of the id's value
  // Directives that found nothing: ordinal and layoutid.
  std::vector<std::pair<std::uint32_t, ByteString>> unmatched_;
  const char* layoutBeingCopied_ = "";
};

}  // namespace oxa
