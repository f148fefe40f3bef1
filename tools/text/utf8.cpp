// UTF-8 through utf8proc.
#include "text/utf8.h"

#include <utf8proc.h>

namespace oxa::tools {

std::size_t DecodeUtf8(const std::uint8_t* p, const std::uint8_t* end, char32_t* c) {
  if (p >= end) return 0;
  utf8proc_int32_t value = 0;
  // utf8proc reads at most four bytes; the length keeps it inside the text.
  const utf8proc_ssize_t length = utf8proc_iterate(p, end - p < 4 ? end - p : 4, &value);
  if (length <= 0) return 0;
  *c = static_cast<char32_t>(value);
  return static_cast<std::size_t>(length);
}

bool NextUtf8(std::string_view text, std::size_t* at, char32_t* c) {
  const auto* begin = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t length = DecodeUtf8(begin + *at, begin + text.size(), c);
  *at += length;
  return length != 0;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Utf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendUtf8(c, &out);
  return out;
}

int DisplayWidth(char32_t c) {
  const int width = utf8proc_charwidth(static_cast<utf8proc_int32_t>(c));
  return width < 0 ? 1 : width;
}

}  // namespace oxa::tools
