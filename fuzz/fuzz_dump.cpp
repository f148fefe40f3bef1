// Arbitrary bytes into the strict decoder and its renderings.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "compiled_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  oxa::tools::DecodedDocument doc;
  oxa::tools::DecodeError error;
  if (oxa::tools::Decode(data, size, &doc, &error)) {
    std::ostringstream out;
    oxa::tools::WriteXml(doc, out);
    oxa::tools::WriteTree(doc, out);
    oxa::tools::WriteChunks(doc, data, out);
  }
  return 0;
}
