// A host in a few lines: loads the xmlcompiler module from beside the
// program, compiles the layout named on the command line in-process, and
// checks the compiled document with the reader. The same source builds on
// Linux and, with MinGW-w64, on Windows (docs/hosting.md).
//
//   compile_layout LAYOUT.xml
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <xmlcompiler/format/document_reader.h>
#include <xmlcompiler/host/plugin_host.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: compile_layout LAYOUT.xml\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::uint8_t> layout{std::istreambuf_iterator<char>(in), {}};
  if (!in.good() && !in.eof()) {
    std::fprintf(stderr, "compile_layout: cannot read %s\n", argv[1]);
    return 1;
  }

  // deva3201.dll (deva3201.so) beside the program: oxa_deploy_plugin put it there.
  std::string error;
  const auto host = oxa::host::PluginHost::Load(oxa::host::DefaultPluginPath(argv[0]), &error);
  if (!host) {
    std::fprintf(stderr, "compile_layout: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<oxa::host::CompilerSession> session;
  if (oxa::Failed(host->CreateSession(&session))) {
    std::fprintf(stderr, "compile_layout: no compiler session\n");
    return 1;
  }
  const oxa::host::CompilerSession::Result result = session->Compile(std::move(layout));
  if (oxa::Failed(result.hr)) {
    std::fprintf(stderr, "compile_layout: %s: %s at %u:%u\n", argv[1],
                 result.parse.failed ? result.parse.message.c_str() : "the compile failed",
                 result.parse.line, result.parse.column);
    return 1;
  }

  oxa::reader::Document doc;
  oxa::reader::ReadError fault;
  if (!oxa::reader::Document::Open(result.Data(), result.Size(), &doc, &fault)) {
    std::fprintf(stderr, "compile_layout: offset %llu: %s\n",
                 static_cast<unsigned long long>(fault.offset), fault.what);
    return 1;
  }
  std::printf("%s: %zu bytes, root <%s>, %u elements\n", argv[1], result.Size(),
              std::string(doc.Root().Name()).c_str(), doc.ElementCount());
  return 0;
}
