// DetectorGuess through uchardet. Its guesses on short texts are often wrong
// and it gives no confidence, so the caller checks them against the bytes.
#include <uchardet.h>

#include <memory>

#include "diagnostics/encoding_detector.h"

namespace oxa::tools {

std::string DetectorGuess(const std::uint8_t* bytes, std::size_t size) {
  const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
      uchardet_new(), &uchardet_delete);
  if (detector == nullptr) return "";
  if (uchardet_handle_data(detector.get(), reinterpret_cast<const char*>(bytes), size) != 0)
    return "";
  uchardet_data_end(detector.get());
  const char* name = uchardet_get_charset(detector.get());
  return name == nullptr ? "" : name;
}

}  // namespace oxa::tools
