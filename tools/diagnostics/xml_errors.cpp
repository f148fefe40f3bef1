// ExplainParseFailure: one function per kind of mistake, chosen by expat's
// error code; the text at the failure decides between the mistakes that
// expat reports alike.
#include "diagnostics/xml_errors.h"

#include <strings.h>

#include <cstdio>
#include <optional>
#include <string>

#include "diagnostics/encoding_evidence.h"
#include "diagnostics/finding_kinds.h"
#include "diagnostics/html_entities.h"
#include "diagnostics/markup.h"
#include "diagnostics/suggestions.h"
#include "diagnostics/wording.h"
#include "text/utf8.h"

namespace oxa::tools {
namespace {

std::string TagName(const std::u32string& name) {
  return "\"<" + Utf8(name) + ">\"";
}
Position After(Position at, std::uint32_t characters) {
  at.column += characters;
  return at;
}

// The '<' of the tag that `at` stands in: the last '<' before it.
bool TagStart(const SourceText& source, Position at, Position* open) {
  for (int steps = 0; steps < (1 << 20); ++steps) {
    if (source.At(at) == '<') {
      *open = at;
      return true;
    }
    if (!source.Previous(&at)) return false;
  }
  return false;
}

// The name of the element that ordinal `element` starts, as written.
std::u32string WrittenName(const SourceText& source, const host::DocumentScan& scan,
                           std::uint32_t element, Position* at) {
  Tag tag;
  if (element == 0 || element > scan.starts.size()) return U"";
  *at = {scan.starts[element - 1].line, scan.starts[element - 1].column};
  return ReadTag(source, *at, &tag) ? tag.name : U"";
}

class Explainer {
 public:
  Explainer(const host::ParseReport& parse, const host::DocumentScan& scan,
            const SourceText& source, const std::string& systemCodePage,
            std::unique_ptr<SourceText>* reading)
      : parse_(parse),
        scan_(scan),
        source_(&source),
        systemCodePage_(systemCodePage),
        reading_(reading),
        at_{parse.line, parse.column} {
    record_.at = at_;
    record_.error = true;
  }

  Record Explain() {
    record_.kind = KindOfError();
    if (!Specific()) record_.message = General();
    return record_;
  }

 private:
  void Note(Position at, std::uint32_t length, std::string message) {
    record_.notes.push_back({at, std::move(message), length});
  }
  void Fix(Position start, Position end, std::string replacement, bool certain = true) {
    record_.fixits.push_back({start, end, std::move(replacement), certain});
  }
  // Reads the document as `encoding` from now on, when it can be read so.
  void Reread(const std::string& encoding) {
    if (std::unique_ptr<SourceText> reread = source_->ReadAs(encoding)) {
      *reading_ = std::move(reread);
      source_ = reading_->get();
    }
  }
  // "X", "X or Y", "X, Y or Z".
  static std::string Alternatives(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
      text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
  }
  void Say(Position at, std::uint32_t length, std::string message) {
    record_.at = at;
    record_.length = length;
    record_.message = std::move(message);
  }

  // The kind of the failure: bytes the encoding cannot read (the host's own
  // message says so), memory, or markup.
  const char* KindOfError() const {
    switch (parse_.xmlError) {
      case 0:
      case XML_ERROR_UNKNOWN_ENCODING:
      case XML_ERROR_INCORRECT_ENCODING:
      case XML_ERROR_PARTIAL_CHAR:
        return kBadEncoding;
      case XML_ERROR_NO_MEMORY:
        return kOutOfMemoryKind;
      case XML_ERROR_NO_ELEMENTS:
        // Nothing but white space, comments or declarations: no root at all.
        return scan_.starts.empty() ? KindOf(FindingKind::kNoRoot)->name : kMalformedXml;
      default:
        return kMalformedXml;
    }
  }

