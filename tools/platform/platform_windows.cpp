// xmlc's platform interface on Windows: names as UTF-16 through the wide
// APIs, binary standard streams, UTF-8 text in the console, replacement by
// MoveFileExW, identity by volume serial number and file index, and a
// console control handler for Ctrl-C.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cwctype>
#include <random>
#include <system_error>

#include "host/windows_text.h"
#include "platform/pending_files.h"
#include "platform/platform.h"

namespace oxa::xmlc::platform {
namespace {

using host::windows::ErrorText;
using host::windows::Narrow;
using host::windows::Wide;

PendingFiles<wchar_t> g_pending;
// Held while a temporary file is made and registered, and by the control
// handler, which runs on a thread of its own, so that it never finds a
// temporary file unlisted.
SRWLOCK g_creating = SRWLOCK_INIT;
UINT g_consoleCodePage = 0;  // the console's output code page before Start, 0: untouched

void RestoreConsole() {
  if (g_consoleCodePage != 0) SetConsoleOutputCP(g_consoleCodePage);
}

BOOL WINAPI OnControl(DWORD) {
  AcquireSRWLockExclusive(&g_creating);  // never released: the process is ending
  g_pending.RemoveAll([](const wchar_t* name) { DeleteFileW(name); });
  RestoreConsole();
  return FALSE;  // the default handler ends the process
}

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// Writes all of `data` to `handle`.
bool WriteFully(HANDLE handle, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes, piece, &written, nullptr)) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

// The file type (FILE_TYPE_DISK, _CHAR, _PIPE) of an existing name, or FILE_TYPE_UNKNOWN.
DWORD TypeOf(const std::wstring& name) {
  const HANDLE h =
      CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FILE_TYPE_UNKNOWN;
  const DWORD type = GetFileType(h);
  CloseHandle(h);
  return type;
}

// Whether `name` matches the wildcard `pattern` (* any run, ? one
// character), ignoring case as Windows names do.
bool Matches(const wchar_t* pattern, const wchar_t* name) {
  for (; *pattern != L'\0'; ++pattern, ++name) {
    if (*pattern == L'*') {
      for (const wchar_t* rest = name;; ++rest) {
        if (Matches(pattern + 1, rest)) return true;
        if (*rest == L'\0') return false;
      }
    }
    if (*name == L'\0' || (*pattern != L'?' && towlower(*pattern) != towlower(*name))) return false;
  }
  return *name == L'\0';
}

// Adds `arg` to `args`, expanded as MinGW's and Microsoft's C runtimes
// expand wildcards, since cmd.exe and PowerShell leave that to the program:
// a last component holding * or ? becomes the names it matches, sorted; one
// that matches nothing stays as written.
void AddExpanded(const std::wstring& arg, std::vector<std::string>* args) {
  const std::size_t slash = arg.find_last_of(L"\\/");
  const std::size_t last = slash == std::wstring::npos ? 0 : slash + 1;
  if (arg.find_first_of(L"*?", last) == std::wstring::npos) {
    args->push_back(Narrow(arg));
    return;
  }
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(arg.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      // The system also matches short names: "*.xml" finds a.xmlc by A~1.XML.
      if (name != L"." && name != L".." && Matches(arg.c_str() + last, name.c_str()))
        names.push_back(arg.substr(0, last) + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  if (names.empty()) names.push_back(arg);
  std::sort(names.begin(), names.end());
  for (const auto& name : names) args->push_back(Narrow(name));
}

}  // namespace

std::vector<std::string> Start(int, char**) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)) || IsConsole(GetStdHandle(STD_ERROR_HANDLE))) {
    g_consoleCodePage = GetConsoleOutputCP();
    if (g_consoleCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
      std::atexit(&RestoreConsole);
    } else {
      g_consoleCodePage = 0;
    }
  }
  SetConsoleCtrlHandler(&OnControl, TRUE);
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int i = 1; i < count; ++i) AddExpanded(wide[i], &args);
  LocalFree(wide);
  return args;
}

bool IsTerminal(std::FILE* stream) {
  return IsConsole(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
}

Terminal TerminalOf(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode;
  if (handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode) == 0) return Terminal::kNone;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0)
    SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  // The mode as the console keeps it: one older than Windows 10's refuses it.
  return GetConsoleMode(handle, &mode) != 0 && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0
             ? Terminal::kEscapes
             : Terminal::kLegacyConsole;
}

std::FILE* OpenForReading(const std::string& path) {
  return _wfopen(Wide(path).c_str(), L"rb");
}

bool Identify(const std::string& path, FileId* id) {
  const HANDLE h =
      CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (ok) {
    *id = {info.dwVolumeSerialNumber,
           static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  }
  return ok;
}

bool WriteWhole(const std::string& path, const void* data, std::size_t size, std::string* error) {
  namespace fs = std::filesystem;
  const std::wstring wide = Wide(path);
  const DWORD type = TypeOf(wide);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {  // NUL, CON, a named pipe
    const HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    bool ok = h != INVALID_HANDLE_VALUE && WriteFully(h, data, size);
    if (!ok) *error = ErrorText(GetLastError());
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok;
  }
  const fs::path given(wide);
  const fs::path target = WrittenThrough(given);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(L".");
  std::random_device random;
  std::wstring temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  std::size_t slot = PendingFiles<wchar_t>::kSlots;
  DWORD createError = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    std::wstring suffix = L".";
    for (unsigned bits = random(), i = 0; i < 6; ++i, bits >>= 4)
      suffix += L"0123456789abcdef"[bits & 15];
    temp = (dir / (L"." + target.filename().wstring() + suffix)).wstring();
    AcquireSRWLockExclusive(&g_creating);
    h = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    createError = GetLastError();
    if (h != INVALID_HANDLE_VALUE) slot = g_pending.Add(temp);
    ReleaseSRWLockExclusive(&g_creating);
    if (h == INVALID_HANDLE_VALUE && createError != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    *error = "cannot create a temporary file in " + Utf8Of(dir) + ": " + ErrorText(createError);
    return false;
  }
  bool ok = WriteFully(h, data, size);
  DWORD failure = ok ? ERROR_SUCCESS : GetLastError();
  HoldForInterruptTest(path);
  if (!CloseHandle(h) && ok) {
    ok = false;
    failure = GetLastError();
  }
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    failure = GetLastError();
  }
  if (!ok) {
    *error = ErrorText(failure);
    DeleteFileW(temp.c_str());
  }
  g_pending.Remove(slot);
  return ok;
}

std::string FileUri(const std::string& file) {
  std::string path = file;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  const auto letter = static_cast<unsigned char>(path.empty() ? 0 : path[0]);
  if (path.size() >= 3 && std::isalpha(letter) && path[1] == ':' && path[2] == '/')
    return "file:///" + path.substr(0, 2) + PercentEncoded(path.substr(2));
  if (path.rfind("//", 0) == 0) return "file:" + PercentEncoded(path);  // \\server\share
  return PercentEncoded(path);
}

std::string SystemCodePage() {
  return "CP" + std::to_string(GetACP());
}

}  // namespace oxa::xmlc::platform
