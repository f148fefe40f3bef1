// SourceText: finding the encoding, the lines, and decoding them.
#include "source_text.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include <xmlcompiler/host/legacy_encoding.h>

namespace oxa::tools {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

enum class Kind { kUtf8, kUtf16, kLatin1, kAscii, kLegacy };

bool Same(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

// The encoding the declaration at the start of `data` names, or "".
std::string DeclaredEncoding(const std::uint8_t* data, std::size_t size) {
  const std::size_t head = std::min<std::size_t>(size, 1024);
  const std::string text(reinterpret_cast<const char*>(data), head);
  if (text.compare(0, 5, "<?xml") != 0) return "";
  const std::size_t end = text.find("?>");
  std::size_t at = text.find("encoding", 5);
  if (at == std::string::npos || at > end) return "";
  at += 8;
  while (at < head && std::strchr(" \t\r\n", text[at]) != nullptr) ++at;
  if (at >= head || text[at] != '=') return "";
  ++at;
  while (at < head && std::strchr(" \t\r\n", text[at]) != nullptr) ++at;
  if (at >= head || (text[at] != '"' && text[at] != '\'')) return "";
  const std::size_t close = text.find(text[at], at + 1);
  if (close == std::string::npos || close > end) return "";
  return text.substr(at + 1, close - at - 1);
}

}  // namespace

std::size_t DecodeUtf8(const std::uint8_t* p, const std::uint8_t* end, char32_t* c) {
  const std::uint8_t lead = *p;
  if (lead < 0x80) {
    *c = lead;
    return 1;
  }
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                             : lead >= 0xE0                 ? 3
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                                                            : 0;
  if (length == 0 || static_cast<std::size_t>(end - p) < length) return 0;
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[k] & 0x3F);
  }
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *c = value;
  return length;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Utf8(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendUtf8(c, &out);
  return out;
}

// How the bytes become code points: one of XML's own encodings, or the
// reading the host's legacy-encoding handler gives expat.
struct SourceText::Reader {
  Kind kind = Kind::kUtf8;
  XML_Encoding legacy{};
  bool held = false;  // whether `legacy` must be released

  ~Reader() {
    if (held && legacy.release != nullptr) legacy.release(legacy.data);
  }

  // Decodes the character at `p` (before `end`) into `c`; returns its bytes.
  std::size_t Read(const std::uint8_t* p, const std::uint8_t* end, bool bigEndian,
                   char32_t* c) const {
    switch (kind) {
      case Kind::kLatin1:
        *c = *p;
        return 1;
      case Kind::kAscii:
        *c = *p < 0x80 ? *p : kReplacement;
        return 1;
      case Kind::kUtf16:
        return ReadUtf16(p, end, bigEndian, c);
      case Kind::kLegacy:
        return ReadLegacy(p, end, c);
      case Kind::kUtf8:
        break;
    }
    return ReadUtf8(p, end, c);
  }

  // How many bytes the sequence that `p` starts takes, whether or not they
  // make a character.
  std::size_t SequenceLength(const std::uint8_t* p, const std::uint8_t* end) const {
    std::size_t length = 1;
    if (kind == Kind::kUtf16) {
      length = 2;
    } else if (kind == Kind::kLegacy && legacy.map[*p] < -1) {
      // No multi-byte encoding expat reads has a trail byte below 0x40: one
      // such (a quote, say) ends the sequence early.
      const auto full = static_cast<std::size_t>(-legacy.map[*p]);
      while (length < full && p + length < end && p[length] >= 0x40) ++length;
    } else if (kind == Kind::kUtf8) {
      length = *p >= 0xF0 ? 4 : *p >= 0xE0 ? 3 : *p >= 0xC0 ? 2 : 1;
    }
    return std::min(length, static_cast<std::size_t>(end - p));
  }

  static std::size_t ReadUtf8(const std::uint8_t* p, const std::uint8_t* end, char32_t* c) {
    const std::size_t length = DecodeUtf8(p, end, c);
    if (length != 0) return length;
    *c = kReplacement;
    return 1;
  }