  bool Specific() {
    switch (parse_.xmlError) {
      case 0:  // the host's own message: a byte its single-byte encoding lacks
        return RefusedByTheDeclaration();
      case XML_ERROR_INVALID_TOKEN:
        return UndeclaredEncoding() || BareAmpersand() || LessThanInValue() || UnquotedValue() ||
               HyphensInComment() || UnexpectedCharacter();
      case XML_ERROR_PARTIAL_CHAR:
        return UndeclaredEncoding();
      case XML_ERROR_NO_ELEMENTS:
        return NeverClosed();
      case XML_ERROR_TAG_MISMATCH:
        return Mismatch();
      case XML_ERROR_UNDEFINED_ENTITY:
        return UndefinedEntity();
      case XML_ERROR_DUPLICATE_ATTRIBUTE:
        return DuplicateAttribute();
      case XML_ERROR_UNBOUND_PREFIX:
        return UnboundPrefix();
      case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
        return AfterRoot();
      case XML_ERROR_MISPLACED_XML_PI:
        return MisplacedDeclaration();
      case XML_ERROR_UNCLOSED_TOKEN:
        return UnclosedMarkup();
      default:
        return false;
    }
  }

  // An undeclared document that is not UTF-8, with its likely encodings.
  bool UndeclaredEncoding() {
    if (source_->Declared()) return false;
    const std::uint8_t* bytes = source_->Bytes();
    const std::size_t size = source_->Size();
    const std::size_t bad = FirstNonUtf8(bytes, size);
    if (bad >= size) return false;
    const LikelyEncodings likely = GuessEncoding(bytes, size, systemCodePage_);
    // Where the evidence names one encoding, the text is shown in it.
    const bool one = likely.clear || likely.names.size() == 1;
    if (one) Reread(likely.names[0]);
    const Position at = source_->PositionOf(bad);
    std::string text = "the document declares no encoding, so it is read as UTF-8, but byte 0x" +
                       Hex(bytes[bad], 2) + " starts no UTF-8 character";
    if (likely.clear) {
      text += "; the document is written in " + likely.names[0];
    } else if (!likely.names.empty()) {
      text += "; declare the encoding it is written in, likely " + Alternatives(likely.names);
    } else {
      text += "; declare the encoding it is written in";
    }
    if (one) {
      // The declaration that says so: certain when the evidence is clear.
      Declaration declaration;
      const std::string name = likely.names[0];
      if (ReadDeclaration(*source_, &declaration) && declaration.afterVersion.line != 0) {
        Fix(declaration.afterVersion, declaration.afterVersion, " encoding=\"" + name + "\"",
            likely.clear);
      } else if (!declaration.present) {
        Fix({1, 1}, {1, 1}, "<?xml version=\"1.0\" encoding=\"" + name + "\"?>\n", likely.clear);
      }
    }
    Say(at, 1, text);
    record_.kind = kBadEncoding;
    return true;
  }

  // "Rock & Roll": expat stops just after the '&'.
  bool BareAmpersand() {
    Position amp = at_;
    if (source_->At(amp) != '&' && !(source_->Previous(&amp) && source_->At(amp) == '&'))
      return false;
    Say(amp, 1,
        "\"&\" starts an entity or character reference here, and none follows; write "
        "\"&amp;\" for the character itself");
    Fix(amp, After(amp, 1), "&amp;");
    return true;
  }

  // A '<' inside an attribute value: a '<' the author meant, or the next tag
  // after a quote that was never closed.
  bool LessThanInValue() {
    Position open;
    Position before = at_;
    if (source_->At(at_) != '<' || !source_->Previous(&before) ||
        !TagStart(*source_, before, &open))
      return false;
    Tag tag;
    if (!ReadTag(*source_, open, &tag)) return false;
    // The quoted value the '<' stands in: the reader may have read on past it,
    // taking the next tag's first quote as this value's end.
    const Tag::Attribute* holder = nullptr;
    for (const Tag::Attribute& a : tag.attributes) {
      if (a.quote != 0 && a.valueAt.line != 0 && a.valueAt <= at_ &&
          (!a.closed || at_ < a.valueEnd))
        holder = &a;
    }
    if (holder == nullptr) return false;
    const Tag::Attribute& value = *holder;
    Position quote = value.valueAt;
    source_->Previous(&quote);
    if (quote.line < at_.line) {
      Say(quote, 1,
          "the quote that opens the value of attribute " + Quoted(value.name) +
              " here is never closed");
      Note(at_, 1, "the next tag starts here, inside the value");
      return true;
    }
    Say(at_, 1, "\"<\" may not stand in an attribute value; write \"&lt;\"");
    Fix(at_, After(at_, 1), "&lt;");
    return true;
  }

