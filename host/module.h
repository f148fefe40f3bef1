// Loading the plug-in module, the one thing the reference host does
// differently on POSIX systems (dlopen) and on Windows (LoadLibraryW).
// module_posix.cpp and module_windows.cpp implement it; CMake builds the one
// that fits. Names are UTF-8.
#pragma once

#include <string>

namespace oxa::host::module {

// The module's file name on this system: deva3201.so or deva3201.dll.
extern const char kFileName[];
// The separator of a path's folders on this system: '/' or '\\'.
extern const char kSeparator[];

// Loads the module at `path`; null, with the system's reason in `error`, when it cannot.
void* Open(const std::string& path, std::string* error);

// The address of the export `name`, or null.
void* Find(void* module, const char* name);

// Unloads a module Open returned.
void Close(void* module);

// The folder of the running program ("." when it cannot be found out;
// `argv0` is the fallback where the system cannot tell).
std::string ProgramFolder(const char* argv0);

// Whether `path` names a file this process can read.
bool Readable(const std::string& path);

}  // namespace oxa::host::module
