// SourceText: a document's text as its author wrote it, for the messages
// about it. The encoding is found as XML finds it (a byte order mark, then
// the declaration) and read as the parser reads it, the legacy encodings
// through the host's handler; a byte the encoding has no character for reads
// as U+FFFD. Lines end at LF, CR or CR LF, as expat counts them, so a
// position here is the parser's: line and column from 1, columns in code
// points. Lines are found and decoded only as they are asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace oxa::tools {

// A place in a document: 1-based line and column (code points), 0 for none.
struct Position {
  std::uint32_t line = 0, column = 0;
  friend bool operator==(const Position&, const Position&) = default;
};

// The well-formed UTF-8 character that starts at `p` (before `end`): its
// length in bytes, its code point in `*c`; 0 when none starts there.
std::size_t DecodeUtf8(const std::uint8_t* p, const std::uint8_t* end, char32_t* c);

// Appends code point `c` to `out` in UTF-8.
void AppendUtf8(char32_t c, std::string* out);
// `text` in UTF-8.
std::string Utf8(const std::u32string& text);

class SourceText {
 public:
  SourceText(const std::uint8_t* data, std::size_t size);
  ~SourceText();
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  // The encoding the text is read in: "UTF-8", "UTF-16LE", "UTF-16BE" or the
  // name the declaration gives.
  const std::string& Encoding() const { return encoding_; }
  // Whether a byte order mark or the declaration names the encoding.
  bool Declared() const { return declared_; }
  // Whether the document's bytes can be read at all (a legacy encoding the
  // system lacks is read as UTF-8, and this is false).
  bool Readable() const { return readable_; }
  // Reads the text as `encoding` from now on; false (nothing changed) when
  // it cannot be read so.
  bool ReadAs(const std::string& encoding);

  const std::uint8_t* Bytes() const { return data_; }
  std::size_t Size() const { return size_; }

  // Line `line` without its end, decoded (kept until the next ReadAs); null
  // past the last line.
  const std::u32string* Line(std::uint32_t line);
  // The character at `at`: '\n' at a line's end, 0 past the document's end.
  char32_t At(Position at);
  // The position after `at` (across line ends), or before it; false at the
  // document's end or start.
  bool Next(Position* at);
  bool Previous(Position* at);
  // The position just after the document's last character.
  Position End();
  // The position of the character that byte `offset` belongs to.
  Position PositionOf(std::size_t offset);
  // The bytes of the character at `at`, or of the sequence its first byte
  // starts when they are no character; "" past the document's end.
  std::string BytesAt(Position at);

 private:
  struct Reader;
  void Index(std::uint32_t line);
  void Decode(std::size_t begin, std::size_t end, std::u32string* text) const;

  const std::uint8_t* data_;
  std::size_t size_;
  std::string encoding_;
  bool declared_ = false;
  bool readable_ = true;
  std::unique_ptr<Reader> reader_;
  std::size_t unit_ = 1;  // 2 for UTF-16
  bool bigEndian_ = false;
  std::vector<std::size_t> starts_;  // the byte where each line found so far starts
  std::size_t scanned_ = 0;          // where the search for the next line start resumes
  bool ended_ = false;               // whether the last line has been found
  std::map<std::uint32_t, std::u32string> lines_;  // the lines decoded so far
};

}  // namespace oxa::tools
