// Arbitrary bytes through the reference host's expat parser into the
// compiler. Whatever the input, the compile returns a result code, every
// document it hands out must pass the strict decoder, and its bytes must
// equal those written with every string index looked up in the census
// instead of read from the builder's id log.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <vector>

#include "base/simple_buffer.h"
#include "compiled_document.h"
#include "compiler/document_writer.h"
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

// Builds the tree of a document with a builder of its own and writes it
// without the id log.
class ByLookup final : public oxa::ParserResponseDefaults {
 public:
  explicit ByLookup(oxa::IBuffer* input) {
    oxa::host::ParseReport report;
    auto parser = oxa::host::ExpatParser::Create(&report);
    parser->Prepare(this, this, "UTF-8", ':');
    if (oxa::Failed(parser->Feed(input, 1))) return;
    builder_.FinishParse();
    if (oxa::Failed(builder_.Failure()) || builder_.Root() == nullptr) return;
    oxa::ComPtr<oxa::IBuffer> out(oxa::SimpleBuffer::Create());
    oxa::DocumentWriter writer;
    if (oxa::Failed(writer.WriteDocument(builder_.Root(), builder_.GetCensus(), out.Get()))) return;
    bytes.assign(out->GetBuffer(), out->GetBuffer() + out->GetSize());
  }
  oxa::HResult OXA_CALL QueryInterface(const oxa::Guid&, void** out) override {
    *out = nullptr;
    return oxa::kNoInterface;
  }
  std::uint32_t OXA_CALL AddRef() override { return 2; }
  std::uint32_t OXA_CALL Release() override { return 1; }
  oxa::HResult OXA_CALL StartElement(const char* name, oxa::IValues* attributes, std::uint32_t,
                                     std::uint32_t) override {
    builder_.StartElement(name, attributes);
    return oxa::kOk;
  }
  oxa::HResult OXA_CALL EndElement(const char* name, std::uint32_t, std::uint32_t) override {
    builder_.EndElement(name);
    return oxa::kOk;
  }

  std::vector<std::uint8_t> bytes;  // empty when the compile failed

 private:
  oxa::TreeBuilder builder_;
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
    const ByLookup again(input.Get());
    if (again.bytes !=
        std::vector<std::uint8_t>(output->GetBuffer(), output->GetBuffer() + output->GetSize())) {
      std::abort();
    }
  }
  return 0;
}
