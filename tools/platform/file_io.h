// xmlc's file access: whole reads with the size limit of a compile, and
// writes that never leave a partial file, each failure reported as a cause
// the caller puts after the file's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <xmlcompiler/com/buffer.h>

#include "platform/platform.h"

namespace oxa::xmlc {

// The host hands a document to the compiler in one buffer with a 32-bit length.
inline constexpr std::uint64_t kMaxInput = kMaxSize32;

// Reads a whole file (or standard input for "-"). A file past the largest
// input a compile takes, or one that memory cannot hold, is refused by name.
bool ReadAll(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error);

// Writes `data` to `path` through a temporary file in the same folder that
// replaces the target only once complete (platform::WriteWhole): a symbolic
// link is written through to its file, and a device or pipe is written in
// place. "-" writes standard output.
bool WriteAtomically(const std::string& path, const void* data, std::size_t size,
                     std::string* error);

// Removes the file a write to `path` would have replaced (through symbolic
// links), when it is a regular file: a failed input leaves no stale output,
// as gcc leaves none. "-", a missing file, a device or a pipe are left
// alone. On failure `error` says why.
bool RemoveStale(const std::string& path, std::string* error);

// Whether two paths name one existing file (through ./, hard or symbolic links).
bool SameFile(const std::string& a, const std::string& b);

using platform::FileId;

// Finds a path's identity: true and `id` set when `path` names an existing
// file. "-" (standard input or output) names none.
using IdentifyFile = std::function<bool(const std::string& path, FileId* id)>;

// The identity the system gives, following symbolic links; "-" has none.
bool SystemIdentity(const std::string& path, FileId* id);

// The first target, in order, that is the same file as an input, with the
// first such input: (target index, input index). Each path's identity is
// found once and the inputs' are kept in a hash set, so the check costs
// inputs + targets lookups, not their product.
std::optional<std::pair<std::size_t, std::size_t>> FindTargetThatIsInput(
    const std::vector<std::string>& inputs, const std::vector<std::string>& targets,
    const IdentifyFile& identify = SystemIdentity);

// OUTDIR/NAME.xmlc for a batch input, NAME being its file name less .xml in any case.
std::string OutputFor(const std::string& input, const std::string& outDir);

}  // namespace oxa::xmlc
