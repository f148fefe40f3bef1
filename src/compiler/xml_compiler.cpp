// XmlCompiler: the compile driver and the context.
#include "compiler/xml_compiler.h"

namespace oxa {
namespace {

constexpr const InterfaceEntry* kInterfaces =
    FrameInterfaces<XmlCompiler, IXmlParserResponse, IXmlNamespaceResponse, IXmlCompiler,
                    IContextAware, IXmlCompilerDiagnostics>;

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
  HostObjects host;  // released last, in its declared order
  HResult hr = Guarded([&] { return ComposeDocument(input, host); });
  // The tree, the census and their indexes are freed before the host buffer
  // for the output is made and filled, so that it can reuse their memory;
  // the host sees no call of this.
  builder_.Reset();
  if (Succeeded(hr)) hr = Guarded([&] { return HandOverDocument(host, out); });
  if (hr == kOutOfMemory) builder_.NoteOutOfMemory();
  writer_.Rewind();
  compiling_ = false;
  return hr;
}

HResult XmlCompiler::ComposeDocument(IBuffer* input, HostObjects& host) {
  RETURN_IF_FAILED(CreateHostObject(classFactory_.Get(), kClsidXmlParser, host.parser));
  host.parser.QueryTo(host.namespaceParser);  // optional

  if (host.namespaceParser) {
    host.namespaceParser->Prepare(static_cast<IXmlParserResponse*>(this),
                                  static_cast<IXmlNamespaceResponse*>(this), kEncoding, kSeparator);
  } else {
    host.parser->Prepare(static_cast<IXmlParserResponse*>(this), kEncoding, 0);
  }

  HResult fed;
  {
    const ComPtr<IXmlParser> held(host.parser.Get());  // kept alive for the length of the call
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

HResult XmlCompiler::HandOverDocument(HostObjects& host, IBuffer** out) {
  RETURN_IF_FAILED(CreateHostObject(classFactory_.Get(), kClsidBuffer, host.output));
  RETURN_IF_FAILED(writer_.HandOver(host.output.Get()));
  host.output->AddRef();  // the caller's reference; the compiler's own goes with `host`
  *out = host.output.Get();
  return kOk;
}

}  // namespace oxa
