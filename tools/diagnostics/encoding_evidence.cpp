// GuessEncoding and the checks of declared encodings.
#include "diagnostics/encoding_evidence.h"

#include <strings.h>

#include <algorithm>

#include <xmlcompiler/host/legacy_encoding.h>

#include "diagnostics/encoding_detector.h"
#include "diagnostics/finding_kinds.h"
#include "diagnostics/markup.h"
#include "diagnostics/wording.h"
#include "text/utf8.h"

namespace oxa::tools {
namespace {

// The name a declaration would give the detector's or the system's name:
// the code page table's first name when it has one.
std::string Canonical(const std::string& name) {
  if (strcasecmp(name.c_str(), "GB18030") == 0 || strcasecmp(name.c_str(), "GB2312") == 0)
    return "GBK";  // expat cannot read GB18030; GBK reads what its two-byte part holds
  if (const char* canonical = host::CanonicalEncodingName(name.c_str())) return canonical;
  return name;
}

// The multi-byte encodings this system reads, by the name a declaration
// gives, each code page once.
const std::vector<std::string>& MultiByte() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> found;
    for (const host::EncodingFamily& family : host::LayoutEncodings()) {
      if (!family.multiByte || strncasecmp(family.name, "UTF-", 4) == 0) continue;
      const bool again = std::any_of(found.begin(), found.end(), [&](const std::string& n) {
        return Canonical(n) == Canonical(family.name);
      });
      if (!again) found.push_back(family.name);
    }
    return found;
  }();
  return names;
}

// How many bytes above 0x7F a text needs before the detector's guess on it
// counts for more than the most common single-byte encoding.
constexpr std::size_t kDetectorBytes = 64;

bool IsMultiByte(const std::string& name) {
  for (const std::string& m : MultiByte())
    if (strcasecmp(m.c_str(), name.c_str()) == 0) return true;
  return false;
}

std::size_t HighBytes(const std::uint8_t* bytes, std::size_t size) {
  return static_cast<std::size_t>(
      std::count_if(bytes, bytes + size, [](std::uint8_t b) { return b >= 0x80; }));
}

// Whether two bytes above 0x7F stand side by side somewhere. Text in a
// multi-byte encoding has them (a character's lead and trail, or the leads
// of two characters); a single-byte text with a few accented letters
// ("Zurück", "Lautstärke") seldom does, though a multi-byte encoding may read
// each of its letters and the next ASCII one as one character.
bool HasHighPair(const std::uint8_t* bytes, std::size_t size) {
  for (std::size_t at = 1; at < size; ++at)
    if (bytes[at - 1] >= 0x80 && bytes[at] >= 0x80) return true;
  return false;
}

// Whether single-byte encodings `a` and `b` read every byte of the text as
// the same character.
bool SameReading(const std::string& a, const std::string& b, const std::uint8_t* bytes,
                 std::size_t size) {
  bool seen[256] = {};
  for (std::size_t at = 0; at < size; ++at) {
    if (bytes[at] < 0x80 || seen[bytes[at]]) continue;
    seen[bytes[at]] = true;
    std::uint32_t first = 0, second = 0;
    if (!host::CharacterOfByte(a.c_str(), bytes[at], &first) ||
        !host::CharacterOfByte(b.c_str(), bytes[at], &second) || first != second)
      return false;
  }
  return true;
}

void Add(const std::string& name, std::vector<std::string>* names) {
  if (name.empty() || strcasecmp(name.c_str(), "UTF-8") == 0 ||
      strcasecmp(name.c_str(), "ASCII") == 0)
    return;
  for (const std::string& n : *names)
    if (strcasecmp(n.c_str(), name.c_str()) == 0) return;
  names->push_back(name);
}

}  // namespace

bool ReadsAll(const std::string& encoding, const std::uint8_t* bytes, std::size_t size) {
  XML_Encoding info{};
  if (host::LegacyEncodingHandler(nullptr, encoding.c_str(), &info) != XML_STATUS_OK) return false;
  bool all = true;
  for (std::size_t at = 0; at < size && all;) {
    const int entry = info.map[bytes[at]];
    if (entry >= 0) {
      ++at;
    } else if (entry == -1 || info.convert == nullptr || size - at < std::size_t(-entry)) {
      all = false;
    } else {
      all = info.convert(info.data, reinterpret_cast<const char*>(bytes + at)) >= 0;
      at += static_cast<std::size_t>(-entry);
    }
  }
  if (info.release != nullptr) info.release(info.data);
  return all;
}

