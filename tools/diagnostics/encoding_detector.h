// The guess of a charset detector on a document's bytes: one candidate of
// several, weighed against the bytes by encoding_evidence.cpp. One file per
// detector, chosen by CMake: uchardet where the build has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace oxa::tools {

// The detector's name for the encoding of `bytes` ("" for no guess).
std::string DetectorGuess(const std::uint8_t* bytes, std::size_t size);

}  // namespace oxa::tools
