// The compiler the fuzz targets drive: one XML compiler object in-process,
// with the reference host's expat parser behind its context. Built once per
// run; any failure to set it up aborts.
#pragma once

#include <cstdlib>

#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/host_objects.h>
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

}  // namespace oxa::fuzzing
