// The one place where C++ exceptions become result codes. Every exported
// function and interface method whose work can throw runs that work through
// Guarded, so no exception ever crosses into the host.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>

#include <xmlcompiler/com/result.h>

namespace oxa {

// The result code for the exception being handled: out of memory for
// std::bad_alloc, invalid argument for std::length_error (a text or size over
// a format limit), unspecified failure for anything else.
inline HResult ResultFromCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (const std::length_error&) {
    return kInvalidArg;
  } catch (...) {
    return kFail;
  }
}

// Runs `body` (returning HResult) and translates any exception it throws.
template <class Body>
HResult Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return ResultFromCurrentException();
  }
}

}  // namespace oxa
