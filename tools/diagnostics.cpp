// Diagnose: findings and failures turned into gcc-style messages.
#include "diagnostics.h"

#include <strings.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <utf8proc.h>

#include <xmlcompiler/host/expat_parser.h>

#include "markup.h"
#include "xml_errors.h"

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
  // value) becomes `replacement`.
  struct Fix {
    std::string attribute;
    bool name = false;
    std::string replacement;
  };
  std::vector<Fix> fixes;
  Record record;
};

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// `n` with its thousands grouped by commas, as the messages write numbers.
std::string Grouped(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

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
    m->fixes.push_back({kLayoutIdAttribute, false, f.other});
    m->notes.push_back({f.related, "this element's id " + Quoted(f.other) +
                                       " differs only in case; ids are case-sensitive"});
  } else if (f.related != 0) {
    m->fixes.push_back({kLayoutIdAttribute, false, f.other});
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
        m->fixes.push_back({f.text, true, kLayoutIdAttribute});
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
           ", or a compiled document larger than 4 GB";
  }
  if (hr == kFail) {
    *kind = KindOf(FindingKind::kNoRoot)->name;
    return "no root element";
  }
  return "compile failed with " + host::ResultText(hr);
}

// The document as the messages need it: its text, decoded on demand, and
// the second parse's account of it, made only when a message needs it.
class Document {
 public:
  Document(const std::uint8_t* bytes, std::size_t size) : text(bytes, size) {}

  const host::DocumentScan& Scan() {
    if (!scanned_) {
      host::ScanDocument(text.Bytes(), text.Size(), &scan_);
      scanned_ = true;
    }
    return scan_;
  }

  // Element `element`'s start tag, read back from the text; false when it
  // cannot be found (0, or after a malformed part).
  bool StartTag(std::uint32_t element, Tag* tag) {
    const host::DocumentScan& scan = Scan();
    if (element == 0 || element > scan.starts.size()) return false;
    const host::TagPosition& at = scan.starts[element - 1];
    return ReadTag(text, {at.line, at.column}, tag);
  }

  // Where element `element`'s start tag is, and the length of "<name".
  Position Place(std::uint32_t element, std::uint32_t* length) {
    const host::DocumentScan& scan = Scan();
    if (element == 0 || element > scan.starts.size()) return {};
    Tag tag;
    *length = StartTag(element, &tag) ? static_cast<std::uint32_t>(tag.name.size() + 1) : 1;
    return {scan.starts[element - 1].line, scan.starts[element - 1].column};
  }

  SourceText text;

 private:
  host::DocumentScan scan_;
  bool scanned_ = false;
};

