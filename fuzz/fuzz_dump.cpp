// Arbitrary bytes into the reader's check and xmlc dump's renderings.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "dump/compiled_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  oxa::reader::Document doc;
  if (oxa::reader::Document::Open(data, size, &doc, nullptr)) {
    std::ostringstream out;
    std::string ignored;
    oxa::tools::WriteXml(doc, out, &ignored);
    oxa::tools::WriteTree(doc, out);
    oxa::tools::WriteChunks(doc, out);
  }
  return 0;
}
