// Recorded parser event streams: what a parser delivered to the compiler,
// kept in a file so that another host (the Windows test host) can replay it
// without an XML parser of its own.
//
// Format: the 8 bytes "OXAEVT01", then records, integers u32 little-endian:
//   'S' nameLength name attributeCount (nameLength name valueLength value)...
//   'E' nameLength name
// Names and values are the texts as delivered, without their zero bytes.
#pragma once

#include <cstdint>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/host/host_objects.h>

namespace oxa::host {

// A response object that records every element event.
class EventRecorder final : public ParserResponseDefaults {
 public:
  EventRecorder();
  const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes_; }

  // Not reference counted: owned by its creator, which outlives the parse.
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OXA_CALL AddRef() override { return 2; }
  std::uint32_t OXA_CALL Release() override { return 1; }
  HResult OXA_CALL StartElement(const char* name, IValues* attributes, std::uint32_t line,
                                std::uint32_t column) override;
  HResult OXA_CALL EndElement(const char* name, std::uint32_t line, std::uint32_t column) override;

 private:
  void Word(std::uint32_t value);
  void Text(const char* text, std::size_t length);
  std::vector<std::uint8_t> bytes_;
};

// A parser that replays the event stream in the buffer given to Feed; in
// namespace mode (as the compiler prepares it) or not, the names are the
// recorded ones. A damaged stream fails with 0x8007000D and a report.
class ReplayParser final : public ParserObject<ReplayParser> {
 public:
  static IXmlParser* Make(ParseReport* report);

  HResult OXA_CALL Prepare(IXmlParserResponse* response, const char* encoding,
                           std::uint32_t flags) override;
  HResult OXA_CALL Feed(IBuffer* data, std::uint32_t final) override;
  HResult OXA_CALL Prepare(IXmlParserResponse* response, IXmlNamespaceResponse* namespaceResponse,
                           const char* encoding, char separator) override;

 private:
  friend class RefCounted<ReplayParser>;
  explicit ReplayParser(ParseReport* report) : report_(report) {}
  ~ReplayParser() = default;
  HResult Damaged(std::size_t offset);

  ParseReport* report_;
  ComPtr<IXmlParserResponse> response_;
};

}  // namespace oxa::host
