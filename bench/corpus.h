// Generators of XML layout documents for the benchmarks.
#pragma once

#include <cstddef>
#include <string>

namespace oxa::bench {

// A media-player-like layout of about `bytes` bytes: windows of panels of
// widgets with geometry, images, labels and actions, indented, with shared
// layouts reused through the compiler namespace about once per 20 elements.
std::string RealisticLayout(std::size_t bytes, unsigned seed = 1);
// `count` elements under one root, each with a distinct attribute value.
std::string DistinctStrings(std::size_t count);
// One chain of `depth` nested elements.
std::string Deep(std::size_t depth);
// A root with `count` empty children.
std::string Wide(std::size_t count);
// A layout of 10 widgets copied `copies` times by insertlayout.
std::string Copies(std::size_t copies);

}  // namespace oxa::bench
