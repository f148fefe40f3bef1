// Writes the benchmark documents to a folder, for tools outside this project
// (xmllint, aapt2, zstd, gzip) to run on the same bytes.
// usage: make_corpus OUTDIR [MB...]        realistic layouts (default 0.1 1 10 100)
//        make_corpus --batch N OUTDIR      N small layouts of the sizes real skins have
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "corpus.h"

namespace {

// One small layout of the batch: most between 1 and 20 KB, one in fifty up
// to 200 KB and one in five hundred up to 1 MB; one in ten in UTF-16, one in
// sixteen each in windows-1252 and Shift_JIS, the rest in UTF-8.
std::string BatchDocument(std::mt19937& random, unsigned index) {
  std::uniform_real_distribution<double> unit(0, 1);
  const double pick = unit(random);
  const double low = pick < 0.002 ? 200e3 : pick < 0.02 ? 20e3 : 1e3;
  const double high = pick < 0.002 ? 1e6 : pick < 0.02 ? 200e3 : 20e3;
  const auto bytes = static_cast<std::size_t>(low * std::pow(high / low, unit(random)));
  std::string doc = oxa::bench::RealisticLayout(bytes, index + 1);
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  const std::size_t label = doc.find("title=\"") + 7;
  const double encoding = unit(random);
  if (encoding < 0.0625) {  // windows-1252: "Fenêtre" in a title
    doc.replace(0, declaration.size(), "<?xml version=\"1.0\" encoding=\"windows-1252\"?>");
    doc.insert(doc.find("title=\"") + 7, "Fen\xEAtre ");
  } else if (encoding < 0.125) {  // Shift_JIS: "窓" (window)
    doc.replace(0, declaration.size(), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>");
    doc.insert(doc.find("title=\"") + 7, "\x91\x8B ");
  } else if (encoding < 0.225) {  // UTF-16LE with a byte order mark: "Fenêtre"
    doc.insert(label, "Fen\xC3\xAAtre ");
    std::string utf16 = "\xFF\xFE";
    doc.replace(0, declaration.size(), "<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    for (std::size_t i = 0; i < doc.size(); ++i) {
      unsigned c = static_cast<unsigned char>(doc[i]);
      if (c == 0xC3) c = 0xC0 | (static_cast<unsigned char>(doc[++i]) & 0x3F);  // U+00C0..U+00FF
      utf16 += static_cast<char>(c & 0xFF);
      utf16 += static_cast<char>(c >> 8);
    }
    return utf16;
  }
  return doc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--batch") {
    const unsigned count = static_cast<unsigned>(std::stoul(argv[2]));
    const std::string dir = argv[3];
    std::mt19937 random(20261209);
    for (unsigned i = 0; i < count; ++i) {
      const std::string path = dir + "/layout" + std::to_string(i) + ".xml";
      std::ofstream(path, std::ios::binary) << BatchDocument(random, i);
      std::printf("%s\n", path.c_str());
    }
    return 0;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_corpus OUTDIR [MB...] | make_corpus --batch N OUTDIR\n");
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
