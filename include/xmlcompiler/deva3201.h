/* The three functions deva3201.dll exports, for a program that loads the
 * module at run time (LoadLibraryW, then GetProcAddress by name: there is no
 * import library) in C or C++, with any compiler, MSVC included. It needs
 * only <stdint.h>; on 32-bit Windows the functions are __stdcall.
 *
 *   HMODULE module = LoadLibraryW(L"deva3201.dll");
 *   OxaCreateInstanceFn create =
 *       (OxaCreateInstanceFn)GetProcAddress(module, "OxaCreateInstance");
 *   void* plugin = NULL;
 *   if (create != NULL && create(&plugin) == 0) ... plugin is an IUnknown*
 *
 * What the plug-in object then offers is the component model's interfaces
 * (<xmlcompiler/com/...>, C++20). Compiling a layout in-process also needs
 * the host's services (class factory, XML parser, buffers), which the
 * reference host provides for MinGW-w64; an MSVC program implements them.
 */
#ifndef XMLCOMPILER_DEVA3201_H
#define XMLCOMPILER_DEVA3201_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define OXA_API_CALL __stdcall
#else
#define OXA_API_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A result code: 0 for success, negative for a failure (0x80070057 an
 * invalid argument, 0x80004005 a failure, 0x8007000E no memory). */
typedef int32_t OxaResult;

/* A new reference on the one plug-in object, its IUnknown, in *out; made
 * on the first call. 0x80070057 for a null out. */
OxaResult OXA_API_CALL OxaCreateInstance(void** out);
/* Gives up the library's own reference on the plug-in object; 0x80004005
 * when it holds none. */
OxaResult OXA_API_CALL OxaShutdown(void);
/* Hands the library the framework's typed DLL directories: consecutive
 * NUL-terminated "NAME=DIRECTORY" texts, ended by an empty text. */
OxaResult OXA_API_CALL SetDLLAccessPath(const char* paths);

/* The same functions as GetProcAddress gives them. */
typedef OxaResult(OXA_API_CALL* OxaCreateInstanceFn)(void** out);
typedef OxaResult(OXA_API_CALL* OxaShutdownFn)(void);
typedef OxaResult(OXA_API_CALL* SetDLLAccessPathFn)(const char* paths);

#ifdef __cplusplus
}
#endif

#endif /* XMLCOMPILER_DEVA3201_H */
