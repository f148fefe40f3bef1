// XmlCompiler: the compile driver and the context.
#include "compiler/xml_compiler.h"

namespace oxa {
namespace {

constexpr InterfaceEntry kInterfaces[] = {
    {&kIidXmlParserResponse, &InterfaceOf<XmlCompiler, IXmlParserResponse>},
    {&kIidXmlNamespaceResponse, &InterfaceOf<XmlCompiler, IXmlNamespaceResponse>},
    {&kIidXmlCompiler, &InterfaceOf<XmlCompiler, IXmlCompiler>},
    {&kIidContextAware, &InterfaceOf<XmlCompiler, IContextAware>},
    {&kIidXmlCompilerDiagnostics, &InterfaceOf<XmlCompiler, IXmlCompilerDiagnostics>},
    {nullptr, nullptr}};

constexpr char kEncoding[] = "UTF-8";
constexpr char kSeparator = ':';

// Creates an object of `classId` through the factory and queries it for I.
template <class I>
HResult CreateHostObject(ICommonClassFactory* factory, const Guid& classId, ComPtr<I>& out) {
  ComPtr<IUnknown> object;
  RETURN_IF_FAILED(factory->CreateInstance(classId, object.Put()));
  RETURN_HR_IF_NULL(kFail, object);
  RETURN_IF_FAILED(object.QueryTo(out));
  RETURN_HR_IF_NULL(kFail, out);
  return kOk;
}

}  // namespace

HResult XmlCompiler::InternalQueryInterface(const Guid& iid, void** out) {
  return QueryFromTable(kInterfaces, iid, out);
}

HResult OXA_CALL XmlCompiler::StartElement(const char* name, IValues* attributes, std::uint32_t,
                                           std::uint32_t) {
  builder_.StartElement(name, attributes);
  return kOk;
}

HResult OXA_CALL XmlCompiler::EndElement(const char* name, std::uint32_t, std::uint32_t) {
  builder_.EndElement(name);
  return kOk;
}

HResult OXA_CALL XmlCompiler::SetContext(IUnknown* context) {
  if (static_cast<void*>(context) != static_cast<void*>(classFactory_.Get())) {
    ComPtr<ICommonClassFactory> fresh;
    if (context != nullptr) context->QueryInterface(kIidCommonClassFactory, fresh.PutVoid());
    classFactory_.Swap(fresh);  // the previous factory is released with `fresh`
  }
  return classFactory_ ? kOk : kFail;
}

HResult OXA_CALL XmlCompiler::Compile(IBuffer* input, IBuffer** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  *out = nullptr;
  RETURN_HR_IF_NULL(kInvalidArg, input);
  RETURN_HR_IF_NULL(kFail, classFactory_);
  RETURN_HR_IF(kFail, compiling_);
  compiling_ = true;
  builder_.ClearFindings();
  HResult hr = Guarded([&] { return ComposeDocument(input); });
  // The tree, the census and their indexes are freed before the host buffer
  // for the output is made and filled, so that it can reuse their memory.
  builder_.Reset();
  if (Succeeded(hr)) hr = Guarded([&] { return HandOverDocument(out); });
  if (hr == kOutOfMemory) builder_.NoteOutOfMemory();
  writer_.Rewind();
  compiling_ = false;
  return hr;
}

HResult XmlCompiler::ComposeDocument(IBuffer* input) {
  ComPtr<IXmlParser> parser;
  RETURN_IF_FAILED(CreateHostObject(classFactory_.Get(), kClsidXmlParser, parser));
  ComPtr<IXmlNamespaceParser> namespaceParser;
  parser.QueryTo(namespaceParser);  // optional

  if (namespaceParser) {
    namespaceParser->Prepare(static_cast<IXmlParserResponse*>(this),
                             static_cast<IXmlNamespaceResponse*>(this), kEncoding, kSeparator);
  } else {
    parser->Prepare(static_cast<IXmlParserResponse*>(this), kEncoding, 0);
  }

  HResult fed;
  {
    const ComPtr<IXmlParser> held(parser.Get());  // kept alive for the length of the call
    fed = held->Feed(input, 1);
  }
  RETURN_IF_FAILED(fed);
  builder_.FinishParse();
  RETURN_IF_FAILED(builder_.Failure());
  if (builder_.Root() == nullptr) {
    builder_.NoteNoRoot();
    return kFail;
  }
  return writer_.Compose(builder_.Root(), builder_.GetCensus(), builder_.GetIndexLog());
}

HResult OXA_CALL XmlCompiler::GetFindingCount(std::uint32_t* count) {
  RETURN_HR_IF_NULL(kNullPointer, count);
  *count = static_cast<std::uint32_t>(builder_.GetFindings().List().size());
  return kOk;
}

HResult OXA_CALL XmlCompiler::GetFinding(std::uint32_t index, std::uint32_t* kind,
                                         std::uint32_t* element, std::uint32_t* related,
                                         const char** text, const char** other) {
  RETURN_HR_IF(kNullPointer, kind == nullptr || element == nullptr || related == nullptr ||
                                 text == nullptr || other == nullptr);
  const std::vector<Finding>& list = builder_.GetFindings().List();
  RETURN_HR_IF(kInvalidArg, index >= list.size());
  const Finding& f = list[index];
  *kind = static_cast<std::uint32_t>(f.kind);
  *element = f.element;
  *related = f.related;
  *text = f.text.c_str();
  *other = f.other.c_str();
  return kOk;
}

HResult XmlCompiler::HandOverDocument(IBuffer** out) {
  ComPtr<IBuffer> buffer;
  RETURN_IF_FAILED(CreateHostObject(classFactory_.Get(), kClsidBuffer, buffer));
  RETURN_IF_FAILED(writer_.HandOver(buffer.Get()));
  *out = buffer.Detach();
  return kOk;
}

}  // namespace oxa
