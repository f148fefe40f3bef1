// XmlCompiler: the library's one component. The host gives it a context
// (for the class factory), then calls Compile with an XML layout document;
// the compiler drives the host's parser, builds the tree from the parser's
// callbacks and returns the compiled document in a new host buffer.
#pragma once

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/host.h>
#include <xmlcompiler/com/plugin_interfaces.h>
#include "com/object_frame.h"
#include "compiler/document_writer.h"
#include "compiler/tree_builder.h"

namespace oxa {

// Interface positions: IXmlParserResponse, IXmlNamespaceResponse (both
// through ParserResponseDefaults), IXmlCompiler, IContextAware, and last the
// project's own IXmlCompilerDiagnostics.
class XmlCompiler final : public ObjectWith<ParserResponseDefaults, IXmlCompiler, IContextAware,
                                            IXmlCompilerDiagnostics> {
 public:
  XmlCompiler() = default;

  HResult InternalQueryInterface(const Guid& iid, void** out) override;

  // IXmlParserResponse: the element events build the tree; the others, and the
  // namespace callbacks, are ParserResponseDefaults'.
  HResult OXA_CALL StartElement(const char* name, IValues* attributes, std::uint32_t line,
                                std::uint32_t column) override;
  HResult OXA_CALL EndElement(const char* name, std::uint32_t line, std::uint32_t column) override;

  // IXmlCompiler. Returns 0 with the compiled document in `out`, or a
  // failure with `out` null: 0x80004003 null `out`; 0x80070057 null input;
  // 0x80004005 without a class factory, when entered again while compiling,
  // or for a document without a root element; the parser's negative Feed
  // result for malformed input; 0x8007000E when memory runs out or layout
  // expansion exceeds its bound; 0x80070057 for a text or document over the
  // format's limits; a host object's failure as it reports it. The compiler
  // is ready for the next Compile afterwards in every case.
  HResult OXA_CALL Compile(IBuffer* input, IBuffer** out) override;

  // IContextAware: 0 when the compiler holds a class factory afterwards.
  HResult OXA_CALL SetContext(IUnknown* context) override;

  // IXmlCompilerDiagnostics: the findings of the last Compile.
  HResult OXA_CALL GetFindingCount(std::uint32_t* count) override;
  HResult OXA_CALL GetFinding(std::uint32_t index, std::uint32_t* kind, std::uint32_t* element,
                              std::uint32_t* related, const char** text,
                              const char** other) override;

  static HResult OXA_CALL CreateComponent(IUnknown* outer, IUnknown** out) {
    return ObjectFrame::CreateComponent<XmlCompiler>(outer, out);
  }

  const TreeBuilder& Builder() const noexcept { return builder_; }

 private:
  // The host's objects of one compile. Declared in this order so that they
  // are released in the order the framework expects: the output buffer, the
  // namespace parser, the parser.
  struct HostObjects {
    ComPtr<IXmlParser> parser;
    ComPtr<IXmlNamespaceParser> namespaceParser;
    ComPtr<IBuffer> output;
  };
  // Creates and prepares the parser into `host`, parses `input` into the
  // tree and writes the document into the writer.
  HResult ComposeDocument(IBuffer* input, HostObjects& host);
  // Creates the output buffer into `host`, copies the written document into
  // it and stores it in `out` with a reference of the caller's.
  HResult HandOverDocument(HostObjects& host, IBuffer** out);

  ComPtr<ICommonClassFactory> classFactory_;
  TreeBuilder builder_;
  DocumentWriter writer_;
  bool compiling_ = false;
};

}  // namespace oxa
