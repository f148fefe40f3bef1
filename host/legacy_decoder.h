// What the legacy-encoding handler needs of the system it runs on, and the
// one table of the encoding names that mean a Windows code page.
//
// The handler (legacy_encoding.cpp) owns the meaning of every name: a name of
// the table means its Windows code page on every system, C1 controls and
// private-use characters refused, with a few bytes fixed in the table itself.
// The system supplies only the raw reading: the C library's iconv on POSIX
// (legacy_encoding_iconv.cpp), MultiByteToWideChar on Windows
// (legacy_encoding_windows.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include <xmlcompiler/host/legacy_encoding.h>

namespace oxa::host {

// The `windows` of an encoding the handler reads by itself, with no system
// table: ASCII, which Windows' own 20127 would read with the high bit stripped.
inline constexpr std::uint16_t kBuiltIn = 0;

// One byte whose reading is fixed whatever the system's table says.
struct ByteReading {
  unsigned char byte;
  std::int32_t codePoint;  // -1: refused
};

// An encoding that is a Windows code page; the table of them is constant data.
struct CodePage {
  const char* const* names;  // null-terminated; the first is the canonical name
  std::uint16_t windows;     // the Windows code page
  const char* iconvName;     // the C library's name for the same table
  bool c1Characters;         // ISO 8859: bytes 0x80-0x9F are the C1 controls
  const ByteReading* fixed;  // `fixedCount` bytes read the same everywhere
  std::size_t fixedCount;
};

// The code page a name denotes, whatever its ASCII case; null for a name that
// is none (a POSIX system may still know it through iconv).
const CodePage* FindCodePage(const char* name) noexcept;

// Every code page of the table, for the tests that compare the systems.
const CodePage* CodePages(std::size_t* count) noexcept;

// The conversion of multi-byte sequences for one parse.
class SequenceDecoder {
 public:
  virtual ~SequenceDecoder() = default;
  // The code point of the `size` bytes at `bytes`, or -1 when they are none.
  virtual std::int32_t Decode(const unsigned char* bytes, std::size_t size) = 0;
};

// What the handler works out for one encoding: expat's byte map and the
// length of each lead byte's sequences, or that expat cannot take it.
struct EncodingTables {
  bool accepted = false;
  bool multiByte = false;
  std::array<int, 256> map{};  // a code point, -1 refused, -n lead of n bytes
  std::array<unsigned char, 256> lengthOf{};
  // For a multi-byte encoding, one decoder held open for the process's
  // life and never used: the system keeps its converter loaded while any is
  // open, so each parse's own decoder opens cheaply (glibc loads and unloads
  // a gconv module otherwise, each time).
  std::shared_ptr<SequenceDecoder> resident;
};

// The system's reading of an encoding: a code page of the table, or (when
// `codePage` is null) any other name the system knows.
struct EncodingRef {
  const CodePage* codePage;
  const char* name;
};

// Fills `tables` from the system's table of `encoding`; false when the
// system does not know it. `tables->accepted` says whether expat can take it.
// Allocates nothing that outlives the call; may throw std::bad_alloc.
bool ReadSystemTables(const EncodingRef& encoding, EncodingTables* tables);

// The encodings that only this system reads, for LayoutEncodings(), and
// OtherLayoutEncodings()'s words.
std::span<const EncodingFamily> SystemOnlyEncodings() noexcept;
const char* SystemOtherEncodings() noexcept;

// A new decoder of `encoding`'s sequences; null when the system cannot open
// one (or memory runs out).
std::unique_ptr<SequenceDecoder> OpenSequenceDecoder(const EncodingRef& encoding) noexcept;

}  // namespace oxa::host