  // "--" inside a comment: expat stops just after it.
  bool HyphensInComment() {
    Position first = at_;
    if (!source_->Previous(&first) || source_->At(first) != '-' || !source_->Previous(&first) ||
        source_->At(first) != '-')
      return false;
    // Inside a comment: a "<!--" before, with no "-->" after it.
    const std::u32string_view text = source_->Text();
    const std::size_t here = source_->IndexOf(first);
    const std::size_t opened = text.rfind(U"<!--", here);
    if (here == std::u32string_view::npos || opened == std::u32string_view::npos ||
        opened + 4 > here || text.find(U"-->", opened + 4) < here)
      return false;
    Say(first, 2, "\"--\" is not allowed inside a comment");
    Note(source_->PositionOfIndex(opened), 4, "the comment starts here");
    return true;
  }

  // name=value without quotes.
  bool UnquotedValue() {
    Position equals = at_;
    if (!source_->Previous(&equals) || source_->At(equals) != '=') return false;
    std::u32string value;
    Position end = at_;
    for (char32_t c = source_->At(end); !EndsUnquotedValue(c); c = source_->At(end)) {
      value += c;
      if (!source_->Next(&end)) break;
    }
    if (value.empty()) return false;
    Say(at_, static_cast<std::uint32_t>(value.size()),
        "an attribute value must be quoted: write \"" + Utf8(value) + "\"");
    Fix(at_, end, "\"" + Utf8(value) + "\"");
    return true;
  }

  bool UnexpectedCharacter() {
    const char32_t c = source_->At(at_);
    if (c == 0 || c == '\n') return false;
    if ((c < 0x20 && c != '\t' && c != '\r') || c == 0xFFFE || c == 0xFFFF) {
      Say(at_, 1, "character " + CharacterName(c) + " is not allowed in XML");
      return true;
    }
    if (c == 0xFFFD && source_->Declared()) return RefusedByTheDeclaration();
    Say(at_, 1, "unexpected " + CharacterName(c) + " here: it cannot start or continue the markup");
    return true;
  }

  // Bytes that are no character in the declared encoding, with what the
  // bytes say instead: a legacy encoding's document that is all UTF-8, or a
  // UTF-8 document written in another encoding.
  bool RefusedByTheDeclaration() {
    if (source_->At(at_) != 0xFFFD || !source_->Declared()) return false;
    const std::string refused = source_->BytesAt(at_);
    const std::string declared = source_->Encoding();
    std::string named;
    for (char b : refused) named += (named.empty() ? "0x" : " 0x") + Hex(std::uint8_t(b), 2);
    // The host's own words, which may name a superset, else ours.
    std::string text =
        parse_.xmlError == 0 && !parse_.message.empty()
            ? parse_.message
            : (refused.size() > 1 ? "bytes " + named + " have" : "byte " + named + " has") +
                  " no character in " + declared + ", the encoding the document declares";
    record_.kind = kBadEncoding;
    const std::uint8_t* bytes = source_->Bytes();
    const std::size_t size = source_->Size();
    const std::size_t offset = source_->OffsetOf(at_);
    Declaration declaration;
    const bool editable =
        ReadDeclaration(*source_, &declaration) && declaration.encodingAt.line != 0;
    std::string instead;  // the encoding the bytes are in
    bool certain = false;
    if (strcasecmp(declared.c_str(), "UTF-8") != 0 && LooksLikeUtf8(bytes, size)) {
      text +=
          "; every byte above 0x7F in it is part of a well-formed UTF-8 character: the "
          "document is UTF-8";
      instead = "UTF-8";
      certain = true;
    } else if (strcasecmp(declared.c_str(), "UTF-8") == 0) {
      const LikelyEncodings likely = GuessEncoding(bytes, size, systemCodePage_);
      if (likely.clear) {
        text += "; the document is written in " + likely.names[0];
      } else if (!likely.names.empty()) {
        text += "; it is likely written in " + Alternatives(likely.names);
      }
      if (likely.clear || likely.names.size() == 1) instead = likely.names[0];
      certain = likely.clear;
    }
    if (!instead.empty()) {
      if (editable) Fix(declaration.encodingAt, declaration.encodingEnd, instead, certain);
      Reread(instead);
      at_ = source_->PositionOf(offset);
    }
    Say(at_, 1, text);
    return true;
  }

