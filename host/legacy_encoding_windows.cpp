// The system's reading of the legacy encodings on Windows, through
// MultiByteToWideChar: the code pages of the name table, each a byte or a
// lead byte and one more. A name outside the table is unknown here.
#include <windows.h>

#include <new>

#include "host/legacy_decoder.h"

namespace oxa::host {
namespace {

// The code point of `size` bytes in code page `codePage`, or -1 when the code
// page has no character for them.
std::int32_t DecodeBytes(UINT codePage, const unsigned char* bytes, std::size_t size) {
  WCHAR units[2];
  const int count =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes),
                          static_cast<int>(size), units, 2);
  if (count == 1) return units[0] >= 0xD800 && units[0] <= 0xDFFF ? -1 : units[0];
  if (count == 2 && units[0] >= 0xD800 && units[0] <= 0xDBFF && units[1] >= 0xDC00 &&
      units[1] <= 0xDFFF)
    return 0x10000 + ((units[0] - 0xD800) << 10) + (units[1] - 0xDC00);
  return -1;
}

class CodePageDecoder final : public SequenceDecoder {
 public:
  explicit CodePageDecoder(UINT codePage) : codePage_(codePage) {}
  std::int32_t Decode(const unsigned char* bytes, std::size_t size) override {
    return DecodeBytes(codePage_, bytes, size);
  }

 private:
  UINT codePage_;
};

}  // namespace

bool ReadSystemTables(const EncodingRef& encoding, EncodingTables* tables) {
  if (encoding.codePage == nullptr) return false;
  const UINT codePage = encoding.codePage->windows;
  CPINFOEXW info;
  if (!GetCPInfoExW(codePage, 0, &info)) return false;
  *tables = EncodingTables();
  // expat takes a lead byte whose sequences all have one length: two here.
  if (info.MaxCharSize > 2) return true;
  for (unsigned b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    if (IsDBCSLeadByteEx(codePage, byte)) {
      tables->map[b] = -2;
      tables->lengthOf[b] = 2;
      tables->multiByte = true;
    } else {
      const std::int32_t codePoint = DecodeBytes(codePage, &byte, 1);
      tables->map[b] = codePoint > 0xFFFF ? -1 : codePoint;
    }
  }
  tables->accepted = true;
  return true;
}

std::unique_ptr<SequenceDecoder> OpenSequenceDecoder(const EncodingRef& encoding) noexcept {
  if (encoding.codePage == nullptr) return nullptr;
  return std::unique_ptr<SequenceDecoder>(new (std::nothrow)
                                              CodePageDecoder(encoding.codePage->windows));
}

std::span<const EncodingFamily> SystemOnlyEncodings() noexcept {
  return {};
}

const char* SystemOtherEncodings() noexcept {
  return "";
}

}  // namespace oxa::host
