// DetectorGuess for a build without a charset detector: no guess, so the
// bytes and the system's code page alone decide.
#include "diagnostics/encoding_detector.h"

namespace oxa::tools {

std::string DetectorGuess(const std::uint8_t*, std::size_t) {
  return "";
}

}  // namespace oxa::tools