  // The end of the document with elements still open.
  bool NeverClosed() {
    if (scan_.open.empty()) return false;
    std::string names, fix;
    std::vector<tools::Note> notes;  // kept apart until every name is found
    for (std::size_t i = scan_.open.size(); i-- > 0;) {
      Position at;
      const std::u32string name = WrittenName(*source_, scan_, scan_.open[i], &at);
      if (name.empty()) return false;
      names += (names.empty() ? "" : i == 0 ? " and " : ", ") + TagName(name);
      fix += "</" + Utf8(name) + ">";
      notes.push_back({at, TagName(name) + " starts here", std::uint32_t(name.size() + 1)});
    }
    record_.notes = std::move(notes);
    const Position end = source_->End();
    const std::optional<std::u32string_view> last = source_->Line(end.line);
    Say(end, 0,
        "the document ends before " + names + (scan_.open.size() > 1 ? " are" : " is") + " closed");
    Fix(end, end, (last && !last->empty() ? "\n" : "") + fix + "\n");
    return true;
  }

  bool Mismatch() {
    Position open;
    Tag tag;
    if (!TagStart(*source_, at_, &open) || !ReadTag(*source_, open, &tag) || !tag.end ||
        scan_.open.empty())
      return false;
    Position startAt;
    const std::u32string expected = WrittenName(*source_, scan_, scan_.open.back(), &startAt);
    if (expected.empty()) return false;
    Say(open, static_cast<std::uint32_t>(tag.name.size() + 2),
        "end tag \"</" + Utf8(tag.name) + ">\" does not match the open element " +
            TagName(expected));
    std::string note = TagName(expected) + " starts here";
    bool outerHasName = false;  // an element around the expected one ends here
    for (std::size_t i = scan_.open.size() - 1; i-- > 0 && !outerHasName;) {
      Position outer;
      outerHasName = WrittenName(*source_, scan_, scan_.open[i], &outer) == tag.name;
    }
    if (outerHasName) {
      note += "; it must end, with \"</" + Utf8(expected) + ">\", before " + TagName(tag.name) +
              " does";
    }
    Note(startAt, static_cast<std::uint32_t>(expected.size() + 1), note);
    // No element open has the end tag's name, and it is a slip of the
    // expected one: "</pannel>" for "<panel>".
    if (!outerHasName && !Closest(Utf8(tag.name), {Utf8(expected)}).empty())
      Fix(tag.nameAt, After(tag.nameAt, static_cast<std::uint32_t>(tag.name.size())),
          Utf8(expected));
    LeftOpenByIndentation();
    return true;
  }

  // How far the line of `at` is indented, in characters, when `at` is its
  // first character after the indentation; -1 otherwise.
  int IndentOf(Position at) const {
    const std::optional<std::u32string_view> line = source_->Line(at.line);
    if (!line) return -1;
    std::size_t indent = 0;
    while (indent < line->size() && ((*line)[indent] == ' ' || (*line)[indent] == '\t')) ++indent;
    return at.column == indent + 1 ? static_cast<int>(indent) : -1;
  }

  // Which element was left open, as the indentation tells it (rustc's way
  // with an unclosed delimiter): the first end tag that closed an element
  // indented otherwise, lined up instead with an element of that name
  // around it.
  void LeftOpenByIndentation() {
    struct Open {
      std::u32string name;
      Position at;
      int indent;
    };
    std::vector<Open> stack;
    std::size_t next = 0;  // the next start, by ordinal
    for (const host::DocumentScan::End& end : scan_.ends) {
      const Position endAt{end.at.line, end.at.column};
      // The starts up to this end's element, in document order.
      for (; next < scan_.starts.size() && next < end.element; ++next) {
        Open o;
        o.name = WrittenName(*source_, scan_, static_cast<std::uint32_t>(next + 1), &o.at);
        o.indent = IndentOf(o.at);
        stack.push_back(std::move(o));
      }
      if (stack.empty()) return;
      const Open closed = stack.back();
      stack.pop_back();
      const int endIndent = IndentOf(endAt);
      if (closed.name.empty() || endAt == closed.at || endIndent < 0 || closed.indent < 0 ||
          closed.indent == endIndent)
        continue;
      for (const Open& around : stack) {
        if (around.name != closed.name || around.indent != endIndent) continue;
        Note(closed.at, static_cast<std::uint32_t>(closed.name.size() + 1),
             TagName(closed.name) + " may be the element left open: the end tag at " +
                 std::to_string(endAt.line) + ":" + std::to_string(endAt.column) +
                 " that closed it lines up with " + TagName(around.name) + " at " +
                 std::to_string(around.at.line) + ":" + std::to_string(around.at.column));
        return;
      }
    }
  }

