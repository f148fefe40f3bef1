// Synthetic parser event streams for the benchmarks, delivered through one
// reusable attribute set and one reusable value buffer, as a host would.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <xmlcompiler/com/host.h>

namespace oxa::bench {

struct Event {
  bool start;
  std::uint32_t name;       // index into Stream::strings
  std::uint32_t firstAttr;  // index into Stream::attributes
  std::uint32_t attrCount;
};

struct Stream {
  std::vector<std::string> strings;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> attributes;  // name, value
  std::vector<Event> events;
  std::uint64_t elements = 0;

  std::uint32_t Intern(const std::string& s) {
    strings.push_back(s);
    return static_cast<std::uint32_t>(strings.size() - 1);
  }
  void Start(std::uint32_t name,
             std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> attrs) {
    events.push_back({true, name, static_cast<std::uint32_t>(attributes.size()),
                      static_cast<std::uint32_t>(attrs.size())});
    attributes.insert(attributes.end(), attrs.begin(), attrs.end());
    ++elements;
  }
  void End(std::uint32_t name) { events.push_back({false, name, 0, 0}); }
};

// A value buffer that shows one text at a time, without copying it.
class ViewBuffer final : public IBuffer {
 public:
  void Show(const std::string& text) { text_ = &text; }
  HResult OXA_CALL QueryInterface(const Guid&, void**) override { return kNoInterface; }
  std::uint32_t OXA_CALL AddRef() override { return 2; }
  std::uint32_t OXA_CALL Release() override { return 1; }
  HResult OXA_CALL Get(const std::uint8_t** d, std::uint32_t* n) override {
    *d = GetBuffer();
    *n = GetSize();
    return kOk;
  }
  HResult OXA_CALL Set(const void*, std::uint32_t) override { return kFail; }
  HResult OXA_CALL SetSize(std::uint32_t) override { return kFail; }
  std::uint32_t OXA_CALL GetSize() override {
    return static_cast<std::uint32_t>(text_->size() + 1);
  }
  std::uint8_t* OXA_CALL GetBuffer() override {
    return reinterpret_cast<std::uint8_t*>(const_cast<char*>(text_->c_str()));
  }

 private:
  const std::string* text_ = nullptr;
};

// The attribute set of the current start event.
class StreamValues final : public IValues {
 public:
  explicit StreamValues(const Stream& stream) : stream_(stream) {}
  void Show(const Event& e) {
    event_ = &e;
    cursor_ = 0;
  }
  HResult OXA_CALL QueryInterface(const Guid&, void**) override { return kNoInterface; }
  std::uint32_t OXA_CALL AddRef() override { return 2; }
  std::uint32_t OXA_CALL Release() override { return 1; }
  HResult OXA_CALL SetUInt32(const char*, std::uint32_t) override { return kFail; }
  HResult OXA_CALL GetUInt32(const char*, std::uint32_t*) override { return kFail; }
  HResult OXA_CALL GetFirstUInt32(const char**, std::uint32_t*) override { return kFail; }
  HResult OXA_CALL GetNextUInt32(const char**, std::uint32_t*) override { return kFail; }
  HResult OXA_CALL SetBuffer(const char*, IBuffer*) override { return kFail; }
  HResult OXA_CALL GetBuffer(const char*, IBuffer**) override { return kFail; }
  HResult OXA_CALL GetFirstBuffer(const char**, IBuffer**) override { return kFail; }
  HResult OXA_CALL GetNextBuffer(const char**, IBuffer**) override { return kFail; }
  HResult OXA_CALL SetString(const char*, IBuffer*) override { return kFail; }
  HResult OXA_CALL GetString(const char* name, IBuffer** out) override {
    for (std::uint32_t i = 0; i < event_->attrCount; ++i) {
      const auto& [n, v] = stream_.attributes[event_->firstAttr + i];
      if (stream_.strings[n] == name) {
        value_.Show(stream_.strings[v]);
        *out = &value_;
        return kOk;
      }
    }
    return kFail;
  }
  HResult OXA_CALL GetFirstString(const char** name, IBuffer** out) override {
    cursor_ = 0;
    return GetNextString(name, out);
  }
  HResult OXA_CALL GetNextString(const char** name, IBuffer** out) override {
    if (cursor_ == event_->attrCount) return kFail;
    const auto& [n, v] = stream_.attributes[event_->firstAttr + cursor_++];
    *name = stream_.strings[n].c_str();
    value_.Show(stream_.strings[v]);
    *out = &value_;
    return kOk;
  }

 private:
  const Stream& stream_;
  const Event* event_ = nullptr;
  std::uint32_t cursor_ = 0;
  ViewBuffer value_;
};

// Delivers the stream to `sink` (StartElement(name, IValues*), EndElement(name)).
template <class Sink>
void Deliver(const Stream& stream, Sink& sink) {
  StreamValues values(stream);
  for (const Event& e : stream.events) {
    if (e.start) {
      values.Show(e);
      sink.StartElement(stream.strings[e.name].c_str(), &values);
    } else {
      sink.EndElement(stream.strings[e.name].c_str());
    }
  }
}

// A layout-like document of `elements` elements: nested panels of widgets
// with geometry, ids and labels; one directive per 20 elements reuses an
// earlier small layout.
Stream RealisticStream(std::uint64_t elements);
// A flat list of `count` elements, each with a distinct attribute value.
Stream DistinctStringsStream(std::uint64_t count);
// One chain of `depth` nested elements.
Stream DeepStream(std::uint64_t depth);
// A root with `count` children.
Stream WideStream(std::uint64_t count);

}  // namespace oxa::bench
