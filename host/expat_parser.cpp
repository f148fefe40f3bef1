// ExpatParser: expat's callbacks turned into the response interface's.
#include <xmlcompiler/host/expat_parser.h>

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <xmlcompiler/com/boundary.h>
#include <xmlcompiler/host/legacy_encoding.h>

namespace oxa::host {
namespace {

// A parser set up as every parse of a document is, so that a second parse
// sees the same events as the first: namespaces split at `separator` ('\0':
// none), no parameter entities, the legacy encodings through `encodings`.
// Null when memory runs out.
XML_Parser NewParser(char separator, void* user, XML_UnknownEncodingHandler encodings,
                     void* encodingData) {
  const XML_Parser parser =
      separator != '\0' ? XML_ParserCreateNS(nullptr, separator) : XML_ParserCreate(nullptr);
  if (parser == nullptr) return nullptr;
  XML_SetUserData(parser, user);
  XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_SetUnknownEncodingHandler(parser, encodings, encodingData);
  return parser;
}

// Parses `size` bytes in pieces of ExpatParser::kPieceBytes, the last piece
// marked final when `final` is; stops at the first piece expat refuses.
XML_Status ParseInPieces(XML_Parser parser, const char* bytes, std::size_t size, bool final) {
  std::size_t left = size;
  do {
    const int piece =
        static_cast<int>(left > ExpatParser::kPieceBytes ? ExpatParser::kPieceBytes : left);
    const bool last = final && static_cast<std::size_t>(piece) == left;
    if (XML_Parse(parser, bytes, piece, last ? 1 : 0) != XML_STATUS_OK) return XML_STATUS_ERROR;
    bytes += piece;
    left -= static_cast<std::size_t>(piece);
  } while (left != 0);
  return XML_STATUS_OK;
}

struct ScanLog {
  XML_Parser parser;
  DocumentScan* scan;
  bool exhausted;
};

// No exception may cross expat: a failed append stops the parse instead.
template <class Append>
void Logged(void* data, Append append) {
  auto* log = static_cast<ScanLog*>(data);
  try {
    append(*log->scan, log->parser);
  } catch (...) {
    log->exhausted = true;
    XML_StopParser(log->parser, XML_FALSE);
  }
}

void XMLCALL ScanStart(void* data, const XML_Char*, const XML_Char**) {
  Logged(data, [](DocumentScan& scan, XML_Parser parser) {
    scan.starts.push_back({static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser)),
                           static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser) + 1)});
    scan.open.push_back(static_cast<std::uint32_t>(scan.starts.size()));
  });
}

void XMLCALL ScanEnd(void* data, const XML_Char*) {
  Logged(data, [](DocumentScan& scan, XML_Parser parser) {
    if (scan.open.empty()) return;
    scan.ends.push_back({scan.open.back(),
                         {static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser)),
                          static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser) + 1)}});
    scan.open.pop_back();
  });
}

void XMLCALL ScanEntity(void* data, const XML_Char* name, int parameter, const XML_Char*, int,
                        const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
  if (parameter == 0)
    Logged(data, [&](DocumentScan& scan, XML_Parser) { scan.entities.insert(name); });
}

}  // namespace

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

void ExpatParser::Fail(const char* message, std::uint32_t line, std::uint32_t column,
                       std::int32_t xmlError) noexcept {
  report_->failed = true;
  report_->xmlError = xmlError;
  try {
    report_->message = message;
  } catch (const std::bad_alloc&) {
    report_->message.clear();  // the failure stands without its text
  }
  report_->line = line;
  report_->column = column;
}

HResult OXA_CALL ExpatParser::Feed(IBuffer* data, std::uint32_t final) {
  RETURN_HR_IF_NULL(kFail, response_);
  RETURN_HR_IF(kFail, report_->failed);
  if (parser_ == nullptr) {
    // The document's own encoding is detected from its byte order mark or declaration.
    parser_ = NewParser(namespaces_ ? separator_ : '\0', this, &OnUnknownEncoding, this);
    RETURN_HR_IF_NULL(kOutOfMemory, parser_);
    XML_SetElementHandler(parser_, &OnStart, &OnEnd);
    XML_SetXmlDeclHandler(parser_, &OnDeclaration);
    XML_SetCharacterDataHandler(parser_, &OnText);
    inText_ = textSeen_ = false;
    declaredEncoding_.clear();
    singleByteMap_ = false;
    fedBefore_ = 0;
  }
  const char* bytes = data == nullptr ? nullptr : reinterpret_cast<const char*>(data->GetBuffer());
  const std::size_t size = bytes == nullptr ? 0 : data->GetSize();
  if (ParseInPieces(parser_, bytes, size, final != 0) != XML_STATUS_OK) {
    const XML_Error error = XML_GetErrorCode(parser_);
    if (error == XML_ERROR_ABORTED) return kOutOfMemory;  // stopped by a callback, already reported
    const auto line = static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser_));
    const auto column = static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser_) + 1);
    const XML_Index failedAt = XML_GetCurrentByteIndex(parser_);
    if (error != XML_ERROR_INVALID_TOKEN || failedAt < 0 ||
        static_cast<std::uint64_t>(failedAt) < fedBefore_ ||
        !UndefinedByte(bytes, size, static_cast<std::size_t>(failedAt - fedBefore_), line, column))
      Fail(XML_ErrorString(error), line, column, error);
    return error == XML_ERROR_NO_MEMORY ? kOutOfMemory : kInvalidData;
  }
  fedBefore_ += size;
  if (final != 0) {
    XML_ParserFree(parser_);
    parser_ = nullptr;
  }
  return kOk;
}

