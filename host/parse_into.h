// ParseInto: the reference host's expat parser driving any element sink
// directly (the compiler's TreeBuilder, for benchmarks and fuzzers), without
// a compiler object around it.
#pragma once

#include <xmlcompiler/com/host.h>
#include <xmlcompiler/host/expat_parser.h>

namespace oxa::host {

// Parses `input` in namespace mode, as a compile does, and hands each start
// and end of an element to `sink`'s StartElement(name, attributes) and
// EndElement(name). Returns Feed's result.
template <class Sink>
HResult ParseInto(Sink& sink, IBuffer* input,
                  ExpatParser::Positions positions = ExpatParser::Positions::Omit) {
  // Lives on the stack for the one parse: not reference counted.
  class Forward final : public ParserResponseDefaults {
   public:
    explicit Forward(Sink& to) : to_(to) {}
    HResult OXA_CALL QueryInterface(const Guid&, void** out) override {
      *out = nullptr;
      return kNoInterface;
    }
    std::uint32_t OXA_CALL AddRef() override { return 2; }
    std::uint32_t OXA_CALL Release() override { return 1; }
    HResult OXA_CALL StartElement(const char* name, IValues* attributes, std::uint32_t,
                                  std::uint32_t) override {
      to_.StartElement(name, attributes);
      return kOk;
    }
    HResult OXA_CALL EndElement(const char* name, std::uint32_t, std::uint32_t) override {
      to_.EndElement(name);
      return kOk;
    }

   private:
    Sink& to_;
  };
  Forward forward(sink);
  ParseReport report;
  ComPtr<ExpatParser> parser = ExpatParser::Create(&report, positions);
  RETURN_IF_FAILED(parser->Prepare(&forward, &forward, "UTF-8", ':'));
  return parser->Feed(input, 1);
}

}  // namespace oxa::host
