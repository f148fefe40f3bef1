// What the legacy encodings mean the same on every system.
#include <strings.h>

#include <xmlcompiler/host/legacy_encoding.h>

namespace oxa::host {

const char* SupersetOf(const char* encoding) noexcept {
  static const struct {
    const char* name;
    const char* superset;
  } kSupersets[] = {{"TIS-620", "windows-874"},     {"TIS620", "windows-874"},
                    {"ISO-8859-11", "windows-874"}, {"ISO-8859-1", "windows-1252"},
                    {"ISO_8859-1", "windows-1252"}, {"LATIN1", "windows-1252"},
                    {"US-ASCII", "windows-1252"},   {"ASCII", "windows-1252"},
                    {"ISO-8859-9", "windows-1254"}, {"LATIN5", "windows-1254"}};
  for (const auto& s : kSupersets)
    if (strcasecmp(s.name, encoding) == 0) return s.superset;
  return nullptr;
}

}  // namespace oxa::host
