// TreeBuilder: element events, directive recognition, census, reset.
#include "compiler/tree_builder.h"

#include <strings.h>
#include <algorithm>

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include <xmlcompiler/com/boundary.h>
#include "base/double_byte.h"
#include "compiler/census_order.h"

namespace oxa {

static_assert(ByteString::kMaxLength == kMaxTextLength,
              "the byte string's limit is the longest text a document holds");

bool TreeBuilder::IsDirective(const char* name) noexcept {
  // The key is the name, or the part after the last ':' when the part before
  // it is exactly the compiler namespace.
  const char* key = name;
  if (const char* colon = FindLastChar(name, ':'); colon != nullptr) {
    const std::size_t prefix = static_cast<std::size_t>(colon - name);
    if (prefix == sizeof(CompilerNamespaceUri) - 1 &&
        std::memcmp(name, CompilerNamespaceUri, prefix) == 0) {
      key = colon + 1;
    }
  }
  return std::strcmp(key, kDirectiveName) == 0;
}

void TreeBuilder::Fail(HResult hr) noexcept {
  if (failure_ == kOk) failure_ = hr;
}

void TreeBuilder::StartElement(const char* name, IValues* attributes) noexcept {
  if (failure_ != kOk || name == nullptr) return;
  const HResult hr = Guarded([&] {
    Start(name, attributes);
    return kOk;
  });
  if (hr == kOutOfMemory && !findings_.Has(FindingKind::kExpansionBound))
    findings_.Add(FindingKind::kOutOfMemory, Ordinal());
  Fail(hr);
}

void TreeBuilder::NoteOutOfMemory() noexcept {
  if (!findings_.Has(FindingKind::kExpansionBound) && !findings_.Has(FindingKind::kOutOfMemory))
    findings_.Add(FindingKind::kOutOfMemory, 0);
}

void TreeBuilder::CheckLookalike(const char* name) {
  // The local name: after the last ':', as the directive's key is found.
  const char* colon = FindLastChar(name, ':');
  const char* local = colon == nullptr ? name : colon + 1;
  if (std::strlen(local) == sizeof(kDirectiveName) - 1 &&
      strncasecmp(local, kDirectiveName, sizeof(kDirectiveName) - 1) == 0)
    findings_.Add(FindingKind::kNotADirective, Ordinal(), 0, name);
}

void TreeBuilder::Directive(IValues* attributes) {
  const std::uint32_t ordinal = Ordinal();
  LayoutMatch match;
  InsertLayout(attributes, &match);  // its result is not the compilation's
  if (!match.hasLayoutId || match.layoutId.Length() == 0) {
    // Name an attribute that differs from "layoutid" only in case.
    std::string nearMiss = match.hasLayoutId ? kLayoutIdAttribute : "";
    const char* name = nullptr;
    IBuffer* value = nullptr;
    for (HResult hr = match.hasLayoutId || attributes == nullptr
                          ? kFail
                          : attributes->GetFirstString(&name, &value);
         Succeeded(hr); hr = attributes->GetNextString(&name, &value)) {
      if (name != nullptr && strcasecmp(name, kLayoutIdAttribute) == 0) {
        nearMiss = name;
        break;
      }
    }
    findings_.Add(FindingKind::kMissingLayoutId, ordinal, 0, nearMiss.c_str());
    if (!match.hasLayoutId || match.found == nullptr) return;
  }
  if (match.found == nullptr) {
    findings_.NoteUnmatched(ordinal, match.layoutId);
    return;
  }
  const std::uint32_t related =
      findings_.NoteIdNamed(strings_.Lookup(match.layoutId.Chars(), match.layoutId.Length()));
  if (match.found->ChildCount() == 0) {
    findings_.Add(FindingKind::kEmptyLayout, ordinal, related, match.layoutId.Chars(),
                  match.layoutId.Length());
  }
}

void TreeBuilder::Start(const char* name, IValues* attributes) {
  ++elementsDelivered_;
  if (IsDirective(name)) {
    Directive(attributes);
    return;
  }
  CheckLookalike(name);
  const std::size_t nameLength = std::strlen(name);
  CheckLength(nameLength, "", "name");
  const std::uint32_t nameIndex = strings_.Intern(name, nameLength);
  auto node = std::unique_ptr<ElementNode>(NewNode(nameIndex));
  ReadAttributes(node.get(), attributes);
  node->parent = current_;
  if (current_ != nullptr) {
    AppendChild(current_, node.get());
  } else if (root_ != nullptr) {
    // A second top-level element: attached nowhere, freed at the reset.
    AppendSlot(detachedRoots_, reinterpret_cast<PtrArray::Slot>(node.get()));
    detachedTop_ = node.get();
  }
  if (root_ == nullptr) root_ = node.get();
  current_ = node.release();
  LogNode(current_, nameIndex);
  IndexNode(current_, Ordinal());
}

void TreeBuilder::LogNode(ElementNode* node, std::uint32_t nameIndex) {
  if (detachedTop_ != nullptr) return;  // never written
  indexLog_.AppendNode(node, nameIndex, ordering_.Ordered());
}

void TreeBuilder::LogCopy(ElementNode* copy, const ElementNode* source) {
  if (detachedTop_ != nullptr) return;  // a copy into a detached element
  indexLog_.AppendCopy(copy, source);
}

ElementNode* TreeBuilder::NewNode(std::uint32_t nameIndex) {
  auto* node = new (arena_) ElementNode();
  node->name = strings_.Shareable(nameIndex);
  return node;
}

std::string_view TreeBuilder::BufferText(IBuffer* buffer) noexcept {
  const std::uint8_t* bytes = buffer == nullptr ? nullptr : buffer->GetBuffer();
  if (bytes == nullptr) return std::string_view("", 0);
  const std::uint32_t size = buffer->GetSize();
  const void* zero = std::memchr(bytes, 0, size);
  const std::size_t length =
      zero == nullptr ? size
                      : static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes);
  return {reinterpret_cast<const char*>(bytes), length};
}

