// "Did you mean": the candidate closest to a misspelt word, as gcc and git
// offer it.
#pragma once

#include <string>
#include <vector>

namespace oxa::tools {

// The candidate nearest to `given` by edit distance (insertions, deletions,
// substitutions and swaps of neighbours), when it is near enough to be a
// slip: within about a quarter of the longer word, as gcc judges it. "" when
// none is.
std::string Closest(const std::string& given, const std::vector<std::string>& candidates);

}  // namespace oxa::tools
