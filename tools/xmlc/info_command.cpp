// xmlc info: loads the plug-in and prints what it says of itself, with the
// versions of xmlc and expat.
#include <expat.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <xmlcompiler/host/plugin_host.h>
#include "platform/platform.h"
#include "xmlc/command_line.h"
#include "xmlc/commands.h"

namespace oxa::xmlc {

extern const char kInfoHelp[] =
    "usage: xmlc info [OPTION]...\n"
    "\n"
    "Loads the plug-in and prints which module file it is, its description, package\n"
    "name, components and namespace, and the versions of xmlc and expat.\n"
    "      --plugin=PATH  the plug-in module (default: deva3201.so, or deva3201.dll\n"
    "                     on Windows, beside xmlc, else in ../lib/xmlcompiler)\n"
    "  -h, --help         show this help\n";

namespace {

namespace fs = std::filesystem;

std::string GuidText(const Guid& g) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

}  // namespace

int Info(const std::vector<std::string>& args, const char* argv0) {
  static const option kLong[] = {{"plugin", required_argument, nullptr, 'P'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  CommandLine line;
  if (const int status = ParseOptions("info", args, "h", kLong, &line)) return status;
  std::string plugin;
  if (line.help) {
    std::cout << kInfoHelp;
    return kExitOk;
  }
  for (const auto& [c, value] : line.options) {
    plugin = value;
  }
  if (!line.operands.empty())
    return Usage("info", "info takes no operand '" + line.operands[0] + "'");
  const std::string path = PluginPath(plugin, argv0);
  auto host = LoadPlugin(path);
  if (!host) return kExitFailed;
  host::PluginDescription d;
  const HResult hr = host->Describe(&d);
  if (Failed(hr)) {
    std::cerr << "xmlc: error: the plug-in cannot describe itself: " << host::ResultText(hr)
              << '\n';
    return kExitFailed;
  }
  std::error_code ec;
  const fs::path module = fs::canonical(platform::PathOf(path), ec);
  std::ostringstream out;
  out << "module:      " << (ec ? path : platform::Utf8Of(module)) << '\n'
      << "description: " << d.description << '\n'
      << "copyright:   " << d.copyright << '\n'
      << "package:     " << d.packageName << '\n'
      << "namespace:   " << d.namespaceUri << '\n';
  for (std::size_t i = 0; i < d.componentClassIds.size(); ++i) {
    out << "component " << i << ": " << GuidText(d.componentClassIds[i]) << '\n';
  }
  out << "xmlc:        " << kVersion << '\n' << "expat:       " << XML_ExpatVersion() << '\n';
  return WriteOutput("", out.str());
}

}  // namespace oxa::xmlc
