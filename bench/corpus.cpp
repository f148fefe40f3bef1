// Layout document generators.
#include "corpus.h"

#include <random>

namespace oxa::bench {

std::string RealisticLayout(std::size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const char* widgets[] = {"button",   "label",    "slider", "image",
                           "checkbox", "progress", "icon",   "text"};
  const char* actions[] = {"player.play",  "player.pause",   "player.next",   "player.previous",
                           "view.toggle",  "volume.set",     "playlist.open", "skin.menu",
                           "window.close", "window.minimize"};
  std::string doc;
  doc.reserve(bytes + 4096);
  doc +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<skin xmlns:c=\"urn:oxa:xmlcompiler\" "
      "name=\"Bench\">\n";
  int layouts = 0, element = 0, window = 0;
  while (doc.size() < bytes) {
    doc += "  <window id=\"w" + std::to_string(window) + "\" title=\"Window " +
           std::to_string(window) + "\" width=\"" + std::to_string(200 + pick(800)) +
           "\" height=\"" + std::to_string(100 + pick(600)) + "\">\n";
    for (int p = 0, panels = 4 + pick(8); p < panels && doc.size() < bytes; ++p) {
      const bool isLayout = layouts < 64 && pick(12) == 0;
      const std::string id = isLayout ? "layout_" + std::to_string(layouts)
                                      : "panel" + std::to_string(window) + "_" + std::to_string(p);
      doc += "    <panel id=\"" + id + "\" x=\"" + std::to_string(pick(800)) + "\" y=\"" +
             std::to_string(pick(600)) + "\" background=\"panel" + std::to_string(pick(20)) +
             ".png\">\n";
      for (int w = 0, count = 4 + pick(10); w < count; ++w, ++element) {
        if (!isLayout && layouts > 0 && element % 20 == 0) {
          doc +=
              "      <c:insertlayout layoutid=\"layout_" + std::to_string(pick(layouts)) + "\"/>\n";
          continue;
        }
        const char* widget = widgets[pick(8)];
        doc += std::string("      <") + widget + " id=\"" + widget + std::to_string(element) +
               "\" x=\"" + std::to_string(pick(800)) + "\" y=\"" + std::to_string(pick(600)) +
               "\" width=\"" + std::to_string(16 + pick(300)) + "\" height=\"" +
               std::to_string(16 + pick(80)) + "\" image=\"" + widget + "_" +
               std::to_string(pick(40)) + ".png\" tooltip=\"Tooltip text " +
               std::to_string(pick(3000)) + "\" action=\"" + actions[pick(10)] + "\"/>\n";
      }
      doc += "    </panel>\n";
      if (isLayout) ++layouts;  // later panels may insert it
    }
    doc += "  </window>\n";
    ++window;
  }
  return doc + "</skin>\n";
}

std::string DistinctStrings(std::size_t count) {
  std::string doc = "<r>\n";
  for (std::size_t i = 0; i < count; ++i)
    doc += "<item v=\"value " + std::to_string(i * 2654435761u % 4294967291u) + "\"/>\n";
  return doc + "</r>\n";
}

std::string Deep(std::size_t depth) {
  std::string doc;
  doc.reserve(depth * 7);
  for (std::size_t i = 0; i < depth; ++i) doc += "<d>";
  for (std::size_t i = 0; i < depth; ++i) doc += "</d>";
  return doc;
}

std::string Wide(std::size_t count) {
  std::string doc = "<r>";
  for (std::size_t i = 0; i < count; ++i) doc += "<c/>";
  return doc + "</r>";
}

std::string Copies(std::size_t copies) {
  std::string doc = "<r><layout id=\"L\">";
  for (int i = 0; i < 10; ++i) doc += "<w i=\"" + std::to_string(i) + "\"/>";
  doc += "</layout>";
  for (std::size_t i = 0; i < copies; ++i) doc += "<p><insertlayout layoutid=\"L\"/></p>";
  return doc + "</r>";
}

}  // namespace oxa::bench
