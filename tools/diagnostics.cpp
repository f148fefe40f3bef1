// Diagnose: findings and failures turned into gcc-style messages.
#include "diagnostics.h"

#include <strings.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <xmlcompiler/host/expat_parser.h>

namespace oxa::tools {
namespace {

using host::CompileFinding;

constexpr char kTextDropped[] = "text-dropped";

// One message before it is placed: at an element (by ordinal) or at an
// explicit position; 0 for neither.
struct Message {
  std::uint32_t element = 0;
  std::uint32_t line = 0, column = 0;
  bool error = false;
  std::string text;
  std::string kind;  // the warning kind; empty for errors
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
};

const char* KindName(FindingKind kind) {
  switch (kind) {
    case FindingKind::kMissingLayoutId:
      return "missing-layoutid";
    case FindingKind::kUnknownLayout:
      return "unknown-layout";
    case FindingKind::kEmptyLayout:
      return "empty-layout";
    case FindingKind::kDuplicateId:
      return "duplicate-id";
    case FindingKind::kNotADirective:
      return "not-a-directive";
    default:
      return "";
  }
}

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

std::string NotADirectiveText(const CompileFinding& f) {
  const std::size_t colon = f.text.rfind(':');
  const std::string uri = colon == std::string::npos ? "" : f.text.substr(0, colon);
  if (colon != std::string::npos && uri != CompilerNamespaceUri) {
    return "element " + Quoted(f.text) + " is not the directive: it is in namespace " +
           Quoted(uri) + " (a default namespace counts too); write <" + kDirectiveName +
           "> in no namespace, or in " + Quoted(CompilerNamespaceUri);
  }
  return "element " + Quoted(f.text) + " is not the directive: names are case-sensitive; write " +
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
      m->text = NotADirectiveText(f);
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
  m->element = f.element;
  m->kind = KindName(f.kind);
  return DescribeWarning(f, m) || DescribeError(f, m);
}

// The cause of a failed compile that no finding explains.
std::string CauseOf(HResult hr) {
  if (hr == kOutOfMemory)
    return "layout expansion over its bound (" + ExpansionBoundText() + "), or out of memory";
  if (hr == kInvalidArg) {
    return "a name or value longer than " + LengthLimitText() +
           ", or a compiled document larger than 4 GB";
  }
  if (hr == kFail) return "no root element";
  return "compile failed with " + host::ResultText(hr);
}

// The document's lines, for the source line under a message.
class Source {
 public:
  Source(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
    // Lines can be shown only in an encoding where '\n' is one byte and no
    // character holds a zero byte.
    const std::size_t head = std::min<std::size_t>(size, 4096);
    shown_ = data != nullptr && size != 0 &&
             !(size >= 2 &&
               ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) &&
             std::find(data, data + head, 0) == data + head;
  }

  // Where, in the start tag at `line`:`column`, attribute `attribute`'s name
  // (or its value, between the quotes) stands: false when it cannot be found
  // on that line of UTF-8 text.
  bool Locate(std::uint32_t line, std::uint32_t column, const std::string& attribute, bool name,
              Position* start, Position* end) {
    std::string text;
    if (!Line(line, &text)) return false;
    // The byte of character `column`, then the tag's end.
    std::size_t at = 0;
    for (std::uint32_t c = 1; c < column && at < text.size(); ++at)
      if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) ++c;
    const std::size_t close = text.find('>', at);
    for (std::size_t p = text.find(attribute, at); p != std::string::npos && p < close;
         p = text.find(attribute, p + 1)) {
      const bool bounded = p > 0 && (text[p - 1] == ' ' || text[p - 1] == '\t');
      std::size_t q = p + attribute.size();
      while (q < text.size() && (text[q] == ' ' || text[q] == '\t')) ++q;
      if (!bounded || q >= text.size() || text[q] != '=') continue;
      std::size_t open = q + 1;
      while (open < text.size() && (text[open] == ' ' || text[open] == '\t')) ++open;
      if (open >= text.size() || (text[open] != '"' && text[open] != '\'')) return false;
      const std::size_t shut = text.find(text[open], open + 1);
      if (shut == std::string::npos) return false;
      const std::size_t from = name ? p : open + 1, to = name ? p + attribute.size() : shut;
      *start = {line, CharacterAt(text, from)};
      *end = {line, CharacterAt(text, to)};
      return true;
    }
    return false;
  }

