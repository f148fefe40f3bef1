// Loading the plug-in module on Windows, with LoadLibraryW: the name travels
// as UTF-16, so any file name works whatever the ANSI code page.
#include "host/module.h"

#include "host/windows_text.h"

namespace oxa::host::module {
using windows::ErrorText;
using windows::Narrow;
using windows::Wide;

extern const char kFileName[] = "deva3201.dll";
extern const char kSeparator[] = "\\";

void* Open(const std::string& path, std::string* error) {
  const HMODULE module = LoadLibraryW(Wide(path).c_str());
  if (module == nullptr) *error = path + ": " + ErrorText(GetLastError());
  return reinterpret_cast<void*>(module);
}

void* Find(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void Close(void* module) {
  FreeLibrary(static_cast<HMODULE>(module));
}

std::string ProgramFolder(const char* argv0) {
  std::wstring exe(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0) {
      exe = Wide(argv0 != nullptr ? argv0 : "");
      break;
    }
    if (n < exe.size()) {
      exe.resize(n);
      break;
    }
    exe.resize(exe.size() * 2);
  }
  const std::size_t slash = exe.find_last_of(L"\\/");
  return slash == std::wstring::npos ? "." : Narrow(exe.substr(0, slash));
}

bool Readable(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace oxa::host::module
