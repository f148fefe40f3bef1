// ExpatParser: expat's callbacks turned into the response interface's.
#include "host/expat_parser.h"

#include <strings.h>

#include <cstring>

#include "com/boundary.h"
#include "host/iconv_encoding.h"

namespace oxa::host {

ComPtr<ExpatParser> ExpatParser::Create(ParseReport* report, Positions positions) {
  return ComPtr<ExpatParser>(new ExpatParser(report, positions == Positions::Report));
}

ExpatParser::~ExpatParser() {
  if (parser_ != nullptr) XML_ParserFree(parser_);
}

HResult OXA_CALL ExpatParser::Prepare(IXmlParserResponse* response, const char* encoding,
                                      std::uint32_t) {
  return Start(response, nullptr, encoding, false, 0);
}

HResult OXA_CALL ExpatParser::Prepare(IXmlParserResponse* response,
                                      IXmlNamespaceResponse* namespaceResponse,
                                      const char* encoding, char separator) {
  return Start(response, namespaceResponse, encoding, true, separator);
}

HResult ExpatParser::Start(IXmlParserResponse* response, IXmlNamespaceResponse* namespaceResponse,
                           const char* encoding, bool namespaces, char separator) {
  RETURN_HR_IF_NULL(kNullPointer, response);
  RETURN_HR_IF(kInvalidArg, encoding == nullptr || strcasecmp(encoding, "UTF-8") != 0);
  RETURN_HR_IF(kInvalidArg, namespaces && separator == '\0');
  *report_ = ParseReport();
  if (parser_ != nullptr) {
    XML_ParserFree(parser_);
    parser_ = nullptr;
  }
  return Guarded([&] {
    if (!attributes_) attributes_ = AttributeSet::Create();
    response_ = ComPtr<IXmlParserResponse>(response);
    namespaceResponse_ = ComPtr<IXmlNamespaceResponse>(namespaceResponse);
    namespaces_ = namespaces;
    separator_ = separator;
    return kOk;
  });
}

void ExpatParser::Fail(const char* message, std::uint32_t line, std::uint32_t column) {
  report_->failed = true;
  report_->message = message;
  report_->line = line;
  report_->column = column;
}

HResult OXA_CALL ExpatParser::Feed(IBuffer* data, std::uint32_t final) {
  RETURN_HR_IF_NULL(kFail, response_);
  RETURN_HR_IF(kFail, report_->failed);
  if (parser_ == nullptr) {
    // The document's own encoding is detected from its byte order mark or declaration.
    parser_ = namespaces_ ? XML_ParserCreateNS(nullptr, separator_) : XML_ParserCreate(nullptr);
    RETURN_HR_IF_NULL(kOutOfMemory, parser_);
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &OnStart, &OnEnd);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUnknownEncodingHandler(parser_, &IconvEncodingHandler, nullptr);
  }
  const char* bytes = data == nullptr ? nullptr : reinterpret_cast<const char*>(data->GetBuffer());
  std::size_t left = bytes == nullptr ? 0 : data->GetSize();
  do {
    const int chunk = static_cast<int>(left > kPieceBytes ? kPieceBytes : left);
    const bool last = final != 0 && static_cast<std::size_t>(chunk) == left;
    if (XML_Parse(parser_, bytes, chunk, last ? 1 : 0) != XML_STATUS_OK) {
      const XML_Error error = XML_GetErrorCode(parser_);
      if (error == XML_ERROR_ABORTED)
        return kOutOfMemory;  // stopped by a callback, already reported
      Fail(XML_ErrorString(error), static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser_)),
           static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser_) + 1));
      return error == XML_ERROR_NO_MEMORY ? kOutOfMemory : kInvalidData;
    }
    bytes += chunk;
    left -= static_cast<std::size_t>(chunk);
  } while (left != 0);
  if (final != 0) {
    XML_ParserFree(parser_);
    parser_ = nullptr;
  }
  return kOk;
}

std::uint32_t ExpatParser::Line() const noexcept {
  return positions_ ? static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser_)) : 0;
}

std::uint32_t ExpatParser::Column() const noexcept {
  return positions_ ? static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser_) + 1) : 0;
}

void XMLCALL ExpatParser::OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
  auto* parser = static_cast<ExpatParser*>(self);
  AttributeSet* set = parser->attributes_.Get();
  set->Show(attributes);
  parser->response_->StartElement(name, set, parser->Line(), parser->Column());
  set->Clear();
  if (set->Exhausted()) {
    // The response may have missed attributes or a layout id: never a silent loss.
    parser->Fail("out of memory", 0, 0);
    XML_StopParser(parser->parser_, XML_FALSE);
  }
}

void XMLCALL ExpatParser::OnEnd(void* self, const XML_Char* name) {
  auto* parser = static_cast<ExpatParser*>(self);
  parser->response_->EndElement(name, parser->Line(), parser->Column());
}

}  // namespace oxa::host