// The words of findings that name what the author wrote: a lookalike of
// the directive, and a directive whose layoutid carries a prefix.
void SayAsWritten(const CompileFinding& f, Document& document, Message* m) {
  Tag tag;
  if (!document.StartTag(f.element, &tag)) return;
  if (f.kind == FindingKind::kNotADirective) {
    m->text = NotADirectiveText(f, Utf8(tag.name));
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
}

// Collecting: the parse failure, the findings the policy shows, a failure
// no finding explains, dropped text, and the encoding's contradictions, in
// that order.
std::vector<Message> Collect(const host::CompilerSession::Result& result,
                             const WarningPolicy& policy, Document* document) {
  std::vector<Message> messages;
  bool explained = false;
  if (result.parse.failed) {
    Message m;
    m.record = ExplainParseFailure(result.parse, document->Scan(), document->text);
    m.kind = m.record.kind;
    m.error = true;
    messages.push_back(m);
    explained = true;
  }
  for (const CompileFinding& f : result.findings) {
    Message m;
    if (!Describe(f, &m)) continue;
    if (m.error) {
      if (result.parse.failed || Succeeded(result.hr)) continue;  // the parse error says it
      explained = true;
    } else if (!policy.Shows(m.kind)) {
      continue;
    }
    SayAsWritten(f, *document, &m);
    messages.push_back(std::move(m));
  }
  if (Failed(result.hr) && !explained) {
    Message m;
    m.error = true;
    m.text = CauseOf(result.hr, &m.kind);
    messages.push_back(m);
  }
  if (result.parse.textRuns > 0 && policy.Shows(kTextDropped)) {
    Message m;
    m.record.at = {result.parse.textLine, result.parse.textColumn};
    m.kind = kTextDropped;
    m.text = "text is dropped: the compiled format keeps no character data";
    if (result.parse.textRuns > 1) {
      m.text += " (and " + std::to_string(result.parse.textRuns - 1) + " more run" +
                (result.parse.textRuns > 2 ? "s" : "") + " of text)";
    }
    messages.push_back(m);
  }
  if (!result.parse.failed && policy.Shows(kEncodingMismatch)) {
    for (Record& r : EncodingWarnings(result.parse.encoding, document->text)) {
      Message m;
      m.kind = r.kind;
      m.text = r.message;
      m.record = std::move(r);
      messages.push_back(std::move(m));
    }
  }
  return messages;
}

// Where, in element `element`'s start tag, attribute `attribute`'s name (or
// its value, between the quotes) stands: false when it cannot be found.
bool Locate(Document& document, std::uint32_t element, const std::string& attribute, bool name,
            FixIt* fixit) {
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

// The display width of `c` in a terminal: 2 for East Asian wide characters,
// 0 for combining marks, 1 otherwise.
int Width(char32_t c) {
  const int width = utf8proc_charwidth(static_cast<utf8proc_int32_t>(c));
  return width < 0 ? 1 : width;
}

// The characters of a line as shown: controls other than tab (C1 included)
// as U+FFFD.
char32_t Shown(char32_t c) {
  return (c < 0x20 && c != '\t') || (c >= 0x7F && c < 0xA0) ? 0xFFFD : c;
}

// `text` quoted, a line end in it written as "\n".
std::string QuotedOneLine(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out + "\"";
}

// gcc's colours (the defaults of its GCC_COLORS) as SGR escapes, or none.
class Palette {
 public:
  explicit Palette(bool on) : on_(on) {}
  // `text` in colour `sgr`, or as it is when colours are off.
  std::string Paint(const char* sgr, const std::string& text) const {
    if (!on_ || text.empty()) return text;
    return "\033[" + std::string(sgr) + "m\033[K" + text + "\033[m\033[K";
  }

 private:
  bool on_;
};

constexpr char kLocusColor[] = "01", kErrorColor[] = "01;31", kWarningColor[] = "01;35",
               kNoteColor[] = "01;36", kFixItColor[] = "32";

// "FILE:LINE:COLUMN: ", or "FILE: " without a position.
std::string Where(const std::string& file, Position at, const Palette& palette) {
  return palette.Paint(kLocusColor, at.line == 0 ? file + ":"
                                                 : file + ":" + std::to_string(at.line) + ":" +
                                                       std::to_string(at.column) + ":") +
         " ";
}

// The gcc-style excerpt of the line at `at`: the line in UTF-8, the caret at
// `at`'s display column with `length` characters underlined, and a fix-it's
// replacement on that line under the text it replaces. The token and its
// marks are in colour `sgr`, the replacement in the fix-its' colour. "" for
// no line, or one too long to be of use (a minified document).
std::string Excerpt(SourceText& text, Position at, std::uint32_t length, const FixIt* fixit,
                    const Palette& palette, const char* sgr) {
  const std::u32string* line = text.Line(at.line);
  if (at.column == 0 || line == nullptr || line->size() > 1000 || at.column > line->size() + 1)
    return "";
  std::string marker, fix;  // the caret's line, the fix-it's
  auto pad = [&](std::string* out, std::uint32_t column) {
    // Spaces (tabs kept) up to `column`'s display column.
    for (std::uint32_t i = 1; i < column && i <= line->size(); ++i) {
      const char32_t c = (*line)[i - 1];
      if (c == '\t') {
        *out += '\t';
      } else {
        out->append(static_cast<std::size_t>(Width(Shown(c))), ' ');
      }
    }
  };
  // The line as three runs: before the token, the token, after it.
  const std::size_t tokenEnd =
      std::min<std::size_t>(line->size(), at.column - 1 + std::max<std::uint32_t>(length, 1));
  std::string runs[3];
  for (std::size_t i = 0; i < line->size(); ++i)
    AppendUtf8(Shown((*line)[i]), &runs[i < at.column - 1 ? 0 : i < tokenEnd ? 1 : 2]);
  const std::string shown = runs[0] + palette.Paint(sgr, runs[1]) + runs[2];
  std::string caret = "^";
  for (std::uint32_t i = at.column + 1; i < at.column + length && i <= line->size(); ++i) {
    const int cells = (*line)[i - 1] == '\t' ? 1 : Width(Shown((*line)[i - 1]));
    caret.append(static_cast<std::size_t>(cells), '~');
  }
  pad(&marker, at.column);
  marker += palette.Paint(sgr, caret);
  const std::string number = std::to_string(at.line);
  const std::string gutter(number.size() < 5 ? 5 - number.size() : 0, ' ');
  const std::string blank = std::string(gutter.size() + number.size(), ' ') + " | ";
  std::string out = gutter + number + " | " + shown + "\n" + blank + marker + "\n";
  if (fixit != nullptr && fixit->start.line == at.line) {
    pad(&fix, fixit->start.column);
    out += blank + fix +
           palette.Paint(kFixItColor, fixit->replacement.substr(0, fixit->replacement.find('\n'))) +
           "\n";
  }
  return out;
}

// Rendering: gcc's lines for each placed message and its notes.
void Render(const std::string& file, std::vector<Message>& messages, const WarningPolicy& policy,
            const Palette& palette, Document& document, Diagnosis* d) {
  for (Message& m : messages) {
    Record& record = m.record;
    record.file = file;
    record.error = m.error || policy.IsError(m.kind);
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
        record.fixits.push_back(fixit);
      }
    }
    const char* color = record.error ? kErrorColor : kWarningColor;
    std::string flag;
    if (!m.error)  // a warning, even when -Werror made it an error
      flag = " [" + palette.Paint(color, (record.error ? "-Werror=" : "-W") + m.kind) + "]";
    d->text += Where(file, record.at, palette) +
               palette.Paint(color, record.error ? "error:" : "warning:") + " " + record.message +
               flag + "\n";
    const FixIt* first = record.fixits.empty() ? nullptr : &record.fixits[0];
    d->text += Excerpt(document.text, record.at, record.length,
                       first != nullptr && first->start.line == record.at.line ? first : nullptr,
                       palette, color);
    (record.error ? d->errors : d->warnings) += 1;
    d->failed = d->failed || record.error;
    const std::string noteLabel = palette.Paint(kNoteColor, "note:") + " ";
    for (const Record::Note& note : record.notes) {
      d->text += Where(file, note.at, palette) + noteLabel + note.message + "\n";
      if (note.at != record.at)
        d->text += Excerpt(document.text, note.at, note.length, nullptr, palette, kNoteColor);
    }
    // A fix-it away from the message's line gets a note of its own.
    for (const FixIt& fixit : record.fixits) {
      if (fixit.start.line == record.at.line) continue;
      const bool insertion = fixit.start == fixit.end;
      std::string what = "replace this with " + QuotedOneLine(fixit.replacement);
      if (insertion) {
        what = "insert " + QuotedOneLine(fixit.replacement) + " here";
      } else if (fixit.replacement.empty()) {
        what = "delete from here up to " + std::to_string(fixit.end.line) + ":" +
               std::to_string(fixit.end.column);
      }
      d->text += Where(file, fixit.start, palette) + noteLabel + what + "\n";
      d->text += Excerpt(document.text, fixit.start,
                         insertion || fixit.end.line != fixit.start.line
                             ? 0
                             : fixit.end.column - fixit.start.column,
                         &fixit, palette, kNoteColor);
    }
    d->records.push_back(std::move(record));
  }
}

}  // namespace