  // In content expat stops at the '&'; in an attribute value, at the tag.
  bool UndefinedEntity() {
    Position amp = at_;
    std::u32string name;
    if (source_->At(at_) == '&') {
      name = ReferenceName(at_);
    } else {
      Tag tag;
      if (!ReadTag(*source_, at_, &tag)) return false;
      for (const Tag::Attribute& attribute : tag.attributes) {
        for (Position p = attribute.valueAt; p.line != 0 && p != attribute.valueEnd;) {
          if (source_->At(p) == '&') {
            const std::u32string n = ReferenceName(p);
            if (!n.empty() && Undefined(n)) {
              amp = p;
              name = n;
              break;
            }
          }
          if (!source_->Next(&p)) break;
        }
        if (!name.empty()) break;
      }
    }
    if (name.empty()) return false;
    const auto length = static_cast<std::uint32_t>(name.size() + 2);
    Say(amp, length, "entity " + Quoted(name) + " is not defined");
    char32_t c = 0;
    if (HtmlEntity(Utf8(name), &c)) {
      Note(amp, length,
           "XML defines only &lt; &gt; &amp; &quot; and &apos;; " + Quoted(name) +
               " is HTML's name for " + CharacterName(c) + ", which a character reference gives");
      Fix(amp, After(amp, length), "&#" + std::to_string(c) + ";");
    } else {
      Note(amp, length,
           "XML defines only &lt; &gt; &amp; &quot; and &apos;; any other entity must be "
           "declared in the document's DTD");
    }
    return true;
  }

  // The name of the reference "&name;" at `amp`, or "" when it is not one.
  std::u32string ReferenceName(Position amp) {
    std::u32string name;
    Position p = amp;
    while (source_->Next(&p) && NameCharacter(source_->At(p)) && source_->At(p) != '\n')
      name += source_->At(p);
    return source_->At(p) == ';' ? name : U"";
  }

  bool Undefined(const std::u32string& name) {
    static const char32_t* const kPredefined[] = {U"lt", U"gt", U"amp", U"quot", U"apos"};
    for (const char32_t* p : kPredefined)
      if (name == p) return false;
    return scan_.entities.count(Utf8(name)) == 0;
  }

  bool DuplicateAttribute() {
    Position open;
    Tag tag;
    if (!TagStart(*source_, at_, &open) || !ReadTag(*source_, open, &tag)) return false;
    for (std::size_t i = 0; i < tag.attributes.size(); ++i) {
      if (tag.attributes[i].nameAt != at_) continue;
      const Tag::Attribute& second = tag.attributes[i];
      const auto length = static_cast<std::uint32_t>(second.name.size());
      for (std::size_t j = 0; j < i; ++j) {
        if (tag.attributes[j].name == second.name) {
          Say(at_, length,
              "attribute " + Quoted(second.name) + " is given twice in " + TagName(tag.name));
          Note(tag.attributes[j].nameAt, length, "first given here");
          return true;
        }
      }
      for (std::size_t j = 0; j < i; ++j) {
        if (LocalOf(tag.attributes[j].name) == LocalOf(second.name)) {
          Say(at_, length,
              "attribute " + Quoted(second.name) + " is the same attribute as " +
                  Quoted(tag.attributes[j].name) + ": their prefixes name one namespace");
          Note(tag.attributes[j].nameAt, static_cast<std::uint32_t>(tag.attributes[j].name.size()),
               Quoted(tag.attributes[j].name) + " is given here");
          return true;
        }
      }
    }
    return false;
  }

  // Whether `tag` declares `prefix` (xmlns:prefix).
  static bool Declares(const Tag& tag, const std::u32string& prefix) {
    for (const Tag::Attribute& attribute : tag.attributes)
      if (attribute.name == U"xmlns:" + prefix) return true;
    return false;
  }