void TreeBuilder::CheckLength(std::size_t length, const char* text, const char* part) {
  if (length <= kMaxTextLength) return;
  findings_.Add(FindingKind::kTextTooLong, Ordinal(), 0, text, SIZE_MAX, part);
  throw std::length_error("text longer than the limit");
}

void TreeBuilder::ReadAttributes(ElementNode* node, IValues* attributes) {
  ordering_.Clear();
  if (attributes == nullptr) return;
  const char* name = nullptr;
  IBuffer* value = nullptr;
  for (HResult hr = attributes->GetFirstString(&name, &value); Succeeded(hr);
       hr = attributes->GetNextString(&name, &value)) {
    if (name == nullptr) continue;
    const std::string_view text = BufferText(value);
    const std::size_t nameLength = std::strlen(name);
    CheckLength(nameLength, name, "name");
    CheckLength(text.size(), name, "value");
    const std::uint32_t nameIndex = strings_.Intern(name, nameLength);
    ordering_.Add(nameIndex, strings_.Intern(text.data(), text.size()));
    if (idName_ == StringInterner::kNone && nameLength == sizeof(kIdAttribute) - 1 &&
        std::memcmp(name, kIdAttribute, nameLength) == 0) {
      idName_ = nameIndex;
    }
  }
  if (ordering_.Empty()) return;
  // The names are distinct and ascending: each is appended to the list.
  const AttributeOrdering::Pairs& pairs = ordering_.Order(strings_);
  node->attributes.UseStorage(arena_.AllocateArray(pairs.size(), sizeof(AttributeList::Entry)),
                              static_cast<std::uint32_t>(pairs.size()));
  for (const auto& [nameIndex, valueIndex] : pairs) {
    node->attributes.AppendOrdered(strings_.Shareable(nameIndex), strings_.Shareable(valueIndex));
  }
}

void TreeBuilder::IndexNode(const ElementNode* node, std::uint32_t ordinal) {
  if (detachedTop_ != nullptr || idName_ == StringInterner::kNone) return;
  const std::uint32_t index = indexLog_.ValueOf(node, idName_);
  if (index == StringIndexLog::kNone) return;
  if (index >= idNodes_.size()) idNodes_.resize(strings_.Size());
  if (idNodes_[index] == nullptr) idNodes_[index] = node;
  if (ordinal == 0) return;  // a copy: not an element the author wrote
  findings_.NoteIdCarrier(index, ordinal, strings_.Size());
}

void TreeBuilder::EndElement(const char* name) noexcept {
  if (failure_ != kOk || name == nullptr || current_ == nullptr) return;
  if (IsDirective(name)) return;  // a directive never became current
  if (current_ == detachedTop_) detachedTop_ = nullptr;
  current_ = current_->parent;
}

void TreeBuilder::FinishParse() noexcept {
  if (failure_ != kOk) return;
  const HResult hr = Guarded([&] {
    try {
      findings_.FinishDocument(strings_);
    } catch (const std::bad_alloc&) {
      // Findings are best effort: the ones not recorded are lost, the census is not.
    }
    const std::vector<std::uint32_t> rank = FillCensus(strings_.TakeStrings(), &census_);
    indexLog_.Renumber(rank);  // interned indices become table indices
    return kOk;
  });
  if (hr == kOutOfMemory) NoteOutOfMemory();
  Fail(hr);
  idNodes_.clear();
}

void TreeBuilder::Reset() noexcept {
  census_.RemoveAll();
  FreeTree(root_);
  for (std::int32_t i = 0; i < detachedRoots_.GetCount(); ++i) {
    FreeTree(detachedRoots_.PointerAt<ElementNode>(i));
  }
  detachedRoots_.SetSize(0, -1);
  root_ = current_ = detachedTop_ = nullptr;
  arena_.Rewind();  // every node is destroyed: their memory goes back at once
  // The indexes give their storage back: a large document's would otherwise
  // stay allocated until the next one.
  strings_.Release();
  std::vector<const ElementNode*>().swap(idNodes_);
  findings_.ForgetDocument();
  indexLog_.Release();
  idName_ = StringInterner::kNone;
  ordering_.Forget();
  failure_ = kOk;
  elementsDelivered_ = 0;
  nodesCopied_ = 0;
}

}  // namespace oxa
