// What xmlc does differently on POSIX systems and on Windows, behind one
// small interface: arguments, the standard streams and the console, opening
// files, file identity, atomic replacement, file URIs, the system's code page
// and Ctrl-C. platform_posix.cpp and platform_windows.cpp implement it (CMake
// builds the one that fits), over the path helpers of paths.cpp, which both
// share.
//
// Every name crosses this interface in UTF-8. On Windows the names travel to
// the system as UTF-16, so any file name works whatever the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace oxa::xmlc::platform {

// Sets the process up and returns its arguments after the program's name,
// in UTF-8, with wildcards expanded on Windows, where the shells leave that
// to the program. Standard input and output carry bytes unchanged (no "\r\n" on
// Windows), UTF-8 text shows as text in a console, and an interrupt (Ctrl-C,
// SIGINT, SIGTERM, SIGHUP) removes the temporary files of unfinished writes
// before the process ends as the interrupt would end it.
std::vector<std::string> Start(int argc, char** argv);

// Whether `stream` (stdout or stderr) is a terminal or console.
bool IsTerminal(std::FILE* stream);

// What `stream` (stdout or stderr) makes of escape sequences (colours, a
// line redrawn in place): a file or pipe passes them on; a dumb terminal is
// one the user says takes none unless asked (TERM unset, empty or "dumb");
// an escape terminal obeys them; a legacy console (Windows before 10) shows
// them as text, so none may be written to it. On Windows, asking turns a
// console's virtual terminal mode on where the console has one.
enum class Terminal { kNone, kDumb, kEscapes, kLegacyConsole };
Terminal TerminalOf(std::FILE* stream);

// Opens an existing file for reading bytes; null, with errno set, when it cannot.
std::FILE* OpenForReading(const std::string& path);

// The identity of an existing file, whatever the path that names it: device
// and inode, or volume serial number and file index.
struct FileId {
  std::uint64_t volume;
  std::uint64_t index;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// Finds the identity of the file `path` names, following symbolic links:
// false when there is none.
bool Identify(const std::string& path, FileId* id);

// Writes `data` to the file `path`: through a temporary file in the target's
// folder that replaces the target only once complete, or in place when the
// target exists and is a device or pipe. A symbolic link is written through
// to its file. On failure `error` says why and nothing is left behind.
bool WriteWhole(const std::string& path, const void* data, std::size_t size, std::string* error);

// The file URI of a file name, or a relative URI reference for a relative
// name; every byte outside the unreserved set and '/' is percent-encoded.
std::string FileUri(const std::string& file);

// The system's own code page for text files, as "CP" and its number (the
// ANSI code page on Windows); "" where the system has none (POSIX).
std::string SystemCodePage();

// Shared by both platform files (paths.cpp), and the conversions of paths:

// The file a write to `path` lands in: `path`, or the end of the chain of
// symbolic links it starts, whether or not that file exists yet (as open()
// creates a dangling link's target).
std::filesystem::path WrittenThrough(const std::filesystem::path& path);

// The percent-encoded form of `text`, keeping the unreserved bytes and '/'.
std::string PercentEncoded(const std::string& text);

// A path from a UTF-8 name, and back.
inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace oxa::xmlc::platform
