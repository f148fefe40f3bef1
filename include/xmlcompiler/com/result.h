// Result codes of the host's component model: 32-bit values, negative on
// failure. The named constants are the only codes the library produces.
#pragma once

#include <xmlcompiler/com/platform.h>

#include <cstdint>
#include <type_traits>

namespace oxa {

using HResult = std::int32_t;

inline constexpr HResult kOk = 0;
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);
inline constexpr HResult kNullPointer = static_cast<HResult>(0x80004003);
inline constexpr HResult kFail = static_cast<HResult>(0x80004005);
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057);
// A buffer held by more than one reference cannot be resized.
inline constexpr HResult kBufferShared = static_cast<HResult>(0x80040009);

constexpr bool Failed(HResult hr) {
  return hr < 0;
}
constexpr bool Succeeded(HResult hr) {
  return hr >= 0;
}

// `hr` itself, when it is a result code. The result-code macros pass their
// argument through this, so that a bool, a pointer, an unsigned or wider
// number is refused at compile time instead of being taken for a result.
// (A plain int is HResult's own type on every supported target.)
template <class T>
constexpr HResult VerifyResult(T hr) noexcept {
  static_assert(std::is_same_v<T, HResult>,
                "a result-code macro was given something that is not an HResult");
  return hr;
}

}  // namespace oxa

// Statement macros for early-return result code paths. Each evaluates its
// argument exactly once.

// Returns the result of `expr` from the enclosing function when it is negative.
#define RETURN_IF_FAILED(expr)                               \
  do {                                                       \
    const ::oxa::HResult oxaHr_ = ::oxa::VerifyResult(expr); \
    if (::oxa::Failed(oxaHr_)) return oxaHr_;                \
  } while (false)

// Returns `hr` from the enclosing function when `cond` holds.
#define RETURN_HR_IF(hr, cond)                \
  do {                                        \
    if (cond) return ::oxa::VerifyResult(hr); \
  } while (false)

// Returns `hr` from the enclosing function when `ptr` is null.
#define RETURN_HR_IF_NULL(hr, ptr)                        \
  do {                                                    \
    if ((ptr) == nullptr) return ::oxa::VerifyResult(hr); \
  } while (false)