Diagnosis FileError(const std::string& file, const std::string& message, bool color) {
  const Palette palette(color);
  Diagnosis d;
  d.text = Where(file, {}, palette) + palette.Paint(kErrorColor, "error:") + " " + message + "\n";
  Record record;
  record.file = file;
  record.kind = kFileError;
  record.error = true;
  record.message = message;
  d.records.push_back(record);
  d.errors = 1;
  d.failed = true;
  return d;
}

Diagnosis Diagnose(const std::string& file, const host::CompilerSession::Result& result,
                   const WarningPolicy& policy, bool color) {
  Diagnosis d;
  d.failed = Failed(result.hr);
  const bool quiet = !result.parse.failed && result.findings.empty() && Succeeded(result.hr) &&
                     result.parse.textRuns == 0 && result.parse.encoding.empty();
  if (quiet) return d;  // nothing to report: the text is not even looked at

  const std::uint8_t* bytes = result.input ? result.input->GetBuffer() : nullptr;
  const std::size_t size = bytes == nullptr ? 0 : result.input->GetSize();
  Document document(bytes, size);
  std::vector<Message> messages = Collect(result, policy, &document);
  if (messages.empty()) return d;
  for (Message& m : messages) {
    if (m.element != 0) m.record.at = document.Place(m.element, &m.record.length);
  }
  std::stable_sort(messages.begin(), messages.end(), [](const Message& a, const Message& b) {
    return a.record.at.line != b.record.at.line ? a.record.at.line < b.record.at.line
                                                : a.record.at.column < b.record.at.column;
  });
  Render(file, messages, policy, Palette(color), document, &d);
  return d;
}

}  // namespace oxa::tools
