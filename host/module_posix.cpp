// Loading the plug-in module on POSIX systems, with dlopen.
#include "host/module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace oxa::host::module {

extern const char kFileName[] = "deva3201.so";
extern const char kSeparator[] = "/";

void* Open(const std::string& path, std::string* error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) *error = dlerror();
  return module;
}

void* Find(void* module, const char* name) {
  return dlsym(module, name);
}

void Close(void* module) {
  dlclose(module);
}

std::string ProgramFolder(const char* argv0) {
  std::string exe;
  char resolved[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", resolved, sizeof(resolved) - 1);
  if (n > 0) {
    exe.assign(resolved, static_cast<std::size_t>(n));
  } else if (argv0 != nullptr) {
    exe = argv0;
  }
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

bool Readable(const std::string& path) {
  return access(path.c_str(), R_OK) == 0;
}

}  // namespace oxa::host::module
