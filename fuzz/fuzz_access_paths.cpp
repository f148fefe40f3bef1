// Arbitrary lists into SetDLLAccessPath: every stored directory must end in
// a backslash and be what the list's last entry for that name said.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/dll_access_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> list(data, data + size);
  list.push_back('\0');
  list.push_back('\0');  // the list always ends
  oxa::DllAccessPaths paths;
  if (paths.SetDLLAccessPath(list.data()) != 0) std::abort();

  // The model: split at zero bytes until the first empty text, then at the first '='.
  std::map<std::string, std::string> expected;
  for (const char* p = list.data(); *p != '\0';) {
    const std::string text(p);
    p += text.size() + 1;
    const std::size_t equals = text.find('=');
    if (text.size() > oxa::ByteString::kMaxLength) continue;  // skipped: too long to hold
    if (equals == std::string::npos || equals + 1 == text.size()) continue;
    std::string dir = text.substr(equals + 1);
    if (dir.back() != '\\') dir += '\\';
    expected[text.substr(0, equals)] = dir;
  }
  if (static_cast<std::size_t>(paths.Paths().GetCount()) != expected.size()) std::abort();
  for (const auto& [name, dir] : expected) {
    oxa::ByteString stored;
    if (!paths.Lookup(name.c_str(), &stored) || dir != stored.Chars()) std::abort();
  }
  return 0;
}
