// encoding_table: what the legacy-encoding handler makes of every byte
// sequence of each Windows code page it knows, and documents built from it,
// so that the readings of two systems can be compared.
//
//   encoding_table map DIR
//     writes DIR/NAME.map for every encoding of the table of code pages,
//     NAME being its first name: each run of sequences that read as
//     consecutive characters, as "BYTES CHAR COUNT" in hex; a sequence on no
//     line is refused.
//   encoding_table documents MAPDIR OUTDIR
//     writes, for every map in MAPDIR, OUTDIR/NAME.xml holding every
//     character the map defines that XML allows in a value, in the code page,
//     beside OUTDIR/NAME.utf8.xml with the same text in UTF-8; and one
//     document OUTDIR/NAME-BYTES.xml for each refused byte (and, for a
//     lead byte, its first refused sequence), the refused bytes on line 2 at
//     column 8. OUTDIR/refused.list names those documents, one a line.
//
// The maps are made under Windows and committed; the other system's maps and
// compilations are compared with them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <xmlcompiler/host/legacy_encoding.h>
#include "host/legacy_decoder.h"
#include "support/utf8.h"

namespace {

using oxa::host::CodePage;

// A byte sequence (one or two bytes, as a number) and the character it reads as.
using Reading = std::map<unsigned, std::int32_t>;

Reading ReadingOf(const CodePage& page) {
  Reading reading;
  XML_Encoding info{};
  if (oxa::host::LegacyEncodingHandler(nullptr, page.names[0], &info) != XML_STATUS_OK)
    return reading;
  for (unsigned b = 0; b < 256; ++b) {
    if (info.map[b] >= 0) {
      reading[b] = info.map[b];
    } else if (info.map[b] == -2 && info.convert != nullptr) {
      for (unsigned t = 0; t < 256; ++t) {
        const char sequence[2] = {static_cast<char>(b), static_cast<char>(t)};
        const int c = info.convert(info.data, sequence);
        if (c >= 0) reading[b << 8 | t] = c;
      }
    }
  }
  if (info.release != nullptr) info.release(info.data);
  return reading;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*X", digits, value);
  return text;
}

int WriteMaps(const std::string& dir) {
  std::size_t count = 0;
  const CodePage* pages = oxa::host::CodePages(&count);
  for (std::size_t i = 0; i < count; ++i) {
    const Reading reading = ReadingOf(pages[i]);
    std::ofstream out(dir + "/" + pages[i].names[0] + ".map", std::ios::binary);
    out << "# " << pages[i].names[0] << "\n";
    for (auto it = reading.begin(); it != reading.end();) {
      const unsigned first = it->first;
      const std::int32_t c = it->second;
      unsigned n = 1;
      for (++it; it != reading.end() && it->first == first + n && it->second == c + (int)n &&
                 (it->first >> 8) == (first >> 8);
           ++it)
        ++n;
      out << Hex(first, first > 0xFF ? 4 : 2) << " " << Hex(static_cast<unsigned>(c), 4) << " " << n
          << "\n";
    }
    if (!out) {
      std::fprintf(stderr, "encoding_table: cannot write %s\n", dir.c_str());
      return 1;
    }
  }
  return 0;
}

std::string Bytes(unsigned sequence) {
  std::string s;
  if (sequence > 0xFF) s += static_cast<char>(sequence >> 8);
  s += static_cast<char>(sequence & 0xFF);
  return s;
}

// Whether XML takes `c` in an attribute value as it stands.
bool InValue(std::int32_t c) {
  if (c == '<' || c == '&' || c == '"') return false;
  if (c < 0x20) return false;  // forbidden, or white space that normalises to a space
  return c < 0xD800 || (c > 0xDFFF && c < 0xFFFE) || c > 0xFFFF;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

int WriteDocuments(const std::string& mapDir, const std::string& outDir) {
  std::size_t count = 0;
  const CodePage* pages = oxa::host::CodePages(&count);
  std::string refused;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string id = pages[i].names[0];
    std::ifstream in(mapDir + "/" + id + ".map");
    if (!in) {
      std::fprintf(stderr, "encoding_table: no map %s/%s.map\n", mapDir.c_str(), id.c_str());
      return 1;
    }
    std::string name, line;
    Reading reading;
    while (std::getline(in, line)) {
      if (line.rfind("# ", 0) == 0) {
        name = line.substr(2);
        continue;
      }
      std::istringstream fields(line);
      std::string bytes, c;
      unsigned n = 0;
      fields >> bytes >> c >> n;
      const unsigned first = static_cast<unsigned>(std::stoul(bytes, nullptr, 16));
      const auto character = static_cast<std::int32_t>(std::stol(c, nullptr, 16));
      for (unsigned k = 0; k < n; ++k) reading[first + k] = character + static_cast<int>(k);
    }
    const std::string head = "<?xml version=\"1.0\" encoding=\"" + name + "\"?>\n";
    std::string legacy = head + "<r>\n", utf8 = "<r>\n", legacyLine, utf8Line;
    unsigned inLine = 0;
    for (const auto& [sequence, c] : reading) {
      if (!InValue(c)) continue;
      legacyLine += Bytes(sequence);
      utf8Line += oxa::testing::Utf8(static_cast<std::uint32_t>(c));
      if (++inLine == 64) {
        legacy += "<e v=\"" + legacyLine + "\"/>\n";
        utf8 += "<e v=\"" + utf8Line + "\"/>\n";
        legacyLine.clear();
        utf8Line.clear();
        inLine = 0;
      }
    }
    legacy += "<e v=\"" + legacyLine + "\"/>\n</r>\n";
    utf8 += "<e v=\"" + utf8Line + "\"/>\n</r>\n";
    if (!WriteFile(outDir + "/" + id + ".xml", legacy) ||
        !WriteFile(outDir + "/" + id + ".utf8.xml", utf8)) {
      std::fprintf(stderr, "encoding_table: cannot write %s\n", outDir.c_str());
      return 1;
    }
    // The refused: each single byte past ASCII, and each lead byte's first refused sequence.
    for (unsigned b = 0x80; b < 256; ++b) {
      bool lead = false;
      for (auto it = reading.lower_bound(b << 8); it != reading.end() && (it->first >> 8) == b;
           ++it)
        lead = true;
      unsigned sequence = b;
      if (lead) {
        unsigned t = 0x40;
        while (t < 256 && reading.count(b << 8 | t) != 0) ++t;
        if (t == 256) continue;
        sequence = b << 8 | t;
      } else if (reading.count(b) != 0) {
        continue;
      }
      const std::string file = id + "-" + Hex(sequence, sequence > 0xFF ? 4 : 2) + ".xml";
      if (!WriteFile(outDir + "/" + file, head + "<r v=\"a" + Bytes(sequence) + "\"/>\n")) {
        std::fprintf(stderr, "encoding_table: cannot write %s\n", outDir.c_str());
        return 1;
      }
      refused += file + "\n";
    }
  }
  return WriteFile(outDir + "/refused.list", refused) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "map") == 0) return WriteMaps(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "documents") == 0) return WriteDocuments(argv[2], argv[3]);
  std::fprintf(stderr, "usage: encoding_table map DIR | documents MAPDIR OUTDIR\n");
  return 2;
}
