// GuessEncoding and the checks of declared encodings.
#include "encoding_evidence.h"

#include <strings.h>

#include <algorithm>

#include <xmlcompiler/host/legacy_encoding.h>

#include "encoding_detector.h"
#include "host/legacy_decoder.h"
#include "platform.h"
#include "source_text.h"

namespace oxa::tools {
namespace {

// The multi-byte encodings expat can read, by the name a declaration gives.
constexpr const char* kMultiByte[] = {"Shift_JIS", "EUC-JP", "GBK", "Big5", "EUC-KR"};

// How many bytes above 0x7F a text needs before the detector's guess on it
// counts for more than the most common single-byte encoding.
constexpr std::size_t kDetectorBytes = 64;

bool IsMultiByte(const std::string& name) {
  for (const char* m : kMultiByte)
    if (strcasecmp(m, name.c_str()) == 0) return true;
  return false;
}

// The name a declaration would give the detector's or the system's name:
// the code page table's first name when it has one.
std::string Canonical(const std::string& name) {
  if (strcasecmp(name.c_str(), "GB18030") == 0 || strcasecmp(name.c_str(), "GB2312") == 0)
    return "GBK";  // expat cannot read GB18030; GBK reads what its two-byte part holds
  if (const host::CodePage* page = host::FindCodePage(name.c_str())) return page->names[0];
  return name;
}

std::size_t HighBytes(const std::uint8_t* bytes, std::size_t size) {
  return static_cast<std::size_t>(
      std::count_if(bytes, bytes + size, [](std::uint8_t b) { return b >= 0x80; }));
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

LikelyEncodings GuessEncoding(const std::uint8_t* bytes, std::size_t size) {
  const std::string guess = Canonical(DetectorGuess(bytes, size));
  const std::string system = Canonical(xmlc::platform::SystemCodePage());
  std::vector<std::string> multiByte;
  for (const char* m : kMultiByte)
    if (ReadsAll(m, bytes, size)) multiByte.push_back(m);
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
  // The detector is worth hearing first on a longer text only.
  const bool heard = !IsMultiByte(guess) && ReadsAll(guess, bytes, size);
  if (heard && HighBytes(bytes, size) >= kDetectorBytes) Add(guess, &likely.names);
  if (ReadsAll("windows-1252", bytes, size)) Add("windows-1252", &likely.names);
  if (heard) Add(guess, &likely.names);
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

}  // namespace oxa::tools
