// A C++17 host: loads the module through the package, compiles a document
// with it, and reads back the layouts the build compiled, printing each
// one's root element (tests/install/consumer.expected, on every system).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <xmlcompiler/format/document_reader.h>
#include <xmlcompiler/host/plugin_host.h>

static_assert(__cplusplus >= 202002L, "the package's targets carry C++20");

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "consumer: %s\n", what.c_str());
  return 1;
}

std::vector<char> Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int, char** argv) {
  // The module oxa_deploy_plugin put beside the program, in the system's spelling.
#ifdef _WIN32
  const std::string beside = "\\deva3201.dll";
  const std::string foreign = "/";
#else
  const std::string beside = "/deva3201.so";
  const std::string foreign = "\\";
#endif
  const std::string plugin = oxa::host::DefaultPluginPath(argv[0]);
  if (plugin.size() < beside.size() ||
      plugin.compare(plugin.size() - beside.size(), beside.size(), beside) != 0 ||
      plugin.find(foreign) != std::string::npos)
    return Fail("the default lookup gives " + plugin);
  std::string error;
  auto host = oxa::host::PluginHost::Load(plugin, &error);
  if (!host) return Fail(error);
  std::unique_ptr<oxa::host::CompilerSession> session;
  if (oxa::Failed(host->CreateSession(&session))) return Fail("no compiler session");
  const auto result = session->Compile({'<', 'r', '/', '>'});
  if (result.hr != 0 || result.Size() != 74) return Fail("<r/> did not compile to 74 bytes");

  const std::vector<char> bytes = Read(std::string(LAYOUTS) + "/player.xmlc");
  oxa::reader::Document doc;
  oxa::reader::ReadError fault;
  if (!oxa::reader::Document::Open(bytes.data(), bytes.size(), &doc, &fault))
    return Fail("player.xmlc: offset " + std::to_string(fault.offset) + ": " + fault.what);
  const oxa::reader::Element root = doc.Root();
  std::string_view title;
  if (root.Name() != "player" || !root.FindAttribute("title", &title) || title != "Nocturne")
    return Fail("player.xmlc: unexpected root");
  std::string buttons;
  for (const oxa::reader::Element& e : doc.Elements()) {
    std::string_view id;
    if (e.Name() == "button" && e.FindAttribute("id", &id)) buttons += std::string(id) + " ";
  }
  // The transport layout, and its copy where insertlayout stood.
  if (buttons != "play next play next ") return Fail("player.xmlc: buttons " + buttons);
  std::printf("player.xmlc: root <%s>, %u elements\n", std::string(root.Name()).c_str(),
              doc.ElementCount());

  const std::vector<char> settings = Read(std::string(LAYOUTS) + "/settings.layout.xmlc");
  if (!oxa::reader::Document::Open(settings.data(), settings.size(), &doc, &fault))
    return Fail(std::string("settings.layout.xmlc: ") + fault.what);
  std::printf("settings.layout.xmlc: root <%s>, %u elements\n",
              std::string(doc.Root().Name()).c_str(), doc.ElementCount());
  return 0;
}
