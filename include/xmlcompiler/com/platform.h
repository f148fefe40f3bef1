// Platform definitions shared by every interface and export of the library.
//
// OXA_CALL is the calling convention of every interface method and exported
// function: __stdcall on 32-bit Windows, as the host's component model uses
// there, and the platform default everywhere else. Every public header
// includes this one first: the headers need C++20, and say so plainly to an
// older language level rather than fail deep inside a template.
#pragma once

#if __cplusplus < 202002L && !(defined(_MSVC_LANG) && _MSVC_LANG >= 202002L)
#error "the xmlcompiler headers need C++20: compile with -std=c++20 (MSVC: /std:c++20)"
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define OXA_CALL __stdcall
#else
#define OXA_CALL
#endif

#if defined(_WIN32)
#define OXA_EXPORT extern "C"
#else
#define OXA_EXPORT extern "C" __attribute__((visibility("default")))
#endif
