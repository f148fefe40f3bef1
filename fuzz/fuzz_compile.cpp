// Arbitrary bytes through the reference host's expat parser into the
// compiler. Whatever the input, the compile returns a result code, every
// document it hands out must pass the strict decoder, and its bytes (up to
// a megabyte) must equal those written with every string index looked up in
// the census instead of read from the builder's index log; its dump as XML must
// compile back to the same bytes (or be refused by the parser); its findings must read back whole,
// and a failure must have its cause among them unless the parse itself failed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/host_objects.h>
#include "com/simple_buffer.h"
#include "compiler/document_writer.h"
#include "compiler/xml_compiler.h"
#include "dump/compiled_document.h"
#include "host/parse_into.h"
#include "support/compiler_fixture.h"
#include "support/lookup_writer.h"

namespace {

using Fixture = oxa::fuzzing::CompilerFixture;

constexpr std::uint32_t kLookupCheckLimit = 1 << 20;

// The compiled document of `input` from a builder of its own, written
// without the index log; empty when the compile fails.
std::vector<std::uint8_t> ByLookup(oxa::IBuffer* input) {
  oxa::TreeBuilder builder;
  if (oxa::Failed(oxa::host::ParseInto(builder, input, oxa::host::ExpatParser::Positions::Report)))
    return {};
  builder.FinishParse();
  if (oxa::Failed(builder.Failure()) || builder.Root() == nullptr) return {};
  oxa::ComPtr<oxa::IBuffer> out(oxa::SimpleBuffer::Create());
  oxa::DocumentWriter writer;
  if (oxa::Failed(
          oxa::testing::WriteByLookup(writer, builder.Root(), builder.GetCensus(), out.Get())))
    return {};
  return std::vector<std::uint8_t>(out->GetBuffer(), out->GetBuffer() + out->GetSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One compiler for the whole run: state must not leak from one compile to the next.
  static Fixture* fixture = new Fixture();
  oxa::ComPtr<oxa::host::HostBuffer> input = oxa::host::HostBuffer::Create();
  input->Bytes().assign(data, data + size);
  oxa::ComPtr<oxa::IBuffer> output;
  const oxa::HResult hr = fixture->compiler->Compile(input.Get(), output.Put());
  if (oxa::Succeeded(hr) != static_cast<bool>(output)) std::abort();
  // Every finding reads back whole; a failure has its cause unless the parse failed.
  std::uint32_t count = 0;
  if (fixture->diagnostics->GetFindingCount(&count) != oxa::kOk) std::abort();
  bool explained = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t kind, element, related;
    const char* text = nullptr;
    const char* other = nullptr;
    if (fixture->diagnostics->GetFinding(i, &kind, &element, &related, &text, &other) != oxa::kOk ||
        text == nullptr || other == nullptr || std::strlen(text) > 256 || element > size ||
        related > size)
      std::abort();
    explained = explained || kind >= 16;
    if (kind >= 16 && oxa::Succeeded(hr)) std::abort();  // errors only explain failures
  }
  if (oxa::Failed(hr) && !explained && !fixture->factory->LastParse().failed) std::abort();
  if (output) {
    oxa::reader::Document doc;
    if (!oxa::reader::Document::Open(output->GetBuffer(), output->GetSize(), &doc, nullptr))
      std::abort();
    // Large outputs (layouts copied up to the expansion bound) only repeat
    // what small ones exercise; checking them too would double the slowest
    // inputs' time.
    if (output->GetSize() <= kLookupCheckLimit) {
      const std::vector<std::uint8_t> bytes(output->GetBuffer(),
                                            output->GetBuffer() + output->GetSize());
      if (ByLookup(input.Get()) != bytes) std::abort();
      // The dump as XML compiles back to the same bytes.
      std::ostringstream xml;
      std::string error;
      if (!oxa::tools::WriteXml(doc, xml, &error)) std::abort();
      oxa::ComPtr<oxa::host::HostBuffer> again = oxa::host::HostBuffer::Create();
      const std::string text = xml.str();
      again->Bytes().assign(text.begin(), text.end());
      oxa::ComPtr<oxa::IBuffer> recompiled;
      // expat takes some Latin-1 letters (ª, µ, º) as name characters in
      // UTF-16 and ISO-8859-1 input but not in UTF-8, which the dump
      // writes: only the parser may refuse the dump, never the compiler.
      if (oxa::Failed(fixture->compiler->Compile(again.Get(), recompiled.Put()))) {
        if (!fixture->factory->LastParse().failed) std::abort();
      } else if (recompiled->GetSize() != bytes.size() ||
                 !std::equal(bytes.begin(), bytes.end(), recompiled->GetBuffer())) {
        std::abort();
      }
    }
  }
  return 0;
}
