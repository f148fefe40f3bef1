// The legacy encodings on Windows: none is read yet. expat's own encodings
// (UTF-8, UTF-16, ISO-8859-1 and US-ASCII) are read as everywhere; any other
// name a document declares gets expat's "unknown encoding".
#include <xmlcompiler/host/legacy_encoding.h>

namespace oxa::host {

int XMLCALL LegacyEncodingHandler(void*, const XML_Char*, XML_Encoding*) {
  return XML_STATUS_ERROR;
}

bool CharacterOfByte(const char*, unsigned char, std::uint32_t*) {
  return false;
}

std::size_t EncodingTablesBuilt() noexcept {
  return 0;
}

}  // namespace oxa::host
