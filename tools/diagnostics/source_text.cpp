// SourceText: finding the encoding, decoding the text once, and the
// positions in it.
#include "diagnostics/source_text.h"

#include <strings.h>

#include <algorithm>
#include <array>

#include <xmlcompiler/host/legacy_encoding.h>

#include "diagnostics/markup.h"
#include "text/utf8.h"

namespace oxa::tools {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

enum class Kind { kUtf8, kUtf16, kLatin1, kAscii, kLegacy };

bool Same(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

// The encoding the declaration at the start of `data` names, or "": the
// declaration is ASCII, so its bytes are read as code points.
std::string DeclaredEncoding(const std::uint8_t* data, std::size_t size) {
  const std::u32string head(data, data + std::min<std::size_t>(size, 1024));
  const DeclarationSpan span = ScanDeclaration(head);
  if (!span.present || !span.hasEncoding) return "";
  return std::string(data + span.encodingBegin, data + span.encodingEnd);
}

}  // namespace

// How the bytes become code points: one of XML's own encodings, or the
// reading the host's legacy-encoding handler gives expat. Used while the
// text is decoded, then released.
struct SourceText::Reading {
  Kind kind = Kind::kUtf8;
  bool bigEndian = false;
  XML_Encoding legacy{};
  bool held = false;  // whether `legacy` must be released

  Reading() = default;
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;
  ~Reading() {
    if (held && legacy.release != nullptr) legacy.release(legacy.data);
  }

  // Sets the reading of `encoding` for `data`; false when it cannot be read so.
  bool Open(const std::string& encoding, const std::uint8_t* data, std::size_t size) {
    if (Same(encoding, "UTF-8")) {
      kind = Kind::kUtf8;
    } else if (Same(encoding, "UTF-16LE") || Same(encoding, "UTF-16BE") ||
               Same(encoding, "UTF-16")) {
      // UTF-16 without a byte order mark is big-endian, unless the document
      // starts as little-endian "<?".
      kind = Kind::kUtf16;
      bigEndian = Same(encoding, "UTF-16BE") ||
                  (Same(encoding, "UTF-16") && !(size >= 2 && data[0] == 0xFF) &&
                   !(size >= 2 && data[0] == '<' && data[1] == 0));
    } else if (Same(encoding, "ISO-8859-1")) {
      kind = Kind::kLatin1;
    } else if (Same(encoding, "US-ASCII")) {
      kind = Kind::kAscii;
    } else {
      kind = Kind::kLegacy;
      if (host::LegacyEncodingHandler(nullptr, encoding.c_str(), &legacy) != XML_STATUS_OK)
        return false;
      held = true;
    }
    return true;
  }

  // Decodes the character at `p` (before `end`) into `c`; returns its bytes.
  std::size_t Read(const std::uint8_t* p, const std::uint8_t* end, char32_t* c) const {
    switch (kind) {
      case Kind::kLatin1:
        *c = *p;
        return 1;
      case Kind::kAscii:
        *c = *p < 0x80 ? *p : kReplacement;
        return 1;
      case Kind::kUtf16:
        return ReadUtf16(p, end, c);
      case Kind::kLegacy:
        return ReadLegacy(p, end, c);
      case Kind::kUtf8:
        break;
    }
    const std::size_t length = DecodeUtf8(p, end, c);
    if (length != 0) return length;
    *c = kReplacement;
    return 1;
  }

  std::size_t ReadUtf16(const std::uint8_t* p, const std::uint8_t* end, char32_t* c) const {
    auto unit = [&](const std::uint8_t* q) -> char32_t {
      return bigEndian ? (q[0] << 8) | q[1] : (q[1] << 8) | q[0];
    };
    *c = kReplacement;
    if (end - p < 2) return static_cast<std::size_t>(end - p);
    const char32_t first = unit(p);
    if (first < 0xD800 || first > 0xDFFF) {
      *c = first;
      return 2;
    }
    if (first >= 0xDC00 || end - p < 4) return 2;
    const char32_t second = unit(p + 2);
    if (second < 0xDC00 || second > 0xDFFF) return 2;
    *c = 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    return 4;
  }

