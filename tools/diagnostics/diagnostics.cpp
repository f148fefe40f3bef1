// Diagnose: the compile's failure and findings turned into records.
#include "diagnostics/diagnostics.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <xmlcompiler/host/expat_parser.h>

#include "diagnostics/encoding_evidence.h"
#include "diagnostics/finding_kinds.h"
#include "diagnostics/markup.h"
#include "diagnostics/suggestions.h"
#include "diagnostics/wording.h"
#include "diagnostics/xml_errors.h"
#include "text/utf8.h"

namespace oxa::tools {
namespace {

using host::CompileFinding;

// One message before it is placed: at an element (by ordinal), or at the
// place its record gives; notes at elements, fix-its at an attribute of the
// message's element. A parse failure or an encoding warning comes as a
// whole record.
struct Message {
  std::uint32_t element = 0;
  bool error = false;
  std::string text;  // the record's message when it has none
  std::string kind;  // its kind's name
  struct Note {
    std::uint32_t element;
    std::string text;
  };
  std::vector<Note> notes;
  // A fix-it at the message's element: attribute `attribute`'s name (or its
  // value) becomes `replacement`; a suggestion unless `certain`.
  struct Fix {
    std::string attribute;
    bool name = false;
    std::string replacement;
    bool certain = true;
  };
  std::vector<Fix> fixes;
  Record record;
};

// The expansion bound, as the messages state it.
std::string ExpansionBoundText() {
  return "more than " + Grouped(kExpansionFloor) + " copied elements and " +
         std::to_string(kExpansionFactor) + " times the document's elements";
}

// The length limit of names and values, as the messages state it.
std::string LengthLimitText() {
  return Grouped(kMaxTextLength) + " bytes";
}

std::string MissingLayoutIdText(const CompileFinding& f) {
  const std::string layoutId = Quoted(kLayoutIdAttribute);
  if (f.text.empty()) return "directive has no " + layoutId + " attribute, so it inserts nothing";
  if (f.text == kLayoutIdAttribute) return "directive has an empty " + layoutId;
  return "directive has no " + layoutId + " attribute, so it inserts nothing; did you mean " +
         layoutId + " instead of " + Quoted(f.text) + "?";
}

void DescribeUnknownLayout(const CompileFinding& f, Message* m) {
  m->text = "no element before this directive has id " + Quoted(f.text) + ", so it inserts nothing";
  if (f.related != 0 && f.other.empty()) {
    m->notes.push_back({f.related, "an element with id " + Quoted(f.text) +
                                       " comes later; a directive copies only from elements "
                                       "that start before it"});
  } else if (f.related != 0 && f.other.size() == f.text.size() &&
             strncasecmp(f.other.c_str(), f.text.c_str(), f.text.size()) == 0) {
    m->fixes.push_back({kLayoutIdAttribute, false, f.other, false});
    m->notes.push_back({f.related, "this element's id " + Quoted(f.other) +
                                       " differs only in case; ids are case-sensitive"});
  } else if (f.related != 0) {
    m->fixes.push_back({kLayoutIdAttribute, false, f.other, false});
    m->notes.push_back(
        {f.related, "did you mean " + Quoted(f.other) + "? " +
                        (f.related < f.element ? "this element, before the directive, has that id"
                                               : "this element has that id, but comes later; a "
                                                 "directive copies only from elements that start "
                                                 "before it")});
  }
}

// `written`: the element's name as the author wrote it.
std::string NotADirectiveText(const CompileFinding& f, const std::string& written) {
  const std::size_t colon = f.text.rfind(':');
  const std::string uri = colon == std::string::npos ? "" : f.text.substr(0, colon);
  const std::string name = "<" + written + ">";
  if (colon != std::string::npos && uri != CompilerNamespaceUri) {
    const bool prefixed = written.find(':') != std::string::npos;
    return "element " + Quoted(name) + " is not the directive: it is in namespace " + Quoted(uri) +
           (prefixed ? "" : " (the default namespace there)") + "; write <" + kDirectiveName +
           "> in no namespace, or in " + Quoted(CompilerNamespaceUri);
  }
  return "element " + Quoted(name) + " is not the directive: names are case-sensitive; write " +
         Quoted(kDirectiveName);
}

std::string TextTooLongText(const CompileFinding& f) {
  if (f.other == "value")
    return "the value of attribute " + Quoted(f.text) + " is longer than " + LengthLimitText();
  if (f.other == "name" && !f.text.empty()) {
    return "an attribute name (starting " + Quoted(f.text.substr(0, 40)) + ") is longer than " +
           LengthLimitText();
  }
  return "the element's name is longer than " + LengthLimitText();
}

// The message of a warning finding; false for a kind that is not a warning.
bool DescribeWarning(const CompileFinding& f, Message* m) {
  switch (f.kind) {
    case FindingKind::kMissingLayoutId:
      m->text = MissingLayoutIdText(f);
      if (!f.text.empty() && f.text != kLayoutIdAttribute)
        m->fixes.push_back({f.text, true, kLayoutIdAttribute, false});
      return true;
    case FindingKind::kUnknownLayout:
      DescribeUnknownLayout(f, m);
      return true;
    case FindingKind::kEmptyLayout:
      m->text = "the element with id " + Quoted(f.text) +
                " has no children here, so this directive inserts nothing";
      if (f.related != 0) m->notes.push_back({f.related, "the element with id " + Quoted(f.text)});
      return true;
    case FindingKind::kDuplicateId:
      m->text =
          "id " + Quoted(f.text) + " is carried by more than one element; directives use the first";
      if (f.related != 0) m->notes.push_back({f.related, "the element used"});
      return true;
    case FindingKind::kNotADirective:
      m->text = NotADirectiveText(f, f.text.substr(f.text.rfind(':') + 1));
      return true;
    default:
      return false;
  }
}

// The message of an error finding; false for a kind that is not an error.
bool DescribeError(const CompileFinding& f, Message* m) {
  switch (f.kind) {
    case FindingKind::kExpansionBound:
      m->text =
          "layout expansion over its bound at this directive" +
          (f.text.empty() ? std::string()
                          : " (" + std::string(kLayoutIdAttribute) + " " + Quoted(f.text) + ")") +
          ": " + ExpansionBoundText();
      break;
    case FindingKind::kTextTooLong:
      m->text = TextTooLongText(f);
      break;
    case FindingKind::kNoRoot:
      m->text = "no root element";
      break;
    case FindingKind::kOutOfMemory:
      m->text = "out of memory";
      break;
    default:
      return false;
  }
  m->error = true;
  return true;
}

// The message of a finding; false for a kind this tool does not know.
bool Describe(const CompileFinding& f, Message* m) {
  const FindingKindInfo* kind = KindOf(f.kind);
  if (kind == nullptr) return false;
  m->element = f.element;
  m->kind = kind->name;
  return DescribeWarning(f, m) || DescribeError(f, m);
}

// The cause of a failed compile that no finding explains, and its kind.
std::string CauseOf(HResult hr, std::string* kind) {
  *kind = kCompileFailed;
  if (hr == kOutOfMemory)
    return "layout expansion over its bound (" + ExpansionBoundText() + "), or out of memory";
  if (hr == kInvalidArg) {
    return "a name or value longer than " + LengthLimitText() +
           ", or a compiled document larger than 4 GiB";
  }
  if (hr == kFail) {
    *kind = KindOf(FindingKind::kNoRoot)->name;
    return "no root element";
  }
  return "compile failed with " + host::ResultText(hr);
}

// The document as the findings need it: its text, and the second parse's
// account of it, made only when a finding needs it.
class Document {
 public:
  explicit Document(const SourceText& source) : text(&source) {}

