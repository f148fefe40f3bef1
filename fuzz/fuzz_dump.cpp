// Arbitrary bytes into the strict decoder and its renderings.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "compiled_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  oxa::tools::DecodedDocument doc;
  oxa::tools::DecodeError error;
  if (oxa::tools::Decode(data, size, &doc, &error)) {
    std::ostringstream out;
    std::string ignored;
    oxa::tools::WriteXml(doc, out, &ignored);
    oxa::tools::WriteTree(doc, out);
    oxa::tools::WriteChunks(doc, data, out);
  }
  return 0;
}
