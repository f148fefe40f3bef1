// Event streams: recording from any parser, replaying into any response.
#include <xmlcompiler/host/event_recording.h>

#include <cstring>
#include <string>

#include <xmlcompiler/com/boundary.h>

namespace oxa::host {
namespace {

constexpr char kMagic[8] = {'O', 'X', 'A', 'E', 'V', 'T', '0', '1'};

}  // namespace

EventRecorder::EventRecorder() : bytes_(kMagic, kMagic + sizeof(kMagic)) {}

HResult OXA_CALL EventRecorder::QueryInterface(const Guid& iid, void** out) {
  return AnswerFromTable(InterfaceTable<EventRecorder, EventRecorder, IXmlParserResponse,
                                        IXmlNamespaceResponse>::kRows,
                         this, iid, out);
}

void EventRecorder::Word(std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void EventRecorder::Text(const char* text, std::size_t length) {
  Word(static_cast<std::uint32_t>(length));
  bytes_.insert(bytes_.end(), text, text + length);
}

HResult OXA_CALL EventRecorder::StartElement(const char* name, IValues* attributes, std::uint32_t,
                                             std::uint32_t) {
  return Guarded([&] {
    bytes_.push_back('S');
    Text(name, std::strlen(name));
    // The count comes first: its place is kept and filled after the loop. A
    // name and value are valid only until the next call, so each is written
    // as it comes.
    const std::size_t countAt = bytes_.size();
    Word(0);
    std::uint32_t count = 0;
    const char* attribute = nullptr;
    IBuffer* value = nullptr;
    for (HResult hr = attributes->GetFirstString(&attribute, &value); Succeeded(hr);
         hr = attributes->GetNextString(&attribute, &value)) {
      const char* text = reinterpret_cast<const char*>(value->GetBuffer());
      const void* zero = std::memchr(text, 0, value->GetSize());
      Text(attribute, std::strlen(attribute));
      Text(text, zero == nullptr ? value->GetSize()
                                 : static_cast<std::size_t>(static_cast<const char*>(zero) - text));
      ++count;
    }
    for (int i = 0; i < 4; ++i) bytes_[countAt + i] = static_cast<std::uint8_t>(count >> (8 * i));
    return kOk;
  });
}

HResult OXA_CALL EventRecorder::EndElement(const char* name, std::uint32_t, std::uint32_t) {
  return Guarded([&] {
    bytes_.push_back('E');
    Text(name, std::strlen(name));
    return kOk;
  });
}

IXmlParser* ReplayParser::Make(ParseReport* report) {
  auto* parser = new ReplayParser(report);
  parser->AddRef();
  return parser;
}

HResult OXA_CALL ReplayParser::Prepare(IXmlParserResponse* response, const char*, std::uint32_t) {
  RETURN_HR_IF_NULL(kNullPointer, response);
  *report_ = ParseReport();
  response_ = ComPtr<IXmlParserResponse>(response);
  return kOk;
}

HResult OXA_CALL ReplayParser::Prepare(IXmlParserResponse* response, IXmlNamespaceResponse*,
                                       const char* encoding, char) {
  return Prepare(response, encoding, 0);
}

HResult ReplayParser::Damaged(std::size_t offset) {
  report_->failed = true;
  report_->message = "damaged event stream at byte " + std::to_string(offset);
  return kInvalidData;
}

HResult OXA_CALL ReplayParser::Feed(IBuffer* data, std::uint32_t) {
  RETURN_HR_IF_NULL(kFail, response_);
  RETURN_HR_IF_NULL(kInvalidArg, data);
  const std::uint8_t* bytes = data->GetBuffer();
  const std::size_t size = data->GetSize();
  if (size < sizeof(kMagic) || std::memcmp(bytes, kMagic, sizeof(kMagic)) != 0) return Damaged(0);
  std::size_t at = sizeof(kMagic);
  auto word = [&](std::uint32_t* value) {
    if (size - at < 4) return false;
    *value = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
             static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    at += 4;
    return true;
  };
  auto text = [&](std::string* out) {
    std::uint32_t length = 0;
    if (!word(&length) || size - at < length) return false;
    out->assign(reinterpret_cast<const char*>(bytes + at), length);
    at += length;
    return true;
  };
  ComPtr<PropertySet> attributes = PropertySet::Create();
  std::string name, attribute, value;
  return Guarded([&] {
    while (at < size) {
      const std::size_t record = at;
      const std::uint8_t kind = bytes[at++];
      if (kind == 'E') {
        if (!text(&name)) return Damaged(record);
        response_->EndElement(name.c_str(), 0, 0);
        continue;
      }
      std::uint32_t count = 0;
      if (kind != 'S' || !text(&name) || !word(&count)) return Damaged(record);
      attributes->ClearForReuse();
      for (std::uint32_t i = 0; i < count; ++i) {
        if (!text(&attribute) || !text(&value)) return Damaged(record);
        attributes->AppendString(attribute.c_str(), value.data(), value.size());
      }
      response_->StartElement(name.c_str(), attributes.Get(), 0, 0);
    }
    return kOk;
  });
}

}  // namespace oxa::host
