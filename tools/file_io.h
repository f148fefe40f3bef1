// xmlc's file access: whole reads with the size limit of a compile, and
// writes that never leave a partial file, each failure reported as a cause
// the caller puts after the file's name.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace oxa::xmlc {

// The host hands a document to the compiler in one buffer with a 32-bit length.
inline constexpr std::uint64_t kMaxInput = 0xFFFFFFFFu;

// Sets the permissions of the files written from here on (0666 less the umask).
void SetFileMode(mode_t mode) noexcept;

// Reads a whole file (or standard input for "-"). A file past the largest
// input a compile takes, or one that memory cannot hold, is refused by name.
bool ReadAll(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error);

// Writes `data` to `path` through a temporary file in the same folder that is
// renamed over the target only once complete. A symbolic link is written
// through to its file. An existing target that is not a regular file (a
// device such as /dev/null, a pipe) is written in place, never replaced.
// "-" writes standard output.
bool WriteAtomically(const std::string& path, const void* data, std::size_t size,
                     std::string* error);

// Whether two paths name one existing file (through ./, hard or symbolic links).
bool SameFile(const std::string& a, const std::string& b);

// OUTDIR/NAME.xmlc for a batch input, NAME being its file name less .xml in any case.
std::string OutputFor(const std::string& input, const std::string& outDir);

}  // namespace oxa::xmlc
