// Character steps and searches that respect double-byte character sets.
//
// When the active 8-bit code page has two-byte characters, a byte inside such
// a character (its trail byte) never matches a search. On Windows the answers
// come from GetSystemMetrics(SM_DBCSENABLED) and CharNextA; elsewhere from the
// C locale: its code set is double-byte when it is one of the Shift-JIS, GBK,
// Big5 or EUC-KR families, and characters are stepped with mblen.
#pragma once

#include <cstdint>

namespace oxa {

// Non-zero when a double-byte character set is in use. Asked once, then cached.
std::int32_t IsDoubleByteCodePage();

// The character after the one at `p` (at least one byte further); null for null.
const char* NextChar(const char* p);

// First single-byte character equal to `ch` in zero-terminated `text`, or null.
// `ch` must not be the zero byte.
const char* FindChar(const char* text, char ch);

// Last single-byte character equal to `ch` in zero-terminated `text`, or null.
const char* FindLastChar(const char* text, char ch);

// A code page model that replaces the platform's answers, for tests.
struct CodePageModel {
  bool doubleByte;
  // Next-character step with CharNextA's contract: returns `p` itself at the zero byte.
  const char* (*charNext)(const char* p);
};

// Installs `model` (null restores the platform) and forgets the cached answer.
void SetCodePageModelForTesting(const CodePageModel* model);

}  // namespace oxa