void XMLCALL ExpatParser::OnDeclaration(void* self, const XML_Char*, const XML_Char* encoding,
                                        int) {
  auto* parser = static_cast<ExpatParser*>(self);
  try {
    if (encoding != nullptr) {
      parser->declaredEncoding_ = encoding;
      parser->report_->encoding = encoding;
    }
  } catch (const std::bad_alloc&) {
    // Only the messages about the document would have used it.
  }
}

int XMLCALL ExpatParser::OnUnknownEncoding(void* self, const XML_Char* name, XML_Encoding* info) {
  auto* parser = static_cast<ExpatParser*>(self);
  const int status = LegacyEncodingHandler(nullptr, name, info);
  if (status == XML_STATUS_OK && info->convert == nullptr) {
    std::copy(info->map, info->map + 256, parser->byteMap_.begin());
    parser->singleByteMap_ = true;
  }
  return status;
}

bool ExpatParser::UndefinedByte(const char* bytes, std::size_t size, std::size_t failedAt,
                                std::uint32_t line, std::uint32_t column) {
  const std::string& name = declaredEncoding_;
  const bool ascii =
      strcasecmp(name.c_str(), "US-ASCII") == 0 || strcasecmp(name.c_str(), "ASCII") == 0;
  if (bytes == nullptr || failedAt >= size || (!singleByteMap_ && !ascii)) return false;
  // The token expat refused starts at `failedAt`; its undefined byte is in it.
  constexpr std::size_t kLookAhead = 4096;
  for (std::size_t at = failedAt; at < size && at - failedAt < kLookAhead; ++at) {
    const auto b = static_cast<unsigned char>(bytes[at]);
    if (b == '\n') {
      ++line;
      column = 1;
      continue;
    }
    const bool undefined = ascii ? b >= 0x80 : byteMap_[b] == -1;
    if (!undefined) {
      ++column;
      continue;
    }
    try {  // the message's strings; on exhausted memory expat's own message stands
      char hex[8];
      std::snprintf(hex, sizeof(hex), "0x%02X", b);
      std::string message = std::string("byte ") + hex + " has no character in " + name +
                            ", the encoding the document declares";
      std::uint32_t codePoint = 0;
      if (const char* superset = SupersetOf(name.c_str());
          superset != nullptr && CharacterOfByte(superset, b, &codePoint)) {
        char character[16];
        std::snprintf(character, sizeof(character), "U+%04X", codePoint);
        message += std::string("; ") + superset + " has one (" + character +
                   "): is the document written in " + superset + "?";
      }
      Fail(message.c_str(), line, column, 0);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return false;
}

std::uint32_t ExpatParser::Line() const noexcept {
  return positions_ ? static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser_)) : 0;
}

std::uint32_t ExpatParser::Column() const noexcept {
  return positions_ ? static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser_) + 1) : 0;
}

void XMLCALL ExpatParser::OnText(void* self, const XML_Char* text, int length) {
  auto* parser = static_cast<ExpatParser*>(self);
  // expat may hand one run over in several pieces: a run counts once.
  if (!parser->inText_) {
    parser->inText_ = true;
    parser->textSeen_ = false;
  }
  if (parser->textSeen_) return;
  for (int i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    parser->textSeen_ = true;
    ParseReport& report = *parser->report_;
    if (report.textRuns++ == 0) {
      // The piece's position, moved on over the white space before the text
      // (columns count characters, as expat's do).
      auto line = static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser->parser_));
      auto column = static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser->parser_));
      for (int j = 0; j < i; ++j) {
        if (text[j] == '\n') {
          ++line;
          column = 0;
        } else if ((static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
          ++column;
        }
      }
      report.textLine = line;
      report.textColumn = column + 1;
    }
    return;
  }
}

void XMLCALL ExpatParser::OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
  auto* parser = static_cast<ExpatParser*>(self);
  parser->inText_ = false;
  AttributeSet* set = parser->attributes_.Get();
  set->Show(attributes);
  parser->response_->StartElement(name, set, parser->Line(), parser->Column());
  set->Clear();
  if (set->Exhausted()) {
    // The response may have missed attributes or a layout id: never a silent loss.
    parser->Fail("out of memory", 0, 0, XML_ERROR_NO_MEMORY);
    XML_StopParser(parser->parser_, XML_FALSE);
  }
}

void XMLCALL ExpatParser::OnEnd(void* self, const XML_Char* name) {
  auto* parser = static_cast<ExpatParser*>(self);
  parser->inText_ = false;
  parser->response_->EndElement(name, parser->Line(), parser->Column());
}

void ScanDocument(const std::uint8_t* document, std::size_t size, DocumentScan* scan) {
  *scan = DocumentScan();
  // Set up as a compile's parser is, so that the events are the same.
  ScanLog log{nullptr, scan, false};
  const XML_Parser parser = NewParser(':', &log, &LegacyEncodingHandler, nullptr);
  if (parser == nullptr) throw std::bad_alloc();
  log.parser = parser;
  XML_SetElementHandler(parser, &ScanStart, &ScanEnd);
  XML_SetEntityDeclHandler(parser, &ScanEntity);
  ParseInPieces(parser, reinterpret_cast<const char*>(document), size, true);
  XML_ParserFree(parser);
  if (log.exhausted) throw std::bad_alloc();
}

}  // namespace oxa::host
