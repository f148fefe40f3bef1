// The legacy encodings' meaning, the same on every system: the names that
// mean a Windows code page, what is refused in them, the tables worked out
// once per process, and expat's handler over them.
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include <xmlcompiler/host/legacy_encoding.h>
#include "host/legacy_decoder.h"

namespace oxa::host {
namespace {

// The names of each code page: the WHATWG Encoding Standard's labels and the
// names the C library and Windows give it, as XML declarations spell them.
constexpr const char* kAscii[] = {"ASCII",     "US-ASCII", "ANSI_X3.4-1968",
                                  "ISO646-US", "csASCII",  nullptr};
constexpr const char* k437[] = {"IBM437", "CP437", "437", "csPC8CodePage437", nullptr};
constexpr const char* k850[] = {"IBM850", "CP850", "850", "csPC850Multilingual", nullptr};
constexpr const char* k855[] = {"IBM855", "CP855", "855", "csIBM855", nullptr};
constexpr const char* k866[] = {"IBM866", "CP866", "866", "csIBM866", nullptr};
constexpr const char* k874[] = {"windows-874", "CP874", "x-cp874", nullptr};
constexpr const char* kTis620[] = {"TIS-620",       "TIS620",        "TIS620-0",
                                   "TIS620.2529-1", "TIS620.2533-0", nullptr};
constexpr const char* k932[] = {"Shift_JIS",   "Shift-JIS", "SJIS",  "MS_Kanji", "csShiftJIS",
                                "Windows-31J", "CP932",     "MS932", "x-sjis",   nullptr};
constexpr const char* k936[] = {"GBK",    "CP936",    "MS936", "windows-936",
                                "GB2312", "csGB2312", "x-gbk", nullptr};
constexpr const char* k949[] = {"EUC-KR",      "CP949",   "UHC",  "ks_c_5601-1987",
                                "windows-949", "csEUCKR", nullptr};
constexpr const char* k950[] = {"Big5", "CP950", "csBig5", "x-x-big5", "windows-950", nullptr};
constexpr const char* k1250[] = {"windows-1250", "CP1250", "x-cp1250", nullptr};
constexpr const char* k1251[] = {"windows-1251", "CP1251", "x-cp1251", nullptr};
constexpr const char* k1252[] = {"windows-1252", "CP1252", "x-cp1252", nullptr};
constexpr const char* k1253[] = {"windows-1253", "CP1253", "x-cp1253", nullptr};
constexpr const char* k1254[] = {"windows-1254", "CP1254", "x-cp1254", nullptr};
constexpr const char* k1255[] = {"windows-1255", "CP1255", "x-cp1255", nullptr};
constexpr const char* k1256[] = {"windows-1256", "CP1256", "x-cp1256", nullptr};
constexpr const char* k1257[] = {"windows-1257", "CP1257", "x-cp1257", nullptr};
constexpr const char* k1258[] = {"windows-1258", "CP1258", "x-cp1258", nullptr};
constexpr const char* k10000[] = {"macintosh", "MAC", "csMacintosh", "x-mac-roman", nullptr};
constexpr const char* k10007[] = {"x-mac-cyrillic", "MacCyrillic", "MAC-CYRILLIC", nullptr};
constexpr const char* k20866[] = {"KOI8-R", "KOI8", "csKOI8R", nullptr};
constexpr const char* k21866[] = {"KOI8-U", nullptr};
constexpr const char* k28591[] = {"ISO-8859-1", "LATIN1",      "ISO_8859-1", "ISO8859-1",
                                  "L1",         "csISOLatin1", nullptr};
constexpr const char* k28592[] = {"ISO-8859-2", "ISO_8859-2",  "ISO8859-2", "LATIN2",
                                  "L2",         "csISOLatin2", nullptr};
constexpr const char* k28593[] = {"ISO-8859-3", "ISO_8859-3",  "ISO8859-3", "LATIN3",
                                  "L3",         "csISOLatin3", nullptr};
constexpr const char* k28594[] = {"ISO-8859-4", "ISO_8859-4",  "ISO8859-4", "LATIN4",
                                  "L4",         "csISOLatin4", nullptr};
constexpr const char* k28595[] = {"ISO-8859-5", "ISO_8859-5",         "ISO8859-5",
                                  "CYRILLIC",   "csISOLatinCyrillic", nullptr};
constexpr const char* k28596[] = {"ISO-8859-6", "ISO_8859-6",       "ISO8859-6",
                                  "ARABIC",     "csISOLatinArabic", nullptr};
constexpr const char* k28597[] = {"ISO-8859-7", "ISO_8859-7",      "ISO8859-7",
                                  "GREEK",      "csISOLatinGreek", nullptr};
constexpr const char* k28598[] = {"ISO-8859-8", "ISO_8859-8",       "ISO8859-8",
                                  "HEBREW",     "csISOLatinHebrew", nullptr};
constexpr const char* k28599[] = {"ISO-8859-9", "ISO_8859-9",  "ISO8859-9", "LATIN5",
                                  "L5",         "csISOLatin5", nullptr};
constexpr const char* k28603[] = {"ISO-8859-13", "ISO_8859-13", "ISO8859-13",
                                  "LATIN7",      "L7",          nullptr};
constexpr const char* k28605[] = {"ISO-8859-15", "ISO_8859-15", "ISO8859-15",
                                  "LATIN-9",     "LATIN9",      nullptr};

// Where the systems' tables differ on a character, one reading for both:
// Windows' where it is also the WHATWG Encoding Standard's, or where the
// standard agrees with neither; the C library's for ISO 8859-7 and -8, whose
// Windows tables predate the current editions of those standards.
constexpr ByteReading kFixed1255[] = {{0xCA, 0x05BA}};
constexpr ByteReading kFixed10000[] = {{0xBD, 0x2126}, {0xC6, 0x2206}};
constexpr ByteReading kFixed10007[] = {{0xA2, 0x00A2}, {0xB6, 0x2202}};
// TIS-620 is windows-874 without the bytes Microsoft added: the euro, the
// ellipsis, the curly quotes, the bullet, the dashes and the no-break space.
constexpr ByteReading kFixedTis620[] = {{0x80, -1}, {0x85, -1}, {0x91, -1}, {0x92, -1}, {0x93, -1},
                                        {0x94, -1}, {0x95, -1}, {0x96, -1}, {0x97, -1}, {0xA0, -1}};
constexpr ByteReading kFixed21866[] = {{0xAE, 0x045E}, {0xBE, 0x040E}};
constexpr ByteReading kFixed28597[] = {
    {0xA1, 0x2018}, {0xA2, 0x2019}, {0xA4, 0x20AC}, {0xA5, 0x20AF}, {0xAA, 0x037A}};
constexpr ByteReading kFixed28598[] = {{0xAF, 0x00AF}, {0xFD, 0x200E}, {0xFE, 0x200F}};

template <std::size_t N>
constexpr CodePage Page(const char* const* names, std::uint16_t windows, const char* iconvName,
                        bool c1Characters, const ByteReading (&fixed)[N]) {
  return {names, windows, iconvName, c1Characters, fixed, N};
}
constexpr CodePage Page(const char* const* names, std::uint16_t windows, const char* iconvName,
                        bool c1Characters = false) {
  return {names, windows, iconvName, c1Characters, nullptr, 0};
}

constexpr CodePage kCodePages[] = {
    Page(kAscii, kBuiltIn, nullptr),
    Page(k437, 437, "CP437"),
    Page(k850, 850, "CP850"),
    Page(k855, 855, "CP855"),
    Page(k866, 866, "CP866"),
    Page(k874, 874, "CP874"),
    Page(kTis620, 874, "CP874", false, kFixedTis620),
    Page(k932, 932, "CP932"),
    Page(k936, 936, "CP936"),
    Page(k949, 949, "CP949"),
    Page(k950, 950, "CP950"),
    Page(k1250, 1250, "CP1250"),
    Page(k1251, 1251, "CP1251"),
    Page(k1252, 1252, "CP1252"),
    Page(k1253, 1253, "CP1253"),
    Page(k1254, 1254, "CP1254"),
    Page(k1255, 1255, "CP1255", false, kFixed1255),
    Page(k1256, 1256, "CP1256"),
    Page(k1257, 1257, "CP1257"),
    Page(k1258, 1258, "CP1258"),
    Page(k10000, 10000, "MACINTOSH", false, kFixed10000),
    Page(k10007, 10007, "MAC-CYRILLIC", false, kFixed10007),
    Page(k20866, 20866, "KOI8-R"),
    Page(k21866, 21866, "KOI8-U", false, kFixed21866),
    Page(k28591, 28591, "ISO-8859-1", true),
    Page(k28592, 28592, "ISO-8859-2", true),
    Page(k28593, 28593, "ISO-8859-3", true),
    Page(k28594, 28594, "ISO-8859-4", true),
    Page(k28595, 28595, "ISO-8859-5", true),
    Page(k28596, 28596, "ISO-8859-6", true),
    Page(k28597, 28597, "ISO-8859-7", true, kFixed28597),
    Page(k28598, 28598, "ISO-8859-8", true, kFixed28598),
    Page(k28599, 28599, "ISO-8859-9", true),
    Page(k28603, 28603, "ISO-8859-13", true),
    Page(k28605, 28605, "ISO-8859-15", true),
};

// Whether a code page's reading of a byte or sequence stands: C1 controls
// (bytes a Windows code page leaves undefined come out as them) and
// private-use characters (a machine's own end-user-defined characters, or a
// vendor's logo) are refused. Names outside the table keep the system's reading.
bool Stands(const CodePage* codePage, std::int32_t codePoint) noexcept {
  if (codePoint < 0) return false;
  if (codePage == nullptr) return true;
  if (codePoint >= 0x80 && codePoint <= 0x9F) return codePage->c1Characters;
  return codePoint < 0xE000 || codePoint > 0xF8FF;
}

std::atomic<std::size_t> g_tablesBuilt{0};

// The system's tables with the code page's meaning applied; false when the
// system does not know the encoding.
bool BuildTables(const EncodingRef& encoding, EncodingTables* tables) {
  if (encoding.codePage != nullptr && encoding.codePage->windows == kBuiltIn) {
    // ASCII, as expat reads US-ASCII: every byte past 0x7F refused.
    *tables = EncodingTables();
    for (int b = 0; b < 256; ++b) tables->map[b] = b < 0x80 ? b : -1;
    tables->accepted = true;
  } else if (!ReadSystemTables(encoding, tables)) {
    return false;
  }
  if (tables->multiByte) tables->resident = OpenSequenceDecoder(encoding);
  ++g_tablesBuilt;
  const CodePage* page = encoding.codePage;
  if (page == nullptr) return true;
  for (std::size_t i = 0; i < page->fixedCount; ++i)
    tables->map[page->fixed[i].byte] = page->fixed[i].codePoint;
  for (int& m : tables->map)
    if (m >= 0 && !Stands(page, m)) m = -1;
  return true;
}

// The tables of every encoding met so far in this process, so that a batch
// of documents in one encoding builds them once: by code page for the names
// of the table, by the name in upper case for the others. At most kMaxNames
// are kept; names past that are worked out each time. Safe across threads.
class TableCache {
 public:
  static constexpr std::size_t kMaxNames = 64;

