// The legacy encodings through the C library's iconv: expat's byte map and
// sequence converter for an encoding, worked out by asking iconv about
// every lead byte.
#include <xmlcompiler/host/legacy_encoding.h>

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

namespace oxa::host {
namespace {

// What iconv makes of one byte sequence.
enum class Outcome { Char, Incomplete, Invalid, NoOutput };

// One open conversion from the named encoding to UTF-32LE, kept by expat for
// the parse as the converter's data and closed by Release.
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

  static int XMLCALL ConvertSequence(void* data, const char* s) {
    auto* self = static_cast<Converter*>(data);
    const auto* bytes = reinterpret_cast<const unsigned char*>(s);
    const std::size_t size = self->lengthOf_[bytes[0]];
    std::uint32_t codePoint;
    if (size < 2 || self->Convert(bytes, size, &codePoint) != Outcome::Char) return -1;
    return codePoint > 0x10FFFF ? -1 : static_cast<int>(codePoint);
  }
  static void XMLCALL Release(void* data) { delete static_cast<Converter*>(data); }

  std::array<unsigned char, 256> lengthOf_{};

 private:
  iconv_t cd_;
};

// What the handler works out for one encoding: expat's byte map and the
// length of each lead byte's sequences, or that expat cannot take it.
struct EncodingTables {
  bool accepted = false;
  bool multiByte = false;
  std::array<int, 256> map{};
  std::array<unsigned char, 256> lengthOf{};
};

// Asks iconv about every lead byte of the encoding `cd` converts from.
// Thousands of conversions for a multi-byte encoding: done once per name.
std::atomic<std::size_t> g_tablesBuilt{0};

EncodingTables BuildTables(iconv_t cd) {
  ++g_tablesBuilt;
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

// The tables of every encoding name met so far in this process, so that a
// batch of documents in one encoding builds them once. Names are compared
// without regard to ASCII case, as iconv compares them. At most kMaxNames
// are kept; names past that are worked out each time. Safe across threads.
class TableCache {
 public:
  static constexpr std::size_t kMaxNames = 64;

  // The tables of `name`, or null when iconv does not know it. Never throws.
  std::shared_ptr<const EncodingTables> Find(const char* name) noexcept {
    try {
      std::string key(name);
      for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const auto found = tables_.find(key); found != tables_.end()) return found->second;
      }
      const iconv_t cd = iconv_open("UTF-32LE", name);
      if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;  // not remembered: iconv may learn it
      auto built = std::make_shared<const EncodingTables>(BuildTables(cd));
      std::lock_guard<std::mutex> lock(mutex_);
      if (tables_.size() < kMaxNames) tables_.emplace(std::move(key), built);
      return built;
    } catch (...) {
      return nullptr;  // out of memory: the encoding is refused this time
    }
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const EncodingTables>> tables_;
};

TableCache& Tables() {
  static TableCache cache;
  return cache;
}

}  // namespace

bool CharacterOfByte(const char* encoding, unsigned char byte, std::uint32_t* codePoint) {
  const iconv_t cd = iconv_open("UTF-32LE", encoding);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  Converter converter(cd);
  return converter.Convert(&byte, 1, codePoint) == Outcome::Char;
}

std::size_t EncodingTablesBuilt() noexcept {
  return g_tablesBuilt;
}

int XMLCALL LegacyEncodingHandler(void*, const XML_Char* name, XML_Encoding* info) {
  if (name == nullptr) return XML_STATUS_ERROR;
  const std::shared_ptr<const EncodingTables> tables = Tables().Find(name);
  if (tables == nullptr || !tables->accepted) return XML_STATUS_ERROR;
  std::copy(tables->map.begin(), tables->map.end(), info->map);
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  if (!tables->multiByte) return XML_STATUS_OK;
  // A parse converts its sequences with a conversion of its own, since an
  // iconv descriptor keeps state and parses may run on several threads.
  const iconv_t cd = iconv_open("UTF-32LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return XML_STATUS_ERROR;
  auto* converter = new (std::nothrow) Converter(cd);
  if (converter == nullptr) {
    iconv_close(cd);
    return XML_STATUS_ERROR;
  }
  converter->lengthOf_ = tables->lengthOf;
  info->data = converter;
  info->convert = &Converter::ConvertSequence;
  info->release = &Converter::Release;
  return XML_STATUS_OK;
}

}  // namespace oxa::host
