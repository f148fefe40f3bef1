// xmlc's platform interface on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/pending_files.h"
#include "platform/platform.h"

namespace oxa::xmlc::platform {
namespace {

PendingFiles<char> g_pending;
mode_t g_fileMode = 0644;  // 0666 less the umask, set by Start

extern "C" void OnInterrupt(int signal) {
  g_pending.RemoveAll([](const char* name) { unlink(name); });
  ::signal(signal, SIG_DFL);
  raise(signal);
}

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

std::vector<std::string> Start(int argc, char** argv) {
  const mode_t mask = umask(0);
  umask(mask);
  g_fileMode = 0666 & ~mask;
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  // A signal the parent left ignored (as a shell does for a job started with
  // `&`) stays ignored.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaction(signal, &action, nullptr);
  }
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

Terminal TerminalOf(std::FILE* stream) {
  if (!IsTerminal(stream)) return Terminal::kNone;
  const char* term = std::getenv("TERM");
  return term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0 ? Terminal::kDumb
                                                                            : Terminal::kEscapes;
}

std::FILE* OpenForReading(const std::string& path) {
  return std::fopen(path.c_str(), "rb");
}

bool Identify(const std::string& path, FileId* id) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  *id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return true;
}

bool WriteWhole(const std::string& path, const void* data, std::size_t size, std::string* error) {
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
  namespace fs = std::filesystem;
  const fs::path target = WrittenThrough(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  // Signals wait while the file is made and registered, so none finds it unlisted.
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &before);
  const int fd = mkstemp(temp.data());
  const int createErrno = errno;
  const std::size_t slot = fd >= 0 ? g_pending.Add(temp) : PendingFiles<char>::kSlots;
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (fd < 0) {
    *error =
        "cannot create a temporary file in " + dir.string() + ": " + std::strerror(createErrno);
    return false;
  }
  const bool complete = WriteFully(fd, data, size);
  const int savedErrno = errno;
  fchmod(fd, g_fileMode);  // mkstemp made it 0600
  HoldForInterruptTest(path);
  const bool ok = close(fd) == 0 && complete && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    *error = std::strerror(complete ? errno : savedErrno);
    unlink(temp.c_str());
  }
  g_pending.Remove(slot);
  return ok;
}

std::string FileUri(const std::string& file) {
  return file.rfind('/', 0) == 0 ? "file://" + PercentEncoded(file) : PercentEncoded(file);
}

std::string SystemCodePage() {
  return "";
}

}  // namespace oxa::xmlc::platform
