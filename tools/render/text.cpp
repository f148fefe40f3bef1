// RenderText: gcc's lines, with the source excerpts under them.
#include "render/text.h"

#include <algorithm>

#include "diagnostics/finding_kinds.h"
#include "text/utf8.h"

namespace oxa::tools {
namespace {

// The characters of a line as shown: controls other than tab (C1 included)
// as U+FFFD.
char32_t Shown(char32_t c) {
  return (c < 0x20 && c != '\t') || (c >= 0x7F && c < 0xA0) ? 0xFFFD : c;
}

// The display cells of `c` as shown; a tab is kept as a tab.
int Cells(char32_t c) {
  return c == '\t' ? 1 : DisplayWidth(Shown(c));
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
constexpr char kCut[] = "...";

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
// marks are in colour `sgr`, the replacement in the fix-its' colour. A line
// longer than kExcerptWidth is cut to a window around the column. "" for no
// line.
std::string Excerpt(const SourceText& text, Position at, std::uint32_t length, const FixIt* fixit,
                    const Palette& palette, const char* sgr) {
  const std::optional<std::u32string_view> line = text.Line(at.line);
  if (at.column == 0 || !line || at.column > line->size() + 1) return "";
  // The window shown, [first, last) in characters: the whole line, or a
  // part of it with the column a third of the way in.
  std::size_t first = 0, last = line->size();
  if (line->size() > kExcerptWidth) {
    first = at.column - 1 > kExcerptWidth / 3 ? at.column - 1 - kExcerptWidth / 3 : 0;
    last = std::min(line->size(), first + kExcerptWidth);
    if (last - first < kExcerptWidth) first = last > kExcerptWidth ? last - kExcerptWidth : 0;
  }
  const std::string before = first > 0 ? kCut : "", after = last < line->size() ? kCut : "";
  // Spaces (tabs kept) up to `column`'s display column in the window.
  auto pad = [&](std::string* out, std::uint32_t column) {
    out->append(before.size(), ' ');
    for (std::size_t i = first; i + 1 < column && i < last; ++i) {
      const char32_t c = (*line)[i];
      if (c == '\t') {
        *out += '\t';
      } else {
        out->append(static_cast<std::size_t>(Cells(c)), ' ');
      }
    }
  };
  // The window as three runs: before the token, the token, after it.
  const std::size_t tokenStart = at.column - 1;
  const std::size_t tokenEnd =
      std::min<std::size_t>(last, tokenStart + std::max<std::uint32_t>(length, 1));
  std::string runs[3];
  for (std::size_t i = first; i < last; ++i)
    AppendUtf8(Shown((*line)[i]), &runs[i < tokenStart ? 0 : i < tokenEnd ? 1 : 2]);
  const std::string shown = before + runs[0] + palette.Paint(sgr, runs[1]) + runs[2] + after;
  std::string caret = "^";
  for (std::size_t i = tokenStart + 1; i < tokenStart + length && i < last; ++i)
    caret.append(static_cast<std::size_t>(Cells((*line)[i])), '~');
  std::string marker;
  pad(&marker, at.column);
  marker += palette.Paint(sgr, caret);
  const std::string number = std::to_string(at.line);
  const std::string gutter(number.size() < 5 ? 5 - number.size() : 0, ' ');
  const std::string blank = std::string(gutter.size() + number.size(), ' ') + " | ";
  std::string out = gutter + number + " | " + shown + "\n" + blank + marker + "\n";
  if (fixit != nullptr && fixit->start.line == at.line && fixit->start.column - 1 >= first &&
      fixit->start.column - 1 <= last) {
    std::string fix;
    pad(&fix, fixit->start.column);
    out += blank + fix +
           palette.Paint(kFixItColor, fixit->replacement.substr(0, fixit->replacement.find('\n'))) +
           "\n";
  }
  return out;
}

// The lines of one record: its own with its excerpt, its notes', and a note
// for each fix-it away from its line.
std::string Render(const Record& record, const SourceText* text, const Palette& palette) {
  const char* color = record.error ? kErrorColor : kWarningColor;
  std::string flag;
  const FindingKindInfo* kind = FindKind(record.kind);
  if (kind != nullptr && kind->warning)  // a warning, even when -Werror made it an error
    flag = " [" + palette.Paint(color, (record.error ? "-Werror=" : "-W") + record.kind) + "]";
  std::string out = Where(record.file, record.at, palette) +
                    palette.Paint(color, record.error ? "error:" : "warning:") + " " +
                    record.message + flag + "\n";
  if (text == nullptr) return out;
  const FixIt* first = record.fixits.empty() ? nullptr : &record.fixits[0];
  out += Excerpt(*text, record.at, record.length,
                 first != nullptr && first->start.line == record.at.line ? first : nullptr, palette,
                 color);
  const std::string noteLabel = palette.Paint(kNoteColor, "note:") + " ";
  for (const Note& note : record.notes) {
    out += Where(record.file, note.at, palette) + noteLabel + note.message + "\n";
    if (note.at != record.at)
      out += Excerpt(*text, note.at, note.length, nullptr, palette, kNoteColor);
  }
  for (const FixIt& fixit : record.fixits) {
    if (fixit.start.line == record.at.line) continue;
    out += Where(record.file, fixit.start, palette) + noteLabel + DescribeHere(fixit) + "\n";
    const bool oneLine =
        fixit.WhatItDoes() != FixIt::Action::kInsert && fixit.end.line == fixit.start.line;
    out += Excerpt(*text, fixit.start, oneLine ? fixit.end.column - fixit.start.column : 0, &fixit,
                   palette, kNoteColor);
  }
  return out;
}

}  // namespace

std::string RenderText(const std::vector<Record>& records, const SourceText* text, bool color) {
  const Palette palette(color);
  std::string out;
  for (const Record& record : records) out += Render(record, text, palette);
  return out;
}

}  // namespace oxa::tools