  std::size_t ReadLegacy(const std::uint8_t* p, const std::uint8_t* end, char32_t* c) const {
    const int entry = legacy.map[*p];
    *c = kReplacement;
    if (entry >= 0) {
      *c = static_cast<char32_t>(entry);
      return 1;
    }
    if (entry == -1 || legacy.convert == nullptr) return 1;
    const auto length = static_cast<std::size_t>(-entry);
    if (static_cast<std::size_t>(end - p) < length) return 1;
    const int value = legacy.convert(legacy.data, reinterpret_cast<const char*>(p));
    if (value < 0) return 1;
    *c = static_cast<char32_t>(value);
    return length;
  }
};

SourceText::SourceText(const std::uint8_t* data, std::size_t size)
    : data_(data), size_(data == nullptr ? 0 : size) {
  std::size_t bom = 0;
  std::string name;
  if (size_ >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    bom = 3;
    name = "UTF-8";
  } else if (size_ >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    bom = 2;
    name = "UTF-16LE";
  } else if (size_ >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    bom = 2;
    name = "UTF-16BE";
  } else if (size_ >= 4 && data[0] == '<' && data[1] == 0 && data[2] == '?' && data[3] == 0) {
    name = "UTF-16LE";
  } else if (size_ >= 4 && data[0] == 0 && data[1] == '<' && data[2] == 0 && data[3] == '?') {
    name = "UTF-16BE";
  }
  if (name.empty()) name = DeclaredEncoding(data_, size_);
  declared_ = !name.empty();
  Reading reading;
  if (declared_ && reading.Open(name, data_, size_)) {
    encoding_ = name;
    Read(reading, bom);
    return;
  }
  Reading utf8;
  utf8.Open("UTF-8", data_, size_);
  encoding_ = "UTF-8";
  readable_ = !declared_;
  Read(utf8, bom);
}

std::unique_ptr<SourceText> SourceText::FromText(std::string_view utf8) {
  std::unique_ptr<SourceText> text(new SourceText());
  text->owned_ = std::make_shared<const std::string>(utf8);
  text->data_ = reinterpret_cast<const std::uint8_t*>(text->owned_->data());
  text->size_ = text->owned_->size();
  text->encoding_ = "UTF-8";
  text->declared_ = true;
  Reading reading;
  reading.Open("UTF-8", text->data_, text->size_);
  text->Read(reading, 0);
  return text;
}

SourceText::~SourceText() = default;

std::unique_ptr<SourceText> SourceText::ReadAs(const std::string& encoding) const {
  Reading reading;
  if (!reading.Open(encoding, data_, size_)) return nullptr;
  std::unique_ptr<SourceText> text(new SourceText());
  text->data_ = data_;
  text->size_ = size_;
  text->owned_ = owned_;
  text->encoding_ = encoding;
  text->declared_ = declared_;
  std::size_t bom = 0;
  if (reading.kind == Kind::kUtf16 && size_ >= 2 && (data_[0] == 0xFF || data_[0] == 0xFE)) {
    bom = 2;
  } else if (reading.kind == Kind::kUtf8 && size_ >= 3 && data_[0] == 0xEF && data_[1] == 0xBB &&
             data_[2] == 0xBF) {
    bom = 3;
  }
  text->Read(reading, bom);
  return text;
}

void SourceText::Read(const Reading& reading, std::size_t start) {
  chars_.reserve(size_ - start);
  widths_.reserve(size_ - start);
  const std::uint8_t* p = data_ + start;
  const std::uint8_t* const end = data_ + size_;
  LineSpan line{0, 0, start};
  // Whether every ASCII byte reads as itself (not in UTF-16, nor in a legacy
  // encoding that reads 0x5C as the yen sign, say): then it needs no reading.
  bool ascii = reading.kind != Kind::kUtf16;
  for (int b = 0; ascii && reading.kind == Kind::kLegacy && b < 0x80; ++b)
    ascii = reading.legacy.map[b] == b;
  while (p < end) {
    char32_t c = *p;
    std::size_t used = 1;
    if (c >= 0x80 || !ascii) {
      used = reading.Read(p, end, &c);
      if (used == 0) used = 1;
    }
    p += used;
    chars_.push_back(c);
    widths_.push_back(static_cast<std::uint8_t>(used));
    if (c != '\n' && c != '\r') continue;
    line.end = chars_.size() - 1;
    if (c == '\r' && p < end) {  // CR LF is one line end
      char32_t next = 0;
      const std::size_t more = reading.Read(p, end, &next);
      if (next == '\n' && more != 0) {
        p += more;
        chars_.push_back(next);
        widths_.push_back(static_cast<std::uint8_t>(more));
      }
    }
    lines_.push_back(line);
    line = {chars_.size(), 0, static_cast<std::size_t>(p - data_)};
  }
  line.end = chars_.size();
  lines_.push_back(line);
  // What BytesAt needs of the reading afterwards.
  switch (reading.kind) {
    case Kind::kUtf8:
      sequenceKind_ = 1;
      break;
    case Kind::kUtf16:
      sequenceKind_ = 2;
      break;
    case Kind::kLegacy:
      sequenceKind_ = 3;
      sequenceOf_.resize(256, 1);
      for (int b = 0; b < 256; ++b)
        if (reading.legacy.map[b] < -1)
          sequenceOf_[b] = static_cast<std::uint8_t>(-reading.legacy.map[b]);
      break;
    default:
      sequenceKind_ = 0;
  }
}

std::optional<std::u32string_view> SourceText::Line(std::uint32_t line) const {
  if (line == 0 || line > lines_.size()) return std::nullopt;
  const LineSpan& span = lines_[line - 1];
  return std::u32string_view(chars_).substr(span.begin, span.end - span.begin);
}

std::size_t SourceText::IndexOf(Position at) const {
  if (at.line == 0 || at.line > lines_.size() || at.column == 0) return std::u32string::npos;
  const LineSpan& span = lines_[at.line - 1];
  const std::size_t index = span.begin + at.column - 1;
  if (index > span.end) return std::u32string::npos;
  return index;
}

char32_t SourceText::At(Position at) const {
  const std::size_t index = IndexOf(at);
  if (index == std::u32string::npos) return 0;
  const LineSpan& span = lines_[at.line - 1];
  if (index < span.end) return chars_[index];
  return at.line < lines_.size() ? U'\n' : 0;
}

bool SourceText::Next(Position* at) const {
  const std::size_t index = IndexOf(*at);
  if (index == std::u32string::npos) return false;
  if (index < lines_[at->line - 1].end) {
    ++at->column;
    return true;
  }
  if (at->line >= lines_.size()) return false;
  *at = {at->line + 1, 1};
  return true;
}

bool SourceText::Previous(Position* at) const {
  if (at->column > 1) {
    --at->column;
    return true;
  }
  if (at->line <= 1 || at->line > lines_.size() + 1) return false;
  const LineSpan& span = lines_[at->line - 2];
  *at = {at->line - 1, static_cast<std::uint32_t>(span.end - span.begin + 1)};
  return true;
}

Position SourceText::End() const {
  const LineSpan& last = lines_.back();
  return {LineCount(), static_cast<std::uint32_t>(last.end - last.begin + 1)};
}

Position SourceText::PositionOf(std::size_t offset) const {
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), offset,
                                      [](std::size_t o, const LineSpan& l) { return o < l.byte; });
  if (after == lines_.begin()) return {1, 1};
  const auto line = static_cast<std::uint32_t>(after - lines_.begin());
  const LineSpan& span = lines_[line - 1];
  std::size_t byte = span.byte;
  std::size_t index = span.begin;
  while (index < chars_.size() && byte + widths_[index] <= offset) byte += widths_[index++];
  return {line, static_cast<std::uint32_t>(index - span.begin + 1)};
}

