// Generators of the benchmark event streams.
#include "event_stream.h"

#include <random>

namespace oxa::bench {

Stream RealisticStream(std::uint64_t elements) {
  Stream s;
  std::mt19937 rng(42);
  const char* widgets[] = {"button", "label",    "slider",   "image",
                           "text",   "checkbox", "progress", "icon"};
  std::vector<std::uint32_t> widgetNames;
  for (const char* w : widgets) widgetNames.push_back(s.Intern(w));
  const std::uint32_t window = s.Intern("window"), panel = s.Intern("panel"),
                      layout = s.Intern("layout"), directive = s.Intern("insertlayout");
  const std::uint32_t id = s.Intern("id"), layoutid = s.Intern("layoutid"), x = s.Intern("x"),
                      y = s.Intern("y"), width = s.Intern("width"), height = s.Intern("height"),
                      text = s.Intern("text"), action = s.Intern("action");
  auto number = [&](int limit) { return s.Intern(std::to_string(rng() % limit)); };
  std::vector<std::uint32_t> layouts;

  s.Start(window, {{id, s.Intern("main")}, {width, number(2000)}, {height, number(2000)}});
  while (s.elements < elements) {
    const bool isLayout = layouts.size() < 50 && rng() % 10 == 0;
    const std::uint32_t panelId =
        s.Intern((isLayout ? "layout" : "panel") + std::to_string(s.elements));
    s.Start(isLayout ? layout : panel, {{id, panelId}, {x, number(1000)}, {y, number(1000)}});
    const int children = 3 + static_cast<int>(rng() % 8);
    for (int c = 0; c < children && s.elements < elements; ++c) {
      if (!isLayout && !layouts.empty() && s.elements % 20 == 0) {
        s.Start(directive, {{layoutid, layouts[rng() % layouts.size()]}});
        s.End(directive);
        continue;
      }
      const std::uint32_t w = widgetNames[rng() % widgetNames.size()];
      s.Start(w, {{x, number(1000)},
                  {y, number(1000)},
                  {width, number(400)},
                  {height, number(100)},
                  {text, s.Intern("Label " + std::to_string(rng() % 5000))},
                  {action, s.Intern("do" + std::to_string(rng() % 300))}});
      s.End(w);
    }
    s.End(isLayout ? layout : panel);
    if (isLayout) layouts.push_back(panelId);
  }
  s.End(window);
  return s;
}

Stream DistinctStringsStream(std::uint64_t count) {
  Stream s;
  const std::uint32_t root = s.Intern("root"), item = s.Intern("item"), v = s.Intern("v");
  s.Start(root, {});
  for (std::uint64_t i = 0; i < count; ++i) {
    s.Start(item, {{v, s.Intern("value-" + std::to_string(i * 7919 % count))}});
    s.End(item);
  }
  s.End(root);
  return s;
}

Stream DeepStream(std::uint64_t depth) {
  Stream s;
  const std::uint32_t d = s.Intern("d");
  for (std::uint64_t i = 0; i < depth; ++i) s.Start(d, {});
  for (std::uint64_t i = 0; i < depth; ++i) s.End(d);
  return s;
}

Stream WideStream(std::uint64_t count) {
  Stream s;
  const std::uint32_t root = s.Intern("root"), child = s.Intern("child");
  s.Start(root, {});
  for (std::uint64_t i = 0; i < count; ++i) {
    s.Start(child, {});
    s.End(child);
  }
  s.End(root);
  return s;
}

}  // namespace oxa::bench
