// The system's reading of the legacy encodings on POSIX, through the C
// library's iconv: expat's byte map for an encoding, worked out by asking
// iconv about every lead byte, and the conversion of its sequences.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>

#include "host/legacy_decoder.h"

namespace oxa::host {
namespace {

// What iconv makes of one byte sequence.
enum class Outcome { Char, Incomplete, Invalid, NoOutput };

// One open conversion from the named encoding to UTF-32LE.
class Converter {
 public:
  explicit Converter(iconv_t cd) : cd_(cd) {}
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `bytes` as one character from the initial shift state.
  Outcome Convert(const unsigned char* bytes, std::size_t size, std::uint32_t* codePoint) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::array<unsigned char, 16> out{};
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
    std::size_t inLeft = size;
    char* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<std::size_t>(-1))
      return errno == EINVAL ? Outcome::Incomplete : Outcome::Invalid;
    if (inLeft != 0) return Outcome::Invalid;
    // Some converters (CP1255, CP1258) hold a base letter back in case a
    // combining mark follows, and give it out only when flushed.
    if (outLeft == out.size()) iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    const std::size_t produced = out.size() - outLeft;
    if (produced == 0) return Outcome::NoOutput;  // a shift sequence: a stateful encoding
    if (produced != 4) return Outcome::Invalid;   // more than one character
    *codePoint = out[0] | out[1] << 8 | out[2] << 16 | static_cast<std::uint32_t>(out[3]) << 24;
    return Outcome::Char;
  }

  // Which lengths of sequences starting with `prefix` (of `size` bytes) iconv
  // completes, as a bit per length, up to four bytes. A longer length is
  // looked for behind a sample of the continuations iconv calls incomplete
  // (some converters call any prefix of the right length incomplete), which
  // keeps the search to thousands of conversions per lead byte.
  unsigned Lengths(unsigned char* prefix, std::size_t size) {
    constexpr std::size_t kContinuationsTried = 16;
    unsigned lengths = 0;
    std::array<unsigned char, 256> incomplete{};
    std::size_t incompleteCount = 0;
    std::uint32_t ignored;
    for (unsigned next = 0; next < 256; ++next) {
      prefix[size] = static_cast<unsigned char>(next);
      const Outcome outcome = Convert(prefix, size + 1, &ignored);
      if (outcome == Outcome::Char) lengths |= 1u << (size + 1);
      if (outcome == Outcome::NoOutput) stateful_ = true;
      if (outcome == Outcome::Incomplete)
        incomplete[incompleteCount++] = static_cast<unsigned char>(next);
    }
    if (size + 1 < 4 && incompleteCount > 0) {
      const std::size_t tries = std::min(incompleteCount, kContinuationsTried);
      for (std::size_t i = 0; i < tries; ++i) {
        prefix[size] = incomplete[i * incompleteCount / tries];
        const unsigned longer = Lengths(prefix, size + 1);
        lengths |= longer;
        if (longer != 0) break;
      }
    }
    return lengths;
  }

  // Whether a conversion consumed bytes and gave no character: a shift sequence.
  bool stateful_ = false;

  // SequenceDecoder's conversion, for a parse.
  std::int32_t Decode(const unsigned char* bytes, std::size_t size) {
    std::uint32_t codePoint;
    if (Convert(bytes, size, &codePoint) != Outcome::Char || codePoint > 0x10FFFF) return -1;
    return static_cast<std::int32_t>(codePoint);
  }

 private:
  iconv_t cd_;
};

// Asks iconv about every lead byte of the encoding `cd` converts from.
// Thousands of conversions for a multi-byte encoding.
EncodingTables BuildTables(iconv_t cd) {
  EncodingTables tables;
  Converter converter(cd);
  // ISO 2022's designation of ASCII: a character-less sequence in a stateful encoding.
  const unsigned char designateAscii[] = {0x1B, '(', 'B'};
  std::uint32_t ignored;
  if (converter.Convert(designateAscii, sizeof(designateAscii), &ignored) == Outcome::NoOutput)
    return tables;
  for (unsigned b = 0; b < 256; ++b) {
    unsigned char bytes[4] = {static_cast<unsigned char>(b)};
    std::uint32_t codePoint = 0;
    switch (converter.Convert(bytes, 1, &codePoint)) {
      case Outcome::Char:
        // Beyond the Basic Multilingual Plane a single byte cannot go.
        tables.map[b] = codePoint > 0xFFFF ? -1 : static_cast<int>(codePoint);
        break;
      case Outcome::Invalid:
        tables.map[b] = -1;
        break;
      case Outcome::NoOutput:
        return tables;
      case Outcome::Incomplete: {
        const unsigned lengths = converter.Lengths(bytes, 1);
        // expat needs the lead byte alone to give the length, and no shift state.
        if (converter.stateful_ || (lengths != 0 && (lengths & (lengths - 1)) != 0)) return tables;
        int length = 0;
        for (int n = 2; n <= 4; ++n)
          if (lengths == 1u << n) length = n;
        tables.map[b] = length == 0 ? -1 : -length;
        tables.lengthOf[b] = static_cast<unsigned char>(length);
        tables.multiByte = tables.multiByte || length != 0;
        break;
      }
    }
  }
  tables.accepted = true;
  return tables;
}

class IconvDecoder final : public SequenceDecoder {
 public:
  explicit IconvDecoder(iconv_t cd) : converter_(cd) {}
  std::int32_t Decode(const unsigned char* bytes, std::size_t size) override {
    return converter_.Decode(bytes, size);
  }

 private:
  Converter converter_;
};

const char* IconvName(const EncodingRef& encoding) noexcept {
  return encoding.codePage != nullptr ? encoding.codePage->iconvName : encoding.name;
}

}  // namespace

bool ReadSystemTables(const EncodingRef& encoding, EncodingTables* tables) {
  const iconv_t cd = iconv_open("UTF-32LE", IconvName(encoding));
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  *tables = BuildTables(cd);
  return true;
}

std::unique_ptr<SequenceDecoder> OpenSequenceDecoder(const EncodingRef& encoding) noexcept {
  const iconv_t cd = iconv_open("UTF-32LE", IconvName(encoding));
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  auto* decoder = new (std::nothrow) IconvDecoder(cd);
  if (decoder == nullptr) iconv_close(cd);
  return std::unique_ptr<SequenceDecoder>(decoder);
}

std::span<const EncodingFamily> SystemOnlyEncodings() noexcept {
  // EUC-JP with its three-byte JIS X 0212 characters: Windows has no code
  // page that reads it as glibc does.
  static constexpr EncodingFamily kOwn[] = {{"EUC-JP", "EUC-JP", true}};
  return kOwn;
}

const char* SystemOtherEncodings() noexcept {
  return "any other that iconv knows and expat can take";
}

}  // namespace oxa::host
