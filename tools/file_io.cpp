// xmlc's file access: reads, atomic writes, file identity, batch targets.
#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace oxa::xmlc {
namespace {

namespace fs = std::filesystem;

mode_t g_fileMode = 0644;

// Writes all of `data` to the open descriptor `fd`.
bool WriteFully(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, bytes + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void SetFileMode(mode_t mode) noexcept {
  g_fileMode = mode;
}

bool ReadAll(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = std::strerror(errno);
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
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = fd >= 0 && WriteFully(fd, data, size);
    if (!ok) *error = std::strerror(errno);
    if (fd >= 0 && close(fd) != 0 && ok) {
      *error = std::strerror(errno);
      ok = false;
    }
    return ok;
  }
  std::error_code ec;
  const fs::path target = fs::is_symlink(fs::symlink_status(path, ec)) && fs::exists(path, ec)
                              ? fs::canonical(path, ec)
                              : fs::path(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    *error = "cannot create a temporary file in " + dir.string() + ": " + std::strerror(errno);
    return false;
  }
  const bool complete = WriteFully(fd, data, size);
  const int savedErrno = errno;
  fchmod(fd, g_fileMode);  // mkstemp made it 0600
  if (close(fd) != 0 || !complete || rename(temp.c_str(), target.c_str()) != 0) {
    *error = std::strerror(complete ? errno : savedErrno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool StatIdentity(const std::string& path, FileId* id) {
  struct stat st;
  if (path == "-" || stat(path.c_str(), &st) != 0) return false;
  *id = {st.st_dev, st.st_ino};
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  FileId ia, ib;
  return StatIdentity(a, &ia) && StatIdentity(b, &ib) && ia == ib;
}

std::optional<std::pair<std::size_t, std::size_t>> FindTargetThatIsInput(
    const std::vector<std::string>& inputs, const std::vector<std::string>& targets,
    const IdentifyFile& identify) {
  struct Hash {
    std::size_t operator()(const FileId& id) const noexcept {
      return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(id.inode) * 0x9E3779B97F4A7C15u ^
                                        static_cast<std::uint64_t>(id.device));
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

std::string OutputFor(const std::string& input, const std::string& outDir) {
  fs::path name = fs::path(input).filename();
  std::string ext = name.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == ".xml" && name.stem() != "") name = name.stem();
  return (fs::path(outDir) / (name.string() + ".xmlc")).lexically_normal().string();
}

}  // namespace oxa::xmlc
