// Writes the benchmark documents to a folder, for tools outside this project
// (xmllint, zstd, gzip) to run on the same bytes.
// usage: make_corpus OUTDIR [MB...]   (default sizes 0.1 1 10 100)
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "corpus.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_corpus OUTDIR [MB...]\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<std::string> sizes(argv + 2, argv + argc);
  if (sizes.empty()) sizes = {"0.1", "1", "10", "100"};
  for (const std::string& mb : sizes) {
    const std::string path = dir + "/realistic-" + mb + "MB.xml";
    std::ofstream(path, std::ios::binary)
        << oxa::bench::RealisticLayout(static_cast<std::size_t>(std::stod(mb) * 1e6));
    std::printf("%s\n", path.c_str());
  }
  return 0;
}
