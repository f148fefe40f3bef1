// ExpatParser: the reference host's XML parser, on expat. It offers
// IXmlParser and IXmlNamespaceParser; in namespace mode an element of a
// namespace reaches the response as URI, separator, local name.
//
// The document's own encoding is detected as XML says (byte order mark or
// declaration): expat's own UTF-8, UTF-16, ISO-8859-1 and US-ASCII, and
// the single-byte code pages and the double-byte families through
// LegacyEncodingHandler; texts are delivered in UTF-8. No external entity is
// ever loaded, and expat's protection against entity amplification stays on.
// Each start element delivers its attributes (defaulted ones included) as the
// string properties of one AttributeSet, which reads them in place and is
// reused from element to element; the two numbers are line and column, or
// both 0 when positions are omitted.
#pragma once

#include <expat.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/host/host_objects.h>

namespace oxa::host {

class ExpatParser final : public ParserObject<ExpatParser> {
 public:
  // Whether events carry line and column. Finding them makes expat scan every
  // byte once more (about a fifth of the parse); failures are located either way.
  enum class Positions { Report, Omit };

  // A new parser with one reference that reports failures into `report`
  // (which must outlive it).
  static ComPtr<ExpatParser> Create(ParseReport* report, Positions positions = Positions::Report);
  // ParserMakers for a class factory: events with positions, or without them
  // (for responses that ignore them, as the compiler does).
  static IXmlParser* Make(ParseReport* report) { return Create(report).Detach(); }
  static IXmlParser* MakeWithoutPositions(ParseReport* report) {
    return Create(report, Positions::Omit).Detach();
  }

  // expat copies what it is given into a buffer of its own, so Feed hands a
  // document over in pieces of this size, which bounds that copy to about
  // two pieces (the measurements behind the size are in docs/performance.md).
  static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

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
  ExpatParser(ParseReport* report, bool positions) : report_(report), positions_(positions) {}
  ~ExpatParser();
  HResult Start(IXmlParserResponse* response, IXmlNamespaceResponse* namespaceResponse,
                const char* encoding, bool namespaces, char separator);
  // Records the failure (expat's error code, or 0 for a message of the
  // host's own) in the report; never throws (the text may be lost to memory).
  void Fail(const char* message, std::uint32_t line, std::uint32_t column,
            std::int32_t xmlError) noexcept;
  // The position of the current event, or 0 when positions are omitted.
  std::uint32_t Line() const noexcept;
  std::uint32_t Column() const noexcept;

  static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes);
  static void XMLCALL OnEnd(void* self, const XML_Char* name);
  static void XMLCALL OnText(void* self, const XML_Char* text, int length);
  static void XMLCALL OnDeclaration(void* self, const XML_Char* version, const XML_Char* encoding,
                                    int standalone);
  static int XMLCALL OnUnknownEncoding(void* self, const XML_Char* name, XML_Encoding* info);
  // For a malformed document in a declared single-byte encoding: the
  // message, line and column of the first byte from the failure on that the
  // encoding has no character for; false when there is none.
  bool UndefinedByte(const char* bytes, std::size_t size, std::size_t failedAt, std::uint32_t line,
                     std::uint32_t column);

  ParseReport* report_;
  bool positions_;
  XML_Parser parser_ = nullptr;
  ComPtr<IXmlParserResponse> response_;
  ComPtr<IXmlNamespaceResponse> namespaceResponse_;
  ComPtr<AttributeSet> attributes_;
  bool namespaces_ = false;
  char separator_ = 0;
  // The document's declared encoding, and its byte map when the legacy
  // handler read it and it is one byte a character.
  std::string declaredEncoding_;
  std::array<int, 256> byteMap_{};
  bool singleByteMap_ = false;
  std::uint64_t fedBefore_ = 0;  // the bytes of the earlier Feed calls of this document
  // Whether the character data since the last tag holds more than white space.
  bool inText_ = false;
  bool textSeen_ = false;
};

// What a second parse of a document tells a host that has something to
// report. Positions are line and column, both from 1, columns in characters.
struct TagPosition {
  std::uint32_t line;
  std::uint32_t column;
};
struct DocumentScan {
  // Where each start tag begins, by the ordinal of its start event as the
  // compiling parser delivers them: element i's '<' is starts[i - 1].
  std::vector<TagPosition> starts;
  // The ordinals of the elements still open where the parse stopped
  // (outermost first): for a malformed document, those around the failure.
  std::vector<std::uint32_t> open;
  // Each end of an element, in document order: the element's ordinal, and
  // where its end tag begins (for an empty-element tag, its start tag).
  struct End {
    std::uint32_t element;
    TagPosition at;
  };
  std::vector<End> ends;
  // The general entities the document's DTD declares before the stop.
  std::set<std::string> entities;
};

// Parses `document` again, as the compiling parser does, into `scan`; a
// host calls it only when it has something to report. Elements after a
// malformed part are not listed. Throws std::bad_alloc when memory runs out.
void ScanDocument(const std::uint8_t* document, std::size_t size, DocumentScan* scan);

}  // namespace oxa::host
