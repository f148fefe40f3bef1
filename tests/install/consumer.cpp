// Loads the installed plug-in through the installed host and compiles <r/>.
#include <cstdio>
#include <string>

#include "host/plugin_host.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string error;
  auto host = oxa::host::PluginHost::Load(argv[1], &error);
  if (!host) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<oxa::host::CompilerSession> session;
  if (oxa::Failed(host->CreateSession(&session))) return 1;
  const auto result = session->Compile({'<', 'r', '/', '>'});
  std::printf("%zu\n", result.Size());
  return result.hr == 0 && result.Size() == 74 ? 0 : 1;
}
