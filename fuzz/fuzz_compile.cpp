// Arbitrary bytes through the reference host's expat parser into the
// compiler. Whatever the input, the compile returns a result code, and every
// document it hands out must pass the strict decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "compiled_document.h"
#include "compiler/xml_compiler.h"
#include "host/expat_parser.h"
#include "host/host_objects.h"

namespace {

struct Fixture {
  Fixture() {
    factory = oxa::host::ClassFactory::Create(&oxa::host::ExpatParser::Make);
    context = oxa::host::HostContext::Create(factory.Get());
    oxa::IUnknown* unknown = nullptr;
    if (oxa::XmlCompiler::CreateComponent(nullptr, &unknown) != oxa::kOk) std::abort();
    object.Attach(unknown);
    oxa::ComPtr<oxa::IContextAware> aware;
    if (object.QueryTo(aware) != oxa::kOk || object.QueryTo(compiler) != oxa::kOk) std::abort();
    if (aware->SetContext(context.Get()) != oxa::kOk) std::abort();
  }
  oxa::ComPtr<oxa::host::ClassFactory> factory;
  oxa::ComPtr<oxa::host::HostContext> context;
  oxa::ComPtr<oxa::IUnknown> object;
  oxa::ComPtr<oxa::IXmlCompiler> compiler;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One compiler for the whole run: state must not leak from one compile to the next.
  static Fixture* fixture = new Fixture();
  oxa::ComPtr<oxa::host::HostBuffer> input = oxa::host::HostBuffer::Create();
  input->Bytes().assign(data, data + size);
  oxa::ComPtr<oxa::IBuffer> output;
  const oxa::HResult hr = fixture->compiler->Compile(input.Get(), output.Put());
  if (oxa::Succeeded(hr) != static_cast<bool>(output)) std::abort();
  if (output) {
    oxa::tools::DecodedDocument doc;
    oxa::tools::DecodeError error;
    if (!oxa::tools::Decode(output->GetBuffer(), output->GetSize(), &doc, &error)) std::abort();
  }
  return 0;
}
