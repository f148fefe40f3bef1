// Counting fakes of the host's objects: buffers, a parser that replays
// scripted events, a class factory that can be told to fail, a context, and
// an outer object for aggregation. Every fake counts its references; none
// deletes itself, so tests can check the counts after each path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/host.h>
#include "event_script.h"
#include "fake_object.h"
#include "fake_values.h"

namespace oxa::testing {

class FakeBuffer final : public FakeObject<FakeBuffer, IBuffer> {
 public:
  explicit FakeBuffer(std::string bytes = {}) : bytes_(std::move(bytes)) {}
  HResult failSet = kOk;  // when negative, Set fails with it
  std::string bytes_;
  int sets = 0;

  HResult OXA_CALL Get(const std::uint8_t** data, std::uint32_t* length) override {
    *data = GetBuffer();
    *length = GetSize();
    return kOk;
  }
  HResult OXA_CALL Set(const void* data, std::uint32_t length) override {
    ++sets;
    if (Failed(failSet)) return failSet;
    bytes_.assign(static_cast<const char*>(data), length);
    return kOk;
  }
  HResult OXA_CALL SetSize(std::uint32_t length) override {
    bytes_.resize(length);
    return kOk;
  }
  std::uint32_t OXA_CALL GetSize() override { return static_cast<std::uint32_t>(bytes_.size()); }
  std::uint8_t* OXA_CALL GetBuffer() override {
    return reinterpret_cast<std::uint8_t*>(bytes_.data());
  }
  std::vector<std::uint8_t> Bytes() const { return {bytes_.begin(), bytes_.end()}; }
};

// Replays the markup of its input buffer (see event_script.h) into the response.
class FakeParser final : public FakeObject<FakeParser, IXmlParser, IXmlNamespaceParser> {
 public:
  bool offersNamespace = true;
  HResult feedResult = kOk;  // returned by Feed after the events
  int plainPrepares = 0, namespacePrepares = 0, feeds = 0;
  std::string encoding;
  std::uint32_t flags = 99;
  char separator = 0;
  IXmlParserResponse* response = nullptr;
  IXmlNamespaceResponse* namespaceResponse = nullptr;
  int refsDuringFeed = 0;

  // The table's answer, except IXmlNamespaceParser while `offersNamespace` is false.
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    if (iid == kIidXmlNamespaceParser && !offersNamespace) {
      *out = nullptr;
      return kNoInterface;
    }
    return FakeObject::QueryInterface(iid, out);
  }
  HResult OXA_CALL Prepare(IXmlParserResponse* r, const char* e, std::uint32_t f) override {
    ++plainPrepares;
    response = r;
    encoding = e;
    flags = f;
    return kOk;
  }
  HResult OXA_CALL Reserved() override { return kFail; }
  HResult OXA_CALL Prepare(IXmlParserResponse* r, IXmlNamespaceResponse* n, const char* e,
                           char s) override {
    ++namespacePrepares;
    response = r;
    namespaceResponse = n;
    encoding = e;
    separator = s;
    return kOk;
  }
  HResult OXA_CALL Feed(IBuffer* data, std::uint32_t) override {
    ++feeds;
    refsDuringFeed = refCount();
    const std::string markup(reinterpret_cast<const char*>(data->GetBuffer()), data->GetSize());
    for (const Event& e : ParseEvents(markup)) {
      if (e.start) {
        FakeValues attributes;
        for (const auto& [name, value] : e.attributes) attributes.AddString(name, value);
        response->StartElement(e.name.c_str(), &attributes, 1, 1);
      } else {
        response->EndElement(e.name.c_str(), 1, 1);
      }
    }
    response->Callback3(0, 0, 0);
    if (namespaceResponse != nullptr) namespaceResponse->NamespaceCallback2(0);
    return feedResult;
  }
};

class FakeFactory final : public FakeObject<FakeFactory, ICommonClassFactory> {
 public:
  // Creation of these class ids fails with `failWith`.
  std::vector<Guid> failing;
  HResult failWith = kOutOfMemory;
  // Objects of these class ids answer no query at all.
  std::vector<Guid> mute;
  FakeParser parser;
  std::vector<std::unique_ptr<FakeBuffer>> buffers;
  std::vector<std::unique_ptr<FakeValues>> valueSets;
  std::vector<HResult> bufferSetResults;  // per created buffer, in order
  // Called with the class id at the start of every CreateInstance, when set.
  std::function<void(const Guid&)> onCreate;

  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    if (iid == kIidUnknown || iid == kIidCommonClassFactory) {
      Add();
      *out = static_cast<ICommonClassFactory*>(this);
      return kOk;
    }
    *out = nullptr;
    return kNoInterface;
  }
  std::uint32_t OXA_CALL AddRef() override { return Add(); }
  std::uint32_t OXA_CALL Release() override { return Drop(); }
  HResult OXA_CALL CreateInstance(const Guid& classId, IUnknown** out) override {
    *out = nullptr;
    if (onCreate) onCreate(classId);
    for (const Guid& g : failing) {
      if (g == classId) return failWith;
    }
    for (const Guid& g : mute) {
      if (g == classId) {
        static MuteObject muteObject;
        muteObject.AddRef();
        *out = &muteObject;
        return kOk;
      }
    }
    if (classId == kClsidXmlParser) {
      parser.AddRef();
      *out = static_cast<IXmlParser*>(&parser);
    } else if (classId == kClsidBuffer) {
      buffers.push_back(std::make_unique<FakeBuffer>());
      if (buffers.size() <= bufferSetResults.size())
        buffers.back()->failSet = bufferSetResults[buffers.size() - 1];
      buffers.back()->AddRef();
      *out = buffers.back().get();
    } else if (classId == kClsidValues) {
      valueSets.push_back(std::make_unique<FakeValues>());
      valueSets.back()->AddRef();
      *out = valueSets.back().get();
    } else {
      return kFail;
    }
    return kOk;
  }
  // Whether every object made so far has been released completely.
  bool AllReleased() const {
    if (parser.refCount() != 0) return false;
    for (const auto& b : buffers) {
      if (b->refCount() != 0) return false;
    }
    for (const auto& v : valueSets) {
      if (v->refCount() != 0) return false;
    }
    return true;
  }

 private:
  // A faulty object on purpose: it refuses every query, IUnknown included,
  // which no table can express.
  struct MuteObject final : IUnknown {
    HResult OXA_CALL QueryInterface(const Guid&, void** out) override {
      *out = nullptr;
      return kNoInterface;
    }
    std::uint32_t OXA_CALL AddRef() override { return static_cast<std::uint32_t>(++refs); }
    std::uint32_t OXA_CALL Release() override { return static_cast<std::uint32_t>(--refs); }
    int refs = 0;
  };
};

// A host context: answers ICommonClassFactory with `factory` when it is set.
class FakeContext final : public FakeObject<FakeContext, IUnknown> {
 public:
  explicit FakeContext(FakeFactory* f) : factory(f) {}
  FakeFactory* factory;
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    if (iid == kIidCommonClassFactory && factory != nullptr) {
      return factory->QueryInterface(iid, out);
    }
    return FakeObject::QueryInterface(iid, out);
  }
};

// An outer object that aggregates one inner object: queries it does not
// answer itself go to the inner unknown.
class FakeOuter final : public FakeObject<FakeOuter, IUnknown> {
 public:
  IUnknown* inner = nullptr;  // the InnerUnknown, one reference held by the test
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    if (iid == kIidUnknown || inner == nullptr) return FakeObject::QueryInterface(iid, out);
    return inner->QueryInterface(iid, out);
  }
};

}  // namespace oxa::testing
