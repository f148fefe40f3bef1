// TreeBuilder: turns the parser's start and end events into the element tree
// and the string census, and expands insertlayout directives as they arrive.
//
// Per compilation: events (StartElement / EndElement) build the tree; then
// FinishParse fills the census; the writer reads Root() and GetCensus(); Reset
// frees everything and returns to the empty state.
//
// Failures (exhausted memory, a text over the ByteString limit, layout
// expansion over its bound) never unwind into the host's parser: the first one
// is recorded in Failure(), and every later event of the compilation is
// ignored. The events still return 0 to the parser.
//
// The builder also records its findings (Findings): directives that insert
// nothing and why, elements that look like directives and are not, and the
// cause of a failure. They are kept until ClearFindings, not freed by Reset,
// so that a host can read them after the compilation.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include <xmlcompiler/com/host.h>
#include "compiler/attribute_ordering.h"
#include "compiler/element_node.h"
#include "compiler/findings.h"
#include "compiler/string_index_log.h"
#include "compiler/string_interner.h"

namespace oxa {

class TreeBuilder {
 public:
  TreeBuilder() = default;
  TreeBuilder(const TreeBuilder&) = delete;
  TreeBuilder& operator=(const TreeBuilder&) = delete;
  ~TreeBuilder() { Reset(); }

  // The start of an element; `attributes` is read during the call only.
  void StartElement(const char* name, IValues* attributes) noexcept;
  // The end of an element. Ends arriving while no element is open are ignored.
  void EndElement(const char* name) noexcept;
  // Enters the collected strings into the census in ascending order and
  // completes the findings that need the whole document. Call once after the
  // last event.
  void FinishParse() noexcept;
  // Records that the document delivered no element.
  void NoteNoRoot() noexcept { findings_.Add(FindingKind::kNoRoot, 0); }
  // Records that memory ran out outside the events (writing), unless a cause is recorded.
  void NoteOutOfMemory() noexcept;
  // Forgets the findings; call as a compilation begins.
  void ClearFindings() noexcept { findings_.Clear(); }
  const Findings& GetFindings() const noexcept { return findings_; }
  // Frees the tree and the indexes, empties the census (its stamp advances;
  // its storage stays) and clears the recorded failure.
  void Reset() noexcept;

  // One layout insertion: copies the children of the first element (in
  // pre-order) whose "id" equals the set's "layoutid" to the current element.
  // Returns 0 after copying, GetString's result without "layoutid", 0x80004005
  // when nothing matches or no element is open.
  HResult InsertLayout(IValues* attributes);
  // What InsertLayout saw: whether "layoutid" was there, its value, and the element found.
  struct LayoutMatch {
    bool hasLayoutId = false;
    ByteString layoutId;
    const ElementNode* found = nullptr;
  };
  HResult InsertLayout(IValues* attributes, LayoutMatch* match);
  // The first element in pre-order, among those reachable from the root now,
  // whose "id" is `id`; 0x80004005 when there is none.
  HResult FindLayout(const ByteString& id, ElementNode** found) const noexcept;
  // Whether `node` has an attribute "id" equal to `id`.
  static bool MatchesId(const ElementNode* node, const char* id) noexcept;
  // Appends deep copies of `source`'s children to `destination` (only the
  // children `source` has when the copy begins). The copies share the texts'
  // blocks; a text of the source subtree whose block is full moves to a new
  // block first (ByteString::MakeShareable), so its value never changes.
  void CopyChildren(const ElementNode* source, ElementNode* destination);

  // Whether `name` is the directive: "insertlayout" without a prefix or in
  // the compiler namespace.
  static bool IsDirective(const char* name) noexcept;

  // The string indices of the reachable nodes, for the writer; table indices
  // after FinishParse.
  const StringIndexLog& GetIndexLog() const noexcept { return indexLog_; }

  const ElementNode* Root() const noexcept { return root_; }
  const ElementNode* Current() const noexcept { return current_; }
  const Census& GetCensus() const noexcept { return census_; }
  // 0, or the first failure of this compilation.
  HResult Failure() const noexcept { return failure_; }
  std::uint64_t NodesCopied() const noexcept { return nodesCopied_; }

 private:
  void Start(const char* name, IValues* attributes);
  // A directive: InsertLayout, and the findings it gives rise to.
  void Directive(IValues* attributes);
  // Records an element whose local name is "insertlayout" in another namespace or case.
  void CheckLookalike(const char* name);
  // The ordinal of the latest start event.
  std::uint32_t Ordinal() const noexcept {
    return elementsDelivered_ > kMaxSize32 ? kMaxSize32
                                           : static_cast<std::uint32_t>(elementsDelivered_);
  }
  ElementNode* NewNode(std::uint32_t nameIndex);
  // The zero-terminated text at the start of `buffer`, bounded by its size
  // (a host's buffer need not hold a zero); empty for a missing buffer.
  static std::string_view BufferText(IBuffer* buffer) noexcept;
  // Records a kTextTooLong finding, `text` and `part` naming the text as the
  // finding does, and throws std::length_error when `length` is over
  // kMaxTextLength. Every text of the document passes here before it is kept.
  void CheckLength(std::size_t length, const char* text, const char* part);
  // Reads the delivered attributes into `node`'s list, in list order.
  void ReadAttributes(ElementNode* node, IValues* attributes);
  // Appends the node's entry to the index log (reachable nodes only), from
  // the attributes ReadAttributes ordered.
  void LogNode(ElementNode* node, std::uint32_t nameIndex);
  void LogCopy(ElementNode* copy, const ElementNode* source);
  // Makes `node` findable by its "id" when it is reachable from the root;
  // reads the node's entry in the index log, so call it after LogNode or LogCopy.
  // `ordinal` is the start event of an original element, 0 for a copy.
  void IndexNode(const ElementNode* node, std::uint32_t ordinal);
  void Fail(HResult hr) noexcept;

  Census census_;
  NodeArena arena_;  // every node of the compilation, detached ones included
  ElementNode* root_ = nullptr;
  ElementNode* current_ = nullptr;
  // The open detached top-level element, while events are inside it.
  ElementNode* detachedTop_ = nullptr;
  PtrArray detachedRoots_;

  StringInterner strings_;
  // By string index of an "id" value: the first reachable node created with
  // it, which is always one the author wrote (a copy has its source before it).
  std::vector<const ElementNode*> idNodes_;
  StringIndexLog indexLog_;
  // The latest element's attributes in list order.
  AttributeOrdering ordering_;
  // The string index of "id" once it has been interned.
  std::uint32_t idName_ = StringInterner::kNone;
  HResult failure_ = kOk;

  Findings findings_;
  std::uint64_t elementsDelivered_ = 0;
  std::uint64_t nodesCopied_ = 0;
};

}  // namespace oxa