  static std::size_t ReadUtf16(const std::uint8_t* p, const std::uint8_t* end, bool bigEndian,
                               char32_t* c) {
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
  declared_ = !name.empty();
  if (name.empty()) {
    name = DeclaredEncoding(data_, size_);
    declared_ = !name.empty();
  }
  scanned_ = bom;
  if (!declared_ || !ReadAs(name)) {
    ReadAs("UTF-8");
    readable_ = !declared_;
  }
}

SourceText::~SourceText() = default;

bool SourceText::ReadAs(const std::string& encoding) {
  auto reader = std::make_unique<Reader>();
  std::size_t unit = 1;
  bool bigEndian = false;
  if (Same(encoding, "UTF-8")) {
    reader->kind = Kind::kUtf8;
  } else if (Same(encoding, "UTF-16LE") || Same(encoding, "UTF-16BE") || Same(encoding, "UTF-16")) {
    // UTF-16 without a byte order mark is big-endian, unless the document
    // starts as little-endian "<?".
    reader->kind = Kind::kUtf16;
    unit = 2;
    bigEndian = Same(encoding, "UTF-16BE") ||
                (Same(encoding, "UTF-16") && !(size_ >= 2 && data_[0] == 0xFF) &&
                 !(size_ >= 2 && data_[0] == '<' && data_[1] == 0));
  } else if (Same(encoding, "ISO-8859-1")) {
    reader->kind = Kind::kLatin1;
  } else if (Same(encoding, "US-ASCII")) {
    reader->kind = Kind::kAscii;
  } else {
    reader->kind = Kind::kLegacy;
    if (host::LegacyEncodingHandler(nullptr, encoding.c_str(), &reader->legacy) != XML_STATUS_OK)
      return false;
    reader->held = true;
  }
  if (unit != unit_) {  // the lines found so far are not lines of this reading
    starts_.clear();
    scanned_ = unit == 2 && size_ >= 2 && (data_[0] == 0xFF || data_[0] == 0xFE) ? 2 : 0;
    ended_ = false;
  }
  reader_ = std::move(reader);
  encoding_ = encoding;
  unit_ = unit;
  bigEndian_ = bigEndian;
  lines_.clear();
  readable_ = true;
  return true;
}

void SourceText::Index(std::uint32_t line) {
  auto unitAt = [&](std::size_t at) -> unsigned {
    if (unit_ == 1) return data_[at];
    return bigEndian_ ? (data_[at] << 8) | data_[at + 1] : (data_[at + 1] << 8) | data_[at];
  };
  while (starts_.size() < line && !ended_) {
    starts_.push_back(scanned_);
    std::size_t at = scanned_;
    while (at + unit_ <= size_ && unitAt(at) != '\n' && unitAt(at) != '\r') at += unit_;
    if (at + unit_ > size_) {
      ended_ = true;
      scanned_ = size_;
      break;
    }
    const bool crlf = unitAt(at) == '\r' && at + 2 * unit_ <= size_ && unitAt(at + unit_) == '\n';
    scanned_ = at + (crlf ? 2 : 1) * unit_;
  }
}

void SourceText::Decode(std::size_t begin, std::size_t end, std::u32string* text) const {
  text->clear();
  const std::uint8_t* p = data_ + begin;
  const std::uint8_t* stop = data_ + end;
  while (p < stop) {
    char32_t c = 0;
    const std::size_t used = reader_->Read(p, stop, bigEndian_, &c);
    text->push_back(c);
    p += used == 0 ? 1 : used;
  }
}

const std::u32string* SourceText::Line(std::uint32_t line) {
  if (line == 0) return nullptr;
  if (const auto found = lines_.find(line); found != lines_.end()) return &found->second;
  Index(line == UINT32_MAX ? line : line + 1);  // the next line's start ends this one
  if (starts_.size() < line) return nullptr;
  const std::size_t begin = starts_[line - 1];
  const std::size_t end = line < starts_.size() ? starts_[line] : size_;
  std::u32string& text = lines_[line];
  Decode(begin, end, &text);
  // Without its end of line.
  while (!text.empty() && (text.back() == U'\n' || text.back() == U'\r')) text.pop_back();
  return &text;
}

char32_t SourceText::At(Position at) {
  const std::u32string* text = Line(at.line);
  if (text == nullptr || at.column == 0) return 0;
  if (at.column <= text->size()) return (*text)[at.column - 1];
  return at.column == text->size() + 1 && Line(at.line + 1) != nullptr ? U'\n' : 0;
}

bool SourceText::Next(Position* at) {
  const std::u32string* text = Line(at->line);
  if (text == nullptr) return false;
  if (at->column <= text->size()) {
    ++at->column;
    return true;
  }
  if (Line(at->line + 1) == nullptr) return false;
  *at = {at->line + 1, 1};
  return true;
}

bool SourceText::Previous(Position* at) {
  if (at->column > 1) {
    --at->column;
    return true;
  }
  const std::u32string* text = at->line <= 1 ? nullptr : Line(at->line - 1);
  if (text == nullptr) return false;
  *at = {at->line - 1, static_cast<std::uint32_t>(text->size() + 1)};
  return true;
}

Position SourceText::End() {
  Index(UINT32_MAX);
  const auto last = static_cast<std::uint32_t>(starts_.size());
  const std::u32string* text = Line(last);
  return {last, static_cast<std::uint32_t>(text == nullptr ? 1 : text->size() + 1)};
}

Position SourceText::PositionOf(std::size_t offset) {
  while (!ended_ && (starts_.empty() || scanned_ <= offset))
    Index(static_cast<std::uint32_t>(starts_.size() + 1));
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  const auto line = static_cast<std::uint32_t>(after - starts_.begin());
  if (line == 0) return {1, 1};
  std::u32string head;
  Decode(starts_[line - 1], std::min(offset, size_), &head);
  return {line, static_cast<std::uint32_t>(head.size() + 1)};
}

std::string SourceText::BytesAt(Position at) {
  if (Line(at.line) == nullptr || at.column == 0) return "";
  const std::uint8_t* p = data_ + starts_[at.line - 1];
  const std::uint8_t* end = data_ + size_;
  for (std::uint32_t column = 1; column < at.column && p < end; ++column) {
    char32_t c = 0;
    p += std::max<std::size_t>(reader_->Read(p, end, bigEndian_, &c), 1);
  }
  if (p >= end) return "";
  return std::string(reinterpret_cast<const char*>(p), reader_->SequenceLength(p, end));
}

}  // namespace oxa::tools
