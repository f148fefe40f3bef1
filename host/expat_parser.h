// ExpatParser: the reference host's XML parser, on expat. It offers
// IXmlParser and IXmlNamespaceParser; in namespace mode an element of a
// namespace reaches the response as URI, separator, local name.
//
// The document's own encoding is detected as XML says (byte order mark or
// declaration: UTF-8, UTF-16, ISO-8859-1, US-ASCII); texts are delivered in
// UTF-8. No external entity is ever loaded, and expat's protection against
// entity amplification stays on. Each start element delivers its attributes
// (defaulted ones included) as string properties of one property set that is
// reused from element to element; the two numbers are line and column.
#pragma once

#include <expat.h>

#include "com/com_ptr.h"
#include "host/host_objects.h"

namespace oxa::host {

class ExpatParser final : public ParserObject<ExpatParser> {
 public:
  // A new parser with one reference that reports failures into `report`
  // (which must outlive it).
  static ComPtr<ExpatParser> Create(ParseReport* report);
  // The ParserMaker of the reference host's class factory.
  static IXmlParser* Make(ParseReport* report) { return Create(report).Detach(); }

  // Only "UTF-8" is accepted as the encoding of the texts delivered (0x80070057 otherwise).
  HResult OXA_CALL Prepare(IXmlParserResponse* response, const char* encoding,
                           std::uint32_t flags) override;
  // Parses `data`; more calls may follow until one with `final` 1. Returns
  // 0x8007000D for a malformed document (its message, line and column go to
  // the report), 0x8007000E when memory runs out, 0x80004005 before Prepare.
  HResult OXA_CALL Feed(IBuffer* data, std::uint32_t final) override;
  HResult OXA_CALL Prepare(IXmlParserResponse* response, IXmlNamespaceResponse* namespaceResponse,
                           const char* encoding, char separator) override;

 private:
  friend class RefCounted<ExpatParser>;
  explicit ExpatParser(ParseReport* report) : report_(report) {}
  ~ExpatParser();
  HResult Start(IXmlParserResponse* response, IXmlNamespaceResponse* namespaceResponse,
                const char* encoding, bool namespaces, char separator);
  void Fail(const char* message, std::uint32_t line, std::uint32_t column);

  static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes);
  static void XMLCALL OnEnd(void* self, const XML_Char* name);

  ParseReport* report_;
  XML_Parser parser_ = nullptr;
  ComPtr<IXmlParserResponse> response_;
  ComPtr<IXmlNamespaceResponse> namespaceResponse_;
  ComPtr<PropertySet> attributes_;
  bool namespaces_ = false;
  char separator_ = 0;
};

}  // namespace oxa::host