  bool UnboundPrefix() {
    Tag tag;
    if (!ReadTag(*source_, at_, &tag)) return false;
    auto bound = [&](const std::u32string& prefix) {
      if (prefix.empty() || prefix == U"xml" || prefix == U"xmlns" || Declares(tag, prefix))
        return true;
      for (std::uint32_t element : scan_.open) {
        Tag outer;
        const host::TagPosition& p = scan_.starts[element - 1];
        if (ReadTag(*source_, {p.line, p.column}, &outer) && Declares(outer, prefix)) return true;
      }
      return false;
    };
    std::u32string prefix = PrefixOf(tag.name);
    Position at = tag.nameAt;
    if (bound(prefix)) {
      prefix.clear();
      for (const Tag::Attribute& attribute : tag.attributes) {
        const std::u32string p = PrefixOf(attribute.name);
        if (!bound(p)) {
          prefix = p;
          at = attribute.nameAt;
          break;
        }
      }
    }
    if (prefix.empty()) return false;
    Say(at, static_cast<std::uint32_t>(prefix.size()),
        "prefix " + Quoted(prefix) + " is not bound to a namespace: no \"xmlns:" + Utf8(prefix) +
            "\" attribute on this element or one around it declares it");
    // A prefixed directive: its namespace is surely the compiler's, declared
    // on the root as layouts do.
    if (at == tag.nameAt && Utf8(LocalOf(tag.name)) == kDirectiveName) {
      Tag root = tag;
      if (!scan_.starts.empty())
        ReadTag(*source_, {scan_.starts[0].line, scan_.starts[0].column}, &root);
      Fix(After(root.nameAt, static_cast<std::uint32_t>(root.name.size())),
          After(root.nameAt, static_cast<std::uint32_t>(root.name.size())),
          " xmlns:" + Utf8(prefix) + "=\"" + CompilerNamespaceUri + "\"", false);
    }
    return true;
  }

  bool AfterRoot() {
    Position rootAt;
    const std::u32string root = WrittenName(*source_, scan_, 1, &rootAt);
    const char32_t c = source_->At(at_);
    Position next = at_;
    source_->Next(&next);
    const char32_t second = source_->At(next);
    if (c == '<' && second == '?') {
      return MisplacedDeclaration();
    }
    if (c == '<' && NameCharacter(second)) {
      Tag tag;
      ReadTag(*source_, at_, &tag);
      Say(at_, static_cast<std::uint32_t>(tag.name.size() + 1),
          "a second root element " + TagName(tag.name) +
              ": a document has one root element, and everything else goes inside it");
    } else {
      Say(at_, 1,
          "text after the root element ends: a document has one root element, and "
          "everything else goes inside it");
    }
    if (!root.empty())
      Note(rootAt, static_cast<std::uint32_t>(root.size() + 1),
           "the root element " + TagName(root));
    return true;
  }

  bool MisplacedDeclaration() {
    Position next = at_;
    source_->Next(&next);
    source_->Next(&next);
    std::u32string name;
    for (Position p = next; NameCharacter(source_->At(p)) && source_->At(p) != '\n';) {
      name += source_->At(p);
      if (!source_->Next(&p)) break;
    }
    if (strcasecmp(Utf8(name).c_str(), "xml") != 0) {
      Say(at_, 2,
          "processing instruction target " + Quoted(name) +
              " is reserved: names starting \"xml\" belong to XML itself");
      return true;
    }
    // Only white space before it: deleting that mends the document.
    bool blank = true;
    for (Position p{1, 1}; p != at_ && blank;) {
      const char32_t c = source_->At(p);
      blank = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xFEFF;
      if (!source_->Next(&p)) break;
    }
    Say(at_, 5, "the XML declaration must come first in the document, with nothing before it");
    if (blank && at_ != Position{1, 1}) Fix({1, 1}, at_, "");
    return true;
  }

  bool UnclosedMarkup() {
    const char32_t c = source_->At(at_);
    if (c != '<') return false;
    Position p = at_;
    std::u32string head;
    for (int i = 0; i < 9 && source_->At(p) != 0; ++i) {
      head += source_->At(p);
      if (!source_->Next(&p)) break;
    }
    const char* what = head.compare(0, 4, U"<!--") == 0        ? "comment"
                       : head.compare(0, 9, U"<![CDATA[") == 0 ? "CDATA section"
                       : head.compare(0, 2, U"<?") == 0        ? "processing instruction"
                       : head.compare(0, 2, U"<!") == 0        ? "declaration"
                                                               : "tag";
    Say(at_, 1, std::string("the document ends inside this ") + what);
    return true;
  }

