// One XML compiler object in-process, with the reference host's expat
// parser behind its context, for the fuzz targets and the tests of what
// reads a compile's results. Any failure to set it up aborts.
#pragma once

#include <cstdint>
#include <cstdlib>

#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/host_objects.h>
#include <xmlcompiler/host/plugin_host.h>
#include "compiler/xml_compiler.h"

namespace oxa::fuzzing {

struct CompilerFixture {
  CompilerFixture() {
    factory = host::ClassFactory::Create(&host::ExpatParser::Make);
    context = host::HostContext::Create(factory.Get());
    IUnknown* unknown = nullptr;
    if (XmlCompiler::CreateComponent(nullptr, &unknown) != kOk) std::abort();
    object.Attach(unknown);
    ComPtr<IContextAware> aware;
    if (object.QueryTo(aware) != kOk || object.QueryTo(compiler) != kOk ||
        object.QueryTo(diagnostics) != kOk)
      std::abort();
    if (aware->SetContext(context.Get()) != kOk) std::abort();
  }
  ComPtr<host::ClassFactory> factory;
  ComPtr<host::HostContext> context;
  ComPtr<IUnknown> object;
  ComPtr<IXmlCompiler> compiler;
  ComPtr<IXmlCompilerDiagnostics> diagnostics;
};

// The compile of `size` bytes at `data` as a host session reports it.
inline host::CompilerSession::Result Compile(CompilerFixture& fixture, const std::uint8_t* data,
                                             std::size_t size) {
  host::CompilerSession::Result result;
  ComPtr<host::HostBuffer> input = host::HostBuffer::Create();
  input->Bytes().assign(data, data + size);
  result.hr = fixture.compiler->Compile(input.Get(), result.output.Put());
  result.parse = fixture.factory->LastParse();
  result.input = ComPtr<IBuffer>(input.Get());
  std::uint32_t count = 0;
  if (fixture.diagnostics->GetFindingCount(&count) != kOk) std::abort();
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t kind, element, related;
    const char* text = nullptr;
    const char* other = nullptr;
    if (fixture.diagnostics->GetFinding(i, &kind, &element, &related, &text, &other) != kOk)
      std::abort();
    result.findings.push_back({static_cast<FindingKind>(kind), element, related, text, other});
  }
  return result;
}

}  // namespace oxa::fuzzing
