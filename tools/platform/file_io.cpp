// xmlc's file access: reads, atomic writes, file identity, batch targets.
#include "platform/file_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace oxa::xmlc {

bool ReadAll(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
  std::FILE* file = path == "-" ? stdin : platform::OpenForReading(path);
  if (file == nullptr) {
    // Windows refuses to open a folder at all ("Permission denied"): say
    // what it is, as on POSIX systems, where the open succeeds.
    const int cause = errno;
    std::error_code ec;
    *error = std::filesystem::is_directory(platform::PathOf(path), ec) ? "is a folder"
                                                                       : std::strerror(cause);
    return false;
  }
  bool ok = true;
  try {
    bytes->clear();
    struct stat st;
    if (file != stdin && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
      *error = "is a folder";
      ok = false;
    } else {
      if (file != stdin && S_ISREG(st.st_mode) &&
          static_cast<std::uint64_t>(st.st_size) <= kMaxInput)
        bytes->reserve(static_cast<std::size_t>(st.st_size));  // one exact allocation for files
      std::uint8_t chunk[1 << 16];
      std::size_t n;
      while (ok && (n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        if (bytes->size() + n > kMaxInput) {
          *error = "larger than 4 GiB, the most a compile takes";
          ok = false;
        } else {
          bytes->insert(bytes->end(), chunk, chunk + n);
        }
      }
      if (ok && std::ferror(file) != 0) {
        *error = std::strerror(errno);
        ok = false;
      }
    }
  } catch (const std::bad_alloc&) {
    *error = "out of memory while reading it";
    ok = false;
  } catch (const std::length_error&) {
    *error = "too large to hold in memory";
    ok = false;
  }
  if (file != stdin) std::fclose(file);
  if (!ok) std::vector<std::uint8_t>().swap(*bytes);
  return ok;
}

bool WriteAtomically(const std::string& path, const void* data, std::size_t size,
                     std::string* error) {
  if (path == "-") {
    const bool ok = std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0;
    if (!ok) *error = std::strerror(errno);
    return ok;
  }
  return platform::WriteWhole(path, data, size, error);
}

bool SystemIdentity(const std::string& path, FileId* id) {
  return path != "-" && platform::Identify(path, id);
}

bool SameFile(const std::string& a, const std::string& b) {
  FileId ia, ib;
  return SystemIdentity(a, &ia) && SystemIdentity(b, &ib) && ia == ib;
}

std::optional<std::pair<std::size_t, std::size_t>> FindTargetThatIsInput(
    const std::vector<std::string>& inputs, const std::vector<std::string>& targets,
    const IdentifyFile& identify) {
  struct Hash {
    std::size_t operator()(const FileId& id) const noexcept {
      return std::hash<std::uint64_t>()(id.index * 0x9E3779B97F4A7C15u ^ id.volume);
    }
  };
  std::unordered_map<FileId, std::size_t, Hash> firstInput;  // identity -> its first input
  firstInput.reserve(inputs.size());
  FileId id;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (identify(inputs[i], &id)) firstInput.emplace(id, i);
  }
  for (std::size_t t = 0; t < targets.size(); ++t) {
    if (!identify(targets[t], &id)) continue;
    if (const auto found = firstInput.find(id); found != firstInput.end())
      return std::make_pair(t, found->second);
  }
  return std::nullopt;
}

bool RemoveStale(const std::string& path, std::string* error) {
  namespace fs = std::filesystem;
  if (path == "-") return true;
  const fs::path target = platform::WrittenThrough(platform::PathOf(path));
  std::error_code ec;
  if (!fs::is_regular_file(fs::status(target, ec))) return true;
  if (fs::remove(target, ec) || !ec) return true;
  *error = ec.message();
  return false;
}

std::string OutputFor(const std::string& input, const std::string& outDir) {
  namespace fs = std::filesystem;
  fs::path name = platform::PathOf(input).filename();
  std::string ext = platform::Utf8Of(name.extension());
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == ".xml" && !name.stem().empty()) name = name.stem();
  name += ".xmlc";
  return platform::Utf8Of((platform::PathOf(outDir) / name).lexically_normal());
}

}  // namespace oxa::xmlc