LikelyEncodings GuessEncoding(const std::uint8_t* bytes, std::size_t size,
                              const std::string& systemCodePage) {
  const std::string guess = Canonical(DetectorGuess(bytes, size));
  const std::string system = Canonical(systemCodePage);
  std::vector<std::string> multiByte;
  if (HasHighPair(bytes, size)) {
    for (const std::string& m : MultiByte())
      if (ReadsAll(m, bytes, size)) multiByte.push_back(m);
  }
  LikelyEncodings likely;
  if (!multiByte.empty()) {
    // The system's code page first when it is one of them, else the
    // detector's guess.
    const auto named = [](const std::string& name) {
      return [name](const std::string& m) { return strcasecmp(m.c_str(), name.c_str()) == 0; };
    };
    const bool systemReads = std::any_of(multiByte.begin(), multiByte.end(), named(system));
    std::stable_partition(multiByte.begin(), multiByte.end(), named(systemReads ? system : guess));
    likely.names = multiByte;
    // Several read it: the system's code page settles it, or the detector
    // on a longer text.
    likely.clear = multiByte.size() == 1 || systemReads ||
                   (named(guess)(multiByte[0]) && HighBytes(bytes, size) >= kDetectorBytes);
    return likely;
  }
  // A single-byte encoding: the system's code page is strong evidence,
  // windows-1252 the most common, the detector's guess a hint.
  if (!system.empty() && !IsMultiByte(system) && ReadsAll(system, bytes, size)) {
    Add(system, &likely.names);
    likely.clear = true;
    return likely;
  }
  // The detector is worth hearing first on a longer text only, and only
  // when it reads the text otherwise than windows-1252 does.
  const bool heard = !IsMultiByte(guess) && ReadsAll(guess, bytes, size);
  if (heard && HighBytes(bytes, size) >= kDetectorBytes) Add(guess, &likely.names);
  if (ReadsAll("windows-1252", bytes, size)) Add("windows-1252", &likely.names);
  if (heard && (likely.names.empty() || !SameReading(likely.names[0], guess, bytes, size)))
    Add(guess, &likely.names);
  return likely;
}

std::size_t FirstC1Byte(const std::uint8_t* bytes, std::size_t size) {
  for (std::size_t at = 0; at < size; ++at)
    if (bytes[at] >= 0x80 && bytes[at] <= 0x9F) return at;
  return size;
}

std::size_t FirstNonUtf8(const std::uint8_t* bytes, std::size_t size) {
  std::size_t at = 0;
  char32_t c = 0;
  for (std::size_t length = 0;
       at < size && (length = DecodeUtf8(bytes + at, bytes + size, &c)) != 0;)
    at += length;
  return at;
}

bool LooksLikeUtf8(const std::uint8_t* bytes, std::size_t size) {
  if (FirstNonUtf8(bytes, size) != size) return false;
  return std::any_of(bytes, bytes + size, [](std::uint8_t b) { return b >= 0x80; });
}

std::vector<Record> EncodingWarnings(const std::string& declared, const SourceText& source) {
  std::vector<Record> warnings;
  const std::uint8_t* bytes = source.Bytes();
  const std::size_t size = source.Size();
  const bool latin1 = strcasecmp(declared.c_str(), "ISO-8859-1") == 0;
  if (declared.empty() || strcasecmp(declared.c_str(), "UTF-8") == 0 ||
      strncasecmp(declared.c_str(), "UTF-16", 6) == 0 || !source.Readable())
    return warnings;
  Declaration declaration;
  if (!ReadDeclaration(source, &declaration) || declaration.encodingAt.line == 0) return warnings;
  Record r;
  r.at = declaration.encodingAt;
  r.length = declaration.encodingEnd.column - declaration.encodingAt.column;
  r.kind = kEncodingMismatch;
  std::size_t evidence = size;
  if (LooksLikeUtf8(bytes, size)) {
    for (evidence = 0; evidence < size && bytes[evidence] < 0x80; ++evidence) {
    }
    r.message = "the document declares " + Quoted(declared) +
                ", but every byte above 0x7F in it is part of a well-formed UTF-8 character: it "
                "is probably UTF-8";
    r.fixits.push_back({declaration.encodingAt, declaration.encodingEnd, "UTF-8", false});
  } else if (latin1 && (evidence = FirstC1Byte(bytes, size)) < size) {
    r.message =
        "the document declares \"ISO-8859-1\", where bytes 0x80-0x9F are control characters; "
        "it is probably windows-1252, as browsers read it";
    r.fixits.push_back({declaration.encodingAt, declaration.encodingEnd, "windows-1252", false});
  } else {
    return warnings;
  }
  const Position at = source.PositionOf(evidence);
  r.notes.push_back({at, "byte 0x" + Hex(bytes[evidence], 2) + " is here", 1});
  warnings.push_back(std::move(r));
  return warnings;
}

}  // namespace oxa::tools