  // The tables of `name`, or null when the system does not know it. Never throws.
  std::shared_ptr<const EncodingTables> Find(const EncodingRef& encoding) noexcept {
    try {
      std::string key;
      if (encoding.codePage != nullptr) {
        key = std::string("#") + encoding.codePage->names[0];  // no name starts with '#'
      } else {
        key = encoding.name;
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const auto found = tables_.find(key); found != tables_.end()) return found->second;
      }
      auto built = std::make_shared<EncodingTables>();
      // A name the system does not know is not remembered: it may learn it.
      if (!BuildTables(encoding, built.get())) return nullptr;
      std::shared_ptr<const EncodingTables> shared = std::move(built);
      std::lock_guard<std::mutex> lock(mutex_);
      if (tables_.size() < kMaxNames) tables_.emplace(std::move(key), shared);
      return shared;
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

// expat's converter for one parse: the system's decoder, the lengths of the
// lead bytes' sequences, and the code page whose meaning applies.
struct SequenceConverter {
  std::unique_ptr<SequenceDecoder> decoder;
  std::array<unsigned char, 256> lengthOf;
  const CodePage* codePage;

  static int XMLCALL Convert(void* data, const char* s) {
    auto* self = static_cast<SequenceConverter*>(data);
    const auto* bytes = reinterpret_cast<const unsigned char*>(s);
    const std::size_t size = self->lengthOf[bytes[0]];
    if (size < 2) return -1;
    const std::int32_t codePoint = self->decoder->Decode(bytes, size);
    return codePoint <= 0x10FFFF && Stands(self->codePage, codePoint) ? codePoint : -1;
  }
  static void XMLCALL Release(void* data) { delete static_cast<SequenceConverter*>(data); }
};

EncodingRef RefOf(const char* name) noexcept {
  return {FindCodePage(name), name};
}

}  // namespace

const CodePage* FindCodePage(const char* name) noexcept {
  for (const CodePage& page : kCodePages)
    for (const char* const* n = page.names; *n != nullptr; ++n)
      if (strcasecmp(*n, name) == 0) return &page;
  return nullptr;
}

const char* CanonicalEncodingName(const char* name) noexcept {
  const CodePage* page = FindCodePage(name);
  return page == nullptr ? nullptr : page->names[0];
}

const CodePage* CodePages(std::size_t* count) noexcept {
  *count = std::size(kCodePages);
  return kCodePages;
}

int XMLCALL LegacyEncodingHandler(void*, const XML_Char* name, XML_Encoding* info) {
  if (name == nullptr) return XML_STATUS_ERROR;
  const EncodingRef encoding = RefOf(name);
  const std::shared_ptr<const EncodingTables> tables = Tables().Find(encoding);
  if (tables == nullptr || !tables->accepted) return XML_STATUS_ERROR;
  std::copy(tables->map.begin(), tables->map.end(), info->map);
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  if (!tables->multiByte) return XML_STATUS_OK;
  // A parse converts its sequences with a decoder of its own, since a
  // system's decoder may keep state and parses may run on several threads.
  std::unique_ptr<SequenceDecoder> decoder = OpenSequenceDecoder(encoding);
  if (decoder == nullptr) return XML_STATUS_ERROR;
  auto* converter =
      new (std::nothrow) SequenceConverter{std::move(decoder), tables->lengthOf, encoding.codePage};
  if (converter == nullptr) return XML_STATUS_ERROR;
  info->data = converter;
  info->convert = &SequenceConverter::Convert;
  info->release = &SequenceConverter::Release;
  return XML_STATUS_OK;
}

bool CharacterOfByte(const char* encoding, unsigned char byte, std::uint32_t* codePoint) {
  const std::shared_ptr<const EncodingTables> tables = Tables().Find(RefOf(encoding));
  if (tables == nullptr || tables->map[byte] < 0) return false;
  *codePoint = static_cast<std::uint32_t>(tables->map[byte]);
  return true;
}

std::span<const EncodingFamily> LayoutEncodings() noexcept {
  // The families every system reads, then this system's own, in one list
  // made once.
  static constexpr EncodingFamily kCommon[] = {
      {"UTF-8", "UTF-8", true},
      {"UTF-16", "UTF-16", true},
      {"ASCII", "ASCII", false},
      {"ISO-8859-x", "ISO-8859-2", false},
      {"windows-125x", "windows-1252", false},
      {"windows-874", "windows-874", false},
      {"TIS-620", "TIS-620", false},
      {"KOI8-R/U", "KOI8-R", false},
      {"IBM437/850/855/866", "IBM850", false},
      {"macintosh", "macintosh", false},
      {"MacCyrillic", "x-mac-cyrillic", false},
      {"Shift_JIS/CP932", "Shift_JIS", true},
      {"GBK/CP936", "GBK", true},
      {"GB2312", "GB2312", true},
      {"Big5/CP950", "Big5", true},
      {"EUC-KR/CP949", "EUC-KR", true},
  };
  static const std::vector<EncodingFamily> all = [] {
    std::vector<EncodingFamily> families(std::begin(kCommon), std::end(kCommon));
    const std::span<const EncodingFamily> own = SystemOnlyEncodings();
    families.insert(families.end(), own.begin(), own.end());
    return families;
  }();
  return all;
}

const char* OtherLayoutEncodings() noexcept {
  return SystemOtherEncodings();
}

std::size_t EncodingTablesBuilt() noexcept {
  return g_tablesBuilt;
}

const char* SupersetOf(const char* encoding) noexcept {
  static const struct {
    const char* name;
    const char* superset;
  } kSupersets[] = {{"TIS-620", "windows-874"},     {"TIS620", "windows-874"},
                    {"ISO-8859-11", "windows-874"}, {"ISO-8859-1", "windows-1252"},
                    {"ISO_8859-1", "windows-1252"}, {"LATIN1", "windows-1252"},
                    {"US-ASCII", "windows-1252"},   {"ASCII", "windows-1252"},
                    {"ISO-8859-9", "windows-1254"}, {"LATIN5", "windows-1254"}};
  for (const auto& s : kSupersets)
    if (strcasecmp(s.name, encoding) == 0) return s.superset;
  return nullptr;
}

}  // namespace oxa::host
