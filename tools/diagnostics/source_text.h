// SourceText: a document's text as its author wrote it, for the findings
// about it. Built from the document's bytes, the encoding is found as XML
// finds it (a byte order mark, then the declaration) and the bytes read as
// the parser reads them, the legacy encodings through the host's handler; a
// byte the encoding has no character for reads as U+FFFD. Built from text
// an editor has already decoded, the text is taken as it is. Lines end at
// LF, CR or CR LF, as expat counts them, so a position here is the
// parser's: line and column from 1, columns in code points.
//
// The whole text is decoded once, when the object is made; every reader is
// const and fills no cache, so one SourceText can be shared read-only by any
// number of threads. It costs five bytes a character: the code point, and
// how many of the document's bytes it took.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oxa::tools {

// A place in a document: 1-based line and column (code points), 0 for none.
struct Position {
  std::uint32_t line = 0, column = 0;
  friend bool operator==(const Position&, const Position&) = default;
  friend auto operator<=>(const Position&, const Position&) = default;
};

// What a column counts: code points (the parser's and SARIF's), UTF-16
// code units (the Language Server Protocol's default), or UTF-8 bytes.
enum class ColumnUnit { kCodePoint, kUtf16, kUtf8 };

class SourceText {
 public:
  // The document's bytes, which must outlive this object and its rereadings.
  SourceText(const std::uint8_t* data, std::size_t size);
  // Text already decoded, in UTF-8 (an ill-formed byte reads as U+FFFD).
  // Its encoding is "UTF-8", as declared; it keeps its own copy.
  static std::unique_ptr<SourceText> FromText(std::string_view utf8);

  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;
  ~SourceText();

  // The encoding the text is read in: "UTF-8", "UTF-16LE", "UTF-16BE" or the
  // name the declaration gives.
  const std::string& Encoding() const { return encoding_; }
  // Whether a byte order mark or the declaration names the encoding (text
  // built from decoded text is declared).
  bool Declared() const { return declared_; }
  // Whether the document's bytes can be read at all (a declared encoding the
  // system lacks is read as UTF-8, and this is false).
  bool Readable() const { return readable_; }
  // The same bytes read as `encoding`; null when they cannot be read so.
  std::unique_ptr<SourceText> ReadAs(const std::string& encoding) const;

  const std::uint8_t* Bytes() const { return data_; }
  std::size_t Size() const { return size_; }

  // Every character, line ends included.
  std::u32string_view Text() const { return chars_; }
  // How many lines there are (an empty document has one, empty).
  std::uint32_t LineCount() const { return static_cast<std::uint32_t>(lines_.size()); }
  // Line `line` without its end; none past the last line.
  std::optional<std::u32string_view> Line(std::uint32_t line) const;
  // The character at `at`: '\n' at a line's end, 0 past the document's end.
  char32_t At(Position at) const;
  // The position after `at` (across line ends), or before it; false at the
  // document's end or start.
  bool Next(Position* at) const;
  bool Previous(Position* at) const;
  // The position just after the document's last character.
  Position End() const;
  // The position of the character that byte `offset` of the document
  // belongs to, and back: the offset of the first byte of the character at
  // `at` (the document's size past its end).
  Position PositionOf(std::size_t offset) const;
  std::size_t OffsetOf(Position at) const;
  // The position of the character at `index` in Text(), and back (npos for
  // a position in no line).
  Position PositionOfIndex(std::size_t index) const;
  std::size_t IndexOf(Position at) const;
  // The bytes of the character at `at`, or of the sequence its first byte
  // starts when they are no character; "" past the document's end.
  std::string BytesAt(Position at) const;

  // `at`'s column counted in `unit` (1-based); a column past the line's end
  // counts as the end.
  std::uint32_t ColumnIn(Position at, ColumnUnit unit) const;
  // The position of column `column` (1-based) of line `line` counted in
  // `unit`; a column inside a character is that character's, one past the
  // line's end is its end.
  Position FromColumn(std::uint32_t line, std::uint32_t column, ColumnUnit unit) const;

 private:
  struct Reading;
  SourceText() = default;
  void Read(const Reading& reading, std::size_t start);

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::shared_ptr<const std::string> owned_;  // the bytes, for text given decoded
  std::string encoding_;
  bool declared_ = false;
  bool readable_ = true;
  std::u32string chars_;
  std::vector<std::uint8_t> widths_;  // the bytes each character took
  struct LineSpan {
    std::size_t begin, end;  // in chars_: the first character, and the line's end
    std::size_t byte;        // the document's byte where the line starts
  };
  std::vector<LineSpan> lines_;
  // The lead bytes' sequence lengths, for the bytes of a sequence that is
  // no character: 1 for a single byte, 2 for UTF-16's units.
  std::vector<std::uint8_t> sequenceOf_;
  int sequenceKind_ = 0;  // 0 single bytes, 1 UTF-8, 2 UTF-16, 3 a legacy map
};

}  // namespace oxa::tools
