// The table of finding kinds.
#include "diagnostics/finding_kinds.h"

namespace oxa::tools {
namespace {

constexpr FindingKindInfo kKinds[] = {
    {"missing-layoutid", "XMLC1001", "MissingLayoutId", true, FindingKind::kMissingLayoutId,
     "a directive without a \"layoutid\", or with an empty one"},
    {"unknown-layout", "XMLC1002", "UnknownLayout", true, FindingKind::kUnknownLayout,
     "a \"layoutid\" that no element before the directive has as id"},
    {"empty-layout", "XMLC1003", "EmptyLayout", true, FindingKind::kEmptyLayout,
     "a directive whose layout has no children there"},
    {"duplicate-id", "XMLC1004", "DuplicateId", true, FindingKind::kDuplicateId,
     "an id that a directive names, carried by several elements"},
    {"not-a-directive", "XMLC1005", "NotTheDirective", true, FindingKind::kNotADirective,
     "a lookalike of the directive: another namespace or case"},
    {kTextDropped, "XMLC1006", "TextDropped", true, FindingKind{},
     "character data, which the compiled format does not keep"},
    {kEncodingMismatch, "XMLC1007", "EncodingMismatch", true, FindingKind{},
     "a declared encoding that the document's bytes contradict"},
    {kMalformedXml, "XMLC0001", "MalformedXml", false, FindingKind{},
     "a document that is not well-formed XML"},
    {kBadEncoding, "XMLC0002", "BytesOutsideEncoding", false, FindingKind{},
     "bytes that are no character in the document's encoding"},
    {"no-root", "XMLC0003", "NoRootElement", false, FindingKind::kNoRoot,
     "a document without a root element"},
    {"expansion-bound", "XMLC0004", "ExpansionOverBound", false, FindingKind::kExpansionBound,
     "layout expansion over its bound"},
    {"text-too-long", "XMLC0005", "TextTooLong", false, FindingKind::kTextTooLong,
     "a name or value longer than the compiled format holds"},
    {kOutOfMemoryKind, "XMLC0006", "OutOfMemory", false, FindingKind::kOutOfMemory,
     "memory ran out"},
    {kCompileFailed, "XMLC0007", "CompileFailed", false, FindingKind{},
     "a compile that the plug-in failed for another reason"},
    {kFileError, "XMLC0008", "FileNotAccessible", false, FindingKind{},
     "a file that cannot be read or written"},
};

}  // namespace

std::span<const FindingKindInfo> FindingKinds() {
  return kKinds;
}

const FindingKindInfo* FindKind(std::string_view name) {
  for (const FindingKindInfo& kind : kKinds) {
    if (name == kind.name) return &kind;
  }
  return nullptr;
}

const FindingKindInfo* KindOf(FindingKind compilerKind) {
  for (const FindingKindInfo& kind : kKinds) {
    if (kind.compilerKind == compilerKind && compilerKind != FindingKind{}) return &kind;
  }
  return nullptr;
}

}  // namespace oxa::tools
