// xmlc's file access: whole reads with the size limit of a compile, and
// writes that never leave a partial file, each failure reported as a cause
// the caller puts after the file's name.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
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

// The identity of an existing file, whatever the path that names it.
struct FileId {
  dev_t device;
  ino_t inode;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// Finds a path's identity: true and `id` set when `path` names an existing
// file. "-" (standard input or output) names none.
using IdentifyFile = std::function<bool(const std::string& path, FileId* id)>;

// The identity by stat(2), following symbolic links.
bool StatIdentity(const std::string& path, FileId* id);

// The first target, in order, that is the same file as an input, with the
// first such input: (target index, input index). Each path's identity is
// found once and the inputs' are kept in a hash set, so the check costs
// inputs + targets lookups, not their product.
std::optional<std::pair<std::size_t, std::size_t>> FindTargetThatIsInput(
    const std::vector<std::string>& inputs, const std::vector<std::string>& targets,
    const IdentifyFile& identify = StatIdentity);

// OUTDIR/NAME.xmlc for a batch input, NAME being its file name less .xml in any case.
std::string OutputFor(const std::string& input, const std::string& outDir);

}  // namespace oxa::xmlc