std::size_t SourceText::OffsetOf(Position at) const {
  const std::size_t index = IndexOf(at);
  if (index == std::u32string::npos) return size_;
  const LineSpan& span = lines_[at.line - 1];
  std::size_t byte = span.byte;
  for (std::size_t i = span.begin; i < index && i < chars_.size(); ++i) byte += widths_[i];
  return byte;
}

Position SourceText::PositionOfIndex(std::size_t index) const {
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), index,
                                      [](std::size_t i, const LineSpan& l) { return i < l.begin; });
  if (after == lines_.begin()) return {1, 1};
  const auto line = static_cast<std::uint32_t>(after - lines_.begin());
  return {line, static_cast<std::uint32_t>(index - lines_[line - 1].begin + 1)};
}

std::string SourceText::BytesAt(Position at) const {
  const std::size_t index = IndexOf(at);
  if (index == std::u32string::npos || index >= chars_.size()) return "";
  const std::size_t byte = OffsetOf(at);
  const std::uint8_t* p = data_ + byte;
  std::size_t length = widths_[index];
  if (chars_[index] == kReplacement) {  // the whole sequence its first byte starts
    if (sequenceKind_ == 1) {
      // A lead byte and the continuation bytes that follow it, as far as it
      // asks for them: "Zurück" in windows-1252 is the one byte 0xFC.
      const std::size_t wanted = *p >= 0xC2 && *p <= 0xDF   ? 2
                                 : *p >= 0xE0 && *p <= 0xEF ? 3
                                 : *p >= 0xF0 && *p <= 0xF4 ? 4
                                                            : 1;
      length = 1;
      while (length < wanted && byte + length < size_ && (p[length] & 0xC0) == 0x80) ++length;
    } else if (sequenceKind_ == 3 && sequenceOf_[*p] > 1) {
      // No multi-byte encoding expat reads has a trail byte below 0x40: one
      // such (a quote, say) ends the sequence early.
      length = 1;
      while (length < sequenceOf_[*p] && byte + length < size_ && p[length] >= 0x40) ++length;
    }
  }
  return std::string(reinterpret_cast<const char*>(p), std::min(length, size_ - byte));
}

std::uint32_t SourceText::ColumnIn(Position at, ColumnUnit unit) const {
  const std::optional<std::u32string_view> line = Line(at.line);
  if (!line || at.column == 0) return 0;
  const std::size_t count = std::min<std::size_t>(at.column - 1, line->size());
  if (unit == ColumnUnit::kCodePoint) return static_cast<std::uint32_t>(count + 1);
  std::uint32_t column = 1;
  for (std::size_t i = 0; i < count; ++i)
    column += unit == ColumnUnit::kUtf16 ? Utf16Length((*line)[i]) : Utf8Length((*line)[i]);
  return column;
}

Position SourceText::FromColumn(std::uint32_t line, std::uint32_t column, ColumnUnit unit) const {
  const std::optional<std::u32string_view> text = Line(line);
  if (!text || column == 0) return {};
  std::uint32_t units = 1;
  std::uint32_t index = 0;
  for (; index < text->size(); ++index) {
    const char32_t c = (*text)[index];
    const std::uint32_t width = unit == ColumnUnit::kCodePoint ? 1
                                : unit == ColumnUnit::kUtf16   ? Utf16Length(c)
                                                               : Utf8Length(c);
    if (units + width > column) break;
    units += width;
  }
  return {line, index + 1};
}

}  // namespace oxa::tools