  // The gcc-style excerpt of line `line` with a caret at character `column`,
  // or "" when the line cannot be shown as UTF-8 text.
  std::string Excerpt(std::uint32_t line, std::uint32_t column) {
    std::string text;
    if (column == 0 || !Line(line, &text)) return "";
    if (text.size() > 1000) return "";  // a minified document: no use printing it
    std::string marker;
    std::uint32_t character = 1;
    for (std::size_t i = 0; i < text.size() && character < column; ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (byte < 0x20 && byte != '\t') return "";
      if ((byte & 0xC0) == 0x80) continue;  // inside a character
      if (byte >= 0x80 && !ValidAt(text, i)) return "";
      marker += byte == '\t' ? '\t' : ' ';
      ++character;
    }
    if (character < column) return "";
    const std::string number = std::to_string(line);
    const std::string pad(number.size() < 5 ? 5 - number.size() : 0, ' ');
    return pad + number + " | " + text + "\n" + std::string(pad.size() + number.size(), ' ') +
           " | " + marker + "^\n";
  }

 private:
  // Line `line` without its end of line; false when it cannot be shown.
  bool Line(std::uint32_t line, std::string* text) {
    if (!shown_ || line == 0) return false;
    while (starts_.size() < line && scanned_ <= size_) {
      starts_.push_back(scanned_);
      const auto* nl =
          static_cast<const std::uint8_t*>(std::memchr(data_ + scanned_, '\n', size_ - scanned_));
      scanned_ = nl == nullptr ? size_ + 1 : static_cast<std::size_t>(nl - data_) + 1;
    }
    if (starts_.size() < line) return false;
    const std::size_t begin = starts_[line - 1];
    const auto* nl =
        static_cast<const std::uint8_t*>(std::memchr(data_ + begin, '\n', size_ - begin));
    std::size_t end = nl == nullptr ? size_ : static_cast<std::size_t>(nl - data_);
    if (end > begin && data_[end - 1] == '\r') --end;
    text->assign(reinterpret_cast<const char*>(data_ + begin), end - begin);
    return true;
  }

  // The 1-based character of byte `at` of `text`.
  static std::uint32_t CharacterAt(const std::string& text, std::size_t at) {
    std::uint32_t character = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i)
      if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++character;
    return character;
  }