  // Reads the text as `reading` from now on (the bytes, and so the scan, are the same).
  void Reread(const SourceText& reading) { text = &reading; }

  const host::DocumentScan& Scan() const {
    if (!scanned_) {
      host::ScanDocument(text->Bytes(), text->Size(), &scan_);
      scanned_ = true;
    }
    return scan_;
  }

  // Element `element`'s start tag, read back from the text; false when it
  // cannot be found (0, or after a malformed part).
  bool StartTag(std::uint32_t element, Tag* tag) const {
    const host::DocumentScan& scan = Scan();
    if (element == 0 || element > scan.starts.size()) return false;
    const host::TagPosition& at = scan.starts[element - 1];
    return ReadTag(*text, {at.line, at.column}, tag);
  }

  // Where element `element`'s start tag is, and the length of "<name".
  Position Place(std::uint32_t element, std::uint32_t* length) const {
    const host::DocumentScan& scan = Scan();
    if (element == 0 || element > scan.starts.size()) return {};
    Tag tag;
    *length = StartTag(element, &tag) ? static_cast<std::uint32_t>(tag.name.size() + 1) : 1;
    return {scan.starts[element - 1].line, scan.starts[element - 1].column};
  }

  const SourceText* text;

 private:
  // The scan is made on first use; a Document lives for one Diagnose call.
  mutable host::DocumentScan scan_;
  mutable bool scanned_ = false;
};

// A lookalike of the directive that differs from it only in case, in the
// compiler's namespace or none: its name in the start tag and in the end
// tag mended, with the prefix it has.
void MendCase(const CompileFinding& f, const Document& document, const Tag& tag, Message* m) {
  const std::size_t colon = f.text.rfind(':');
  const std::string uri = colon == std::string::npos ? "" : f.text.substr(0, colon);
  const std::string local = Utf8(LocalOf(tag.name));
  if ((!uri.empty() && uri != CompilerNamespaceUri) || local == kDirectiveName ||
      strcasecmp(local.c_str(), kDirectiveName) != 0)
    return;
  const std::u32string prefix = PrefixOf(tag.name);
  const std::string name = (prefix.empty() ? "" : Utf8(prefix) + ":") + kDirectiveName;
  const auto length = static_cast<std::uint32_t>(tag.name.size());
  m->record.fixits.push_back({tag.nameAt, {tag.nameAt.line, tag.nameAt.column + length}, name});
  for (const host::DocumentScan::End& end : document.Scan().ends) {
    Tag endTag;
    if (end.element != f.element || Position{end.at.line, end.at.column} == tag.open ||
        !ReadTag(*document.text, {end.at.line, end.at.column}, &endTag) || !endTag.end)
      continue;
    m->record.fixits.push_back(
        {endTag.nameAt, {endTag.nameAt.line, endTag.nameAt.column + length}, name});
  }
}

// The words of findings that name what the author wrote: a lookalike of
// the directive, a directive whose layoutid carries a prefix, and one with
// an attribute near "layoutid".
void SayAsWritten(const CompileFinding& f, const Document& document, Message* m) {
  Tag tag;
  if (!document.StartTag(f.element, &tag)) return;
  if (f.kind == FindingKind::kNotADirective) {
    m->text = NotADirectiveText(f, Utf8(tag.name));
    MendCase(f, document, tag, m);
    return;
  }
  if (f.kind != FindingKind::kMissingLayoutId || !f.text.empty()) return;
  for (const Tag::Attribute& attribute : tag.attributes) {
    if (PrefixOf(attribute.name).empty() || PrefixOf(attribute.name) == U"xmlns" ||
        strcasecmp(Utf8(LocalOf(attribute.name)).c_str(), kLayoutIdAttribute) != 0)
      continue;
    const std::string written = Utf8(attribute.name);
    m->text = "the directive's " + Quoted(written) +
              " is ignored: a prefixed attribute is in a namespace, and the directive reads "
              "only " +
              Quoted(kLayoutIdAttribute) + " without a prefix, so it inserts nothing";
    m->fixes.push_back({written, true, kLayoutIdAttribute});
    return;
  }
  // An attribute near enough to be a slip ("layout"): a suggestion.
  for (const Tag::Attribute& attribute : tag.attributes) {
    const std::string written = Utf8(attribute.name);
    if (!PrefixOf(attribute.name).empty() || written == "xmlns" ||
        Closest(written, {kLayoutIdAttribute}).empty())
      continue;
    CompileFinding near = f;
    near.text = written;
    m->text = MissingLayoutIdText(near);
    m->fixes.push_back({written, true, kLayoutIdAttribute, false});
    return;
  }
}

// Where, in element `element`'s start tag, attribute `attribute`'s name (or
// its value, between the quotes) stands: false when it cannot be found.
bool Locate(const Document& document, std::uint32_t element, const std::string& attribute,
            bool name, FixIt* fixit) {
  Tag tag;
  if (!document.StartTag(element, &tag)) return false;
  for (const Tag::Attribute& a : tag.attributes) {
    if (Utf8(a.name) != attribute || (!name && (a.quote == 0 || !a.closed))) continue;
    fixit->start = name ? a.nameAt : a.valueAt;
    fixit->end =
        name ? Position{a.nameAt.line, a.nameAt.column + static_cast<std::uint32_t>(a.name.size())}
             : a.valueEnd;
    return true;
  }
  return false;
}

// Collecting: the parse failure, the findings, a failure no finding
// explains, dropped text, and the encoding's contradictions, in that order.
std::vector<Message> Collect(const Compilation& c, Document& document,
                             const EngineSettings& settings, std::unique_ptr<SourceText>* reading) {
  const host::ParseReport& parse = *c.parse;
  std::vector<Message> messages;
  bool explained = false;
  if (parse.failed) {
    Message m;
    m.record = ExplainParseFailure(parse, document.Scan(), *document.text, settings.systemCodePage,
                                   reading);
    if (*reading) document.Reread(**reading);
    m.kind = m.record.kind;
    m.error = true;
    messages.push_back(m);
    explained = true;
  }
  for (const CompileFinding& f : *c.findings) {
    Message m;
    if (!Describe(f, &m)) continue;
    if (m.error) {
      if (parse.failed || Succeeded(c.hr)) continue;  // the parse error says it
      explained = true;
    }
    SayAsWritten(f, document, &m);
    messages.push_back(std::move(m));
  }
  if (Failed(c.hr) && !explained) {
    Message m;
    m.error = true;
    m.text = CauseOf(c.hr, &m.kind);
    messages.push_back(m);
  }
  if (parse.textRuns > 0) {
    Message m;
    m.record.at = {parse.textLine, parse.textColumn};
    m.kind = kTextDropped;
    m.text = "text is dropped: the compiled format keeps no character data";
    if (parse.textRuns > 1) {
      m.text += " (and " + std::to_string(parse.textRuns - 1) + " more run" +
                (parse.textRuns > 2 ? "s" : "") + " of text)";
    }
    messages.push_back(m);
  }
  if (!parse.failed) {
    for (Record& r : EncodingWarnings(parse.encoding, *document.text)) {
      Message m;
      m.kind = r.kind;
      m.text = r.message;
      m.record = std::move(r);
      messages.push_back(std::move(m));
    }
  }
  return messages;
}

// The record of a message, placed: its element's position, its notes at
// their elements, its fix-its at their attributes.
Record Place(Message& m, const Document& document) {
  Record record = std::move(m.record);
  if (m.element != 0) record.at = document.Place(m.element, &record.length);
  record.error = m.error;
  record.kind = m.kind;
  if (!m.text.empty()) record.message = m.text;
  for (const Message::Note& note : m.notes) {
    std::uint32_t length = 0;
    const Position at = document.Place(note.element, &length);
    record.notes.push_back({at, note.text, length});
  }
  for (const Message::Fix& fix : m.fixes) {
    FixIt fixit;
    if (Locate(document, m.element, fix.attribute, fix.name, &fixit)) {
      fixit.replacement = fix.replacement;
      fixit.certain = fix.certain;
      record.fixits.push_back(fixit);
    }
  }
  return record;
}

}  // namespace

bool NothingToReport(const Compilation& c) {
  return !c.parse->failed && c.findings->empty() && Succeeded(c.hr) && c.parse->textRuns == 0 &&
         c.parse->encoding.empty();
}

Diagnosis Diagnose(const Compilation& compilation, const SourceText& source,
                   const EngineSettings& settings) {
  Diagnosis d;
  if (NothingToReport(compilation)) return d;
  Document document(source);
  std::vector<Message> messages = Collect(compilation, document, settings, &d.reading);
  for (Message& m : messages) d.records.push_back(Place(m, document));
  std::stable_sort(d.records.begin(), d.records.end(),
                   [](const Record& a, const Record& b) { return a.at < b.at; });
  return d;
}

Record FileError(const std::string& file, const std::string& message) {
  Record record;
  record.file = file;
  record.kind = kFileError;
  record.error = true;
  record.message = message;
  return record;
}

void ApplyPolicy(const WarningPolicy& policy, std::vector<Record>* records) {
  std::erase_if(*records, [&](const Record& r) { return !policy.Shows(r.kind); });
  for (Record& r : *records) r.error = r.error || policy.IsError(r.kind);
}

bool AnyError(const std::vector<Record>& records) {
  return std::any_of(records.begin(), records.end(), [](const Record& r) { return r.error; });
}

}  // namespace oxa::tools
