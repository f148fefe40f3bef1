// Double-byte character handling: the platform layer and the searches on it.
#include "base/double_byte.h"

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <langinfo.h>
#include <strings.h>
#endif

namespace oxa {
namespace {

// -1 until the platform has been asked; afterwards its answer (0 or 1).
// Atomic so that separate compiler objects may run on separate host threads.
std::atomic<std::int32_t> g_doubleByteFlag{-1};
const CodePageModel* g_model = nullptr;

#if defined(_WIN32)
std::int32_t AskPlatformDoubleByte() {
  return GetSystemMetrics(SM_DBCSENABLED) != 0 ? 1 : 0;
}
const char* PlatformCharNext(const char* p) {
  return CharNextA(p);
}
#else
std::int32_t AskPlatformDoubleByte() {
  static const char* const kDoubleByteCodeSets[] = {
      "SHIFT_JIS", "SHIFT-JIS", "SJIS",   "CP932",  "WINDOWS-31J", "MS_KANJI",
      "GBK",       "CP936",     "GB2312", "EUC-CN", "BIG5",        "BIG5-HKSCS",
      "CP950",     "EUC-KR",    "CP949",  "UHC",    "JOHAB"};
  const char* codeSet = nl_langinfo(CODESET);
  if (codeSet == nullptr) return 0;
  for (const char* name : kDoubleByteCodeSets) {
    if (strcasecmp(codeSet, name) == 0) return 1;
  }
  return 0;
}
const char* PlatformCharNext(const char* p) {
  if (*p == '\0') return p;
  const int n = std::mblen(p, MB_CUR_MAX);
  return n > 1 ? p + n : p + 1;
}
#endif

const char* CharNextStep(const char* p) {
  return g_model != nullptr ? g_model->charNext(p) : PlatformCharNext(p);
}

}  // namespace

std::int32_t IsDoubleByteCodePage() {
  std::int32_t flag = g_doubleByteFlag.load(std::memory_order_relaxed);
  if (flag < 0) {
    flag = g_model != nullptr ? (g_model->doubleByte ? 1 : 0) : AskPlatformDoubleByte();
    g_doubleByteFlag.store(flag, std::memory_order_relaxed);
  }
  return flag;
}

const char* NextChar(const char* p) {
  if (p == nullptr) return nullptr;
  if (IsDoubleByteCodePage() == 0) return p + 1;
  const char* next = CharNextStep(p);
  return next == p ? p + 1 : next;
}

const char* FindChar(const char* text, char ch) {
  if (IsDoubleByteCodePage() == 0) return std::strchr(text, ch);
  if (text == nullptr) return nullptr;
  for (const char* p = text; *p != '\0';) {
    const char* next = NextChar(p);
    if (next == p + 1 && *p == ch) return p;
    p = next;
  }
  return nullptr;
}

const char* FindLastChar(const char* text, char ch) {
  if (IsDoubleByteCodePage() == 0) return std::strrchr(text, ch);
  const char* found = nullptr;
  for (const char* p = text; *p != '\0';) {
    const char* next = NextChar(p);
    if (next == p + 1 && *p == ch) found = p;
    p = next;
  }
  return found;
}

void SetCodePageModelForTesting(const CodePageModel* model) {
  g_model = model;
  g_doubleByteFlag = -1;
}

}  // namespace oxa
