// The path helpers both platform files build on: the end of a chain of
// symbolic links, and percent-encoding for file URIs.
#include <cctype>
#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace oxa::xmlc::platform {

std::filesystem::path WrittenThrough(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  constexpr int kMaxLinks = 40;  // as the kernel's ELOOP
  fs::path target = path;
  std::error_code ec;
  for (int i = 0; i < kMaxLinks && fs::is_symlink(fs::symlink_status(target, ec)); ++i) {
    const fs::path link = fs::read_symlink(target, ec);
    if (ec) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return target;
}

std::string PercentEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[b >> 4];
      encoded += kHex[b & 15];
    }
  }
  return encoded;
}

}  // namespace oxa::xmlc::platform