  // Our words for every error expat reports, and the host's own.
  std::string General() const {
    if (parse_.xmlError == 0) return parse_.message;
    switch (parse_.xmlError) {
      case XML_ERROR_NO_MEMORY:
        return "out of memory while parsing";
      case XML_ERROR_SYNTAX:
        return "syntax error: this is not XML markup";
      case XML_ERROR_NO_ELEMENTS:
        return "the document has no root element";
      case XML_ERROR_INVALID_TOKEN:
        return "the markup is not well-formed here";
      case XML_ERROR_UNCLOSED_TOKEN:
        return "the document ends inside markup";
      case XML_ERROR_PARTIAL_CHAR:
        return "the document ends in the middle of a character";
      case XML_ERROR_TAG_MISMATCH:
        return "the end tag does not match the open element";
      case XML_ERROR_DUPLICATE_ATTRIBUTE:
        return "an attribute is given twice";
      case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
        return "content after the root element ends";
      case XML_ERROR_PARAM_ENTITY_REF:
        return "a parameter entity reference may not stand here";
      case XML_ERROR_UNDEFINED_ENTITY:
        return "an entity is referred to but not defined";
      case XML_ERROR_RECURSIVE_ENTITY_REF:
        return "an entity refers to itself, directly or through others";
      case XML_ERROR_ASYNC_ENTITY:
        return "an entity's text must hold whole elements: one that starts in it must end in it";
      case XML_ERROR_BAD_CHAR_REF:
        return "the character reference names a character XML does not allow";
      case XML_ERROR_BINARY_ENTITY_REF:
        return "a reference to an unparsed (binary) entity may not stand in text";
      case XML_ERROR_ATTRIBUTE_EXTERNAL_ENTITY_REF:
        return "an attribute value may not refer to an external entity";
      case XML_ERROR_MISPLACED_XML_PI:
        return "the XML declaration must come first in the document";
      case XML_ERROR_UNKNOWN_ENCODING:
        return "the declared encoding " + Quoted(parse_.encoding) +
               " is not one this tool can read";
      case XML_ERROR_INCORRECT_ENCODING:
        return "the document's bytes are not in the encoding its declaration names (" +
               Quoted(parse_.encoding) + ")";
      case XML_ERROR_UNCLOSED_CDATA_SECTION:
        return "the CDATA section is never closed";
      case XML_ERROR_EXTERNAL_ENTITY_HANDLING:
        return "an external entity could not be processed";
      case XML_ERROR_NOT_STANDALONE:
        return "the document declares itself standalone but depends on external markup";
      case XML_ERROR_ENTITY_DECLARED_IN_PE:
        return "an entity is declared inside a parameter entity";
      case XML_ERROR_UNDECLARING_PREFIX:
        return "a namespace prefix cannot be undeclared (xmlns:prefix=\"\")";
      case XML_ERROR_INCOMPLETE_PE:
        return "a parameter entity holds an incomplete declaration";
      case XML_ERROR_XML_DECL:
        return "the XML declaration is malformed: write <?xml version=\"1.0\"?>, with an "
               "encoding and standalone after the version if needed";
      case XML_ERROR_TEXT_DECL:
        return "the text declaration of an external entity is malformed";
      case XML_ERROR_PUBLICID:
        return "the public identifier holds a character it may not";
      case XML_ERROR_RESERVED_PREFIX_XML:
        return "prefix \"xml\" is reserved and bound to its own namespace only";
      case XML_ERROR_RESERVED_PREFIX_XMLNS:
        return "prefix \"xmlns\" is reserved and cannot be declared";
      case XML_ERROR_RESERVED_NAMESPACE_URI:
        return "this namespace name is reserved for the \"xml\" or \"xmlns\" prefix";
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
      case XML_ERROR_AMPLIFICATION_LIMIT_BREACH:
        return "entity expansion makes the document grow past the limit against amplification "
               "attacks";
#endif
      default:
        return "the parser failed: " + parse_.message + " (expat error " +
               std::to_string(parse_.xmlError) + ")";
    }
  }

  const host::ParseReport& parse_;
  const host::DocumentScan& scan_;
  const SourceText* source_;  // the text given, or the reading chosen for it
  const std::string& systemCodePage_;
  std::unique_ptr<SourceText>* reading_;
  Position at_;
  Record record_;
};

}  // namespace

Record ExplainParseFailure(const host::ParseReport& parse, const host::DocumentScan& scan,
                           const SourceText& source, const std::string& systemCodePage,
                           std::unique_ptr<SourceText>* reading) {
  return Explainer(parse, scan, source, systemCodePage, reading).Explain();
}

}  // namespace oxa::tools
