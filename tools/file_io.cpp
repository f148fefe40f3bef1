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

bool SameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
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