  // Whether a well-formed UTF-8 sequence starts at `text[i]`.
  static bool ValidAt(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    return true;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  bool shown_;
  std::vector<std::size_t> starts_;
  std::size_t scanned_ = 0;
};

// Collecting: the parse failure, the findings the policy shows, a failure
// no finding explains, and dropped text, in that order.
std::vector<Message> Collect(const host::CompilerSession::Result& result,
                             const WarningPolicy& policy) {
  std::vector<Message> messages;
  bool explained = false;
  if (result.parse.failed) {
    Message m;
    m.line = result.parse.line;
    m.column = result.parse.column;
    m.error = true;
    m.text = result.parse.message;
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
    messages.push_back(std::move(m));
  }
  if (Failed(result.hr) && !explained) {
    Message m;
    m.error = true;
    m.text = CauseOf(result.hr);
    messages.push_back(m);
  }
  if (result.parse.textRuns > 0 && policy.Shows(kTextDropped)) {
    Message m;
    m.line = result.parse.textLine;
    m.column = result.parse.textColumn;
    m.kind = kTextDropped;
    m.text = "text is dropped: the compiled format keeps no character data";
    if (result.parse.textRuns > 1) {
      m.text += " (and " + std::to_string(result.parse.textRuns - 1) + " more run" +
                (result.parse.textRuns > 2 ? "s" : "") + " of text)";
    }
    messages.push_back(m);
  }
  return messages;
}

// Placing: the positions of elements named by ordinal, from one parse of
// the document made only when some message needs it.
class Placer {
 public:
  Placer(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  // Sets `line` and `column` to element `element`'s start tag (0: none).
  void Place(std::uint32_t element, std::uint32_t* line, std::uint32_t* column) {
    if (element == 0) return;
    if (!located_) {
      host::StartTagPositions(bytes_, size_, &positions_);
      located_ = true;
    }
    if (element <= positions_.size()) {
      *line = positions_[element - 1].line;
      *column = positions_[element - 1].column;
    }
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::vector<host::TagPosition> positions_;
  bool located_ = false;
};

// Rendering: gcc's lines for each placed message and its notes.
void Render(const std::string& file, const std::vector<Message>& messages,
            const WarningPolicy& policy, Placer& placer, Source& source, Diagnosis* d) {
  auto where = [&](std::uint32_t line, std::uint32_t column) {
    return line == 0 ? file + ": "
                     : file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
  };
  for (const Message& m : messages) {
    const bool error = m.error || policy.asErrors;
    std::string flag;
    if (!m.kind.empty())
      flag = policy.asErrors ? " [-Werror=" + m.kind + "]" : " [-W" + m.kind + "]";
    d->text += where(m.line, m.column) + (error ? "error: " : "warning: ") + m.text + flag + "\n";
    d->text += source.Excerpt(m.line, m.column);
    (error ? d->errors : d->warnings) += 1;
    d->failed = d->failed || error;
    Record record{file, {m.line, m.column}, error, m.kind, m.text, {}, {}};
    for (const Message::Note& note : m.notes) {
      std::uint32_t line = 0, column = 0;
      placer.Place(note.element, &line, &column);
      d->text += where(line, column) + "note: " + note.text + "\n";
      d->text += source.Excerpt(line, column);
      record.notes.push_back({{line, column}, note.text});
    }
    for (const Message::Fix& fix : m.fixes) {
      FixIt fixit;
      if (source.Locate(m.line, m.column, fix.attribute, fix.name, &fixit.start, &fixit.end)) {
        fixit.replacement = fix.replacement;
        record.fixits.push_back(fixit);
      }
    }
    d->records.push_back(std::move(record));
  }
}

}  // namespace

const std::set<std::string>& WarningKinds() {
  static const std::set<std::string> kinds = {
      KindName(FindingKind::kMissingLayoutId), KindName(FindingKind::kUnknownLayout),
      KindName(FindingKind::kEmptyLayout),     KindName(FindingKind::kDuplicateId),
      KindName(FindingKind::kNotADirective),   kTextDropped};
  return kinds;
}

Diagnosis FileError(const std::string& file, const std::string& message) {
  Diagnosis d;
  d.text = file + ": error: " + message + "\n";
  d.records.push_back({file, {}, true, "", message, {}, {}});
  d.errors = 1;
  d.failed = true;
  return d;
}

Diagnosis Diagnose(const std::string& file, const host::CompilerSession::Result& result,
                   const WarningPolicy& policy) {
  std::vector<Message> messages = Collect(result, policy);
  Diagnosis d;
  d.failed = Failed(result.hr);
  if (messages.empty()) return d;

  const std::uint8_t* bytes = result.input ? result.input->GetBuffer() : nullptr;
  const std::size_t size = bytes == nullptr ? 0 : result.input->GetSize();
  Placer placer(bytes, size);
  for (Message& m : messages) placer.Place(m.element, &m.line, &m.column);
  std::stable_sort(messages.begin(), messages.end(), [](const Message& a, const Message& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  Source source(bytes, size);
  Render(file, messages, policy, placer, source, &d);
  return d;
}

}  // namespace oxa::tools
