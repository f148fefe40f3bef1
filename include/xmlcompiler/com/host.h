// The host framework's services that the library calls, and the response
// interfaces through which the host's XML parser calls the compiler. Slots are
// declared in the host's order; slots the library never calls are declared
// all the same so that the later ones sit where the host has them.
#pragma once

#include <cstdint>

#include <xmlcompiler/com/buffer.h>
#include <xmlcompiler/com/unknown.h>

namespace oxa {

// Pointer-sized argument of the parser callbacks whose meaning is the host's
// (32 bits on the real target).
using CallbackArg = std::uintptr_t;

// {00000000-0901-11D1-8B06-00A024406D59}
inline constexpr Guid kIidCommonClassFactory = {
    0x00000000, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
// {00001302-0901-11D1-8B06-00A024406D59}; also the property set's class id.
inline constexpr Guid kIidValues = {
    0x00001302, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
// {00002D00-0901-11D1-8B06-00A024406D59}; also the XML parser's class id.
inline constexpr Guid kIidXmlParser = {
    0x00002D00, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
// {00002D01-0901-11D1-8B06-00A024406D59}
inline constexpr Guid kIidXmlParserResponse = {
    0x00002D01, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
// {00002D02-0901-11D1-8B06-00A024406D59}
inline constexpr Guid kIidXmlNamespaceParser = {
    0x00002D02, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};
// {00002D03-0901-11D1-8B06-00A024406D59}
inline constexpr Guid kIidXmlNamespaceResponse = {
    0x00002D03, 0x0901, 0x11D1, {0x8B, 0x06, 0x00, 0xA0, 0x24, 0x40, 0x6D, 0x59}};

inline constexpr const Guid& kClsidXmlParser = kIidXmlParser;
inline constexpr const Guid& kClsidBuffer = kIidBuffer;
inline constexpr const Guid& kClsidValues = kIidValues;

struct ICommonClassFactory : IUnknown {
  static constexpr const Guid& kIid = kIidCommonClassFactory;
  // A non-negative result leaves a new object with one reference in `out`.
  virtual HResult OXA_CALL CreateInstance(const Guid& classId, IUnknown** out) = 0;

 protected:
  ~ICommonClassFactory() = default;
};

// Named properties; names are zero-terminated 8-bit texts. Buffers handed in
// are kept by the set with a reference of its own.
struct IValues : IUnknown {
  static constexpr const Guid& kIid = kIidValues;
  virtual HResult OXA_CALL SetUInt32(const char* name, std::uint32_t value) = 0;
  // Slots 2-4: not called by the library.
  virtual HResult OXA_CALL GetUInt32(const char* name, std::uint32_t* value) = 0;
  virtual HResult OXA_CALL GetFirstUInt32(const char** name, std::uint32_t* value) = 0;
  virtual HResult OXA_CALL GetNextUInt32(const char** name, std::uint32_t* value) = 0;
  virtual HResult OXA_CALL SetBuffer(const char* name, IBuffer* buffer) = 0;
  // Slots 6-8: not called by the library. GetBuffer passes a reference to the caller.
  virtual HResult OXA_CALL GetBuffer(const char* name, IBuffer** buffer) = 0;
  virtual HResult OXA_CALL GetFirstBuffer(const char** name, IBuffer** buffer) = 0;
  virtual HResult OXA_CALL GetNextBuffer(const char** name, IBuffer** buffer) = 0;
  // `buffer` holds the text and its zero byte.
  virtual HResult OXA_CALL SetString(const char* name, IBuffer* buffer) = 0;
  // Non-negative: `buffer` holds the value as zero-terminated text; its reference
  // passes to the caller.
  virtual HResult OXA_CALL GetString(const char* name, IBuffer** buffer) = 0;
  // Non-negative: the first string property; name and buffer stay valid until the
  // next call and no reference passes. Negative: there is none.
  virtual HResult OXA_CALL GetFirstString(const char** name, IBuffer** buffer) = 0;
  // As GetFirstString, for the next property; negative after the last.
  virtual HResult OXA_CALL GetNextString(const char** name, IBuffer** buffer) = 0;

 protected:
  ~IValues() = default;
};

struct IXmlParserResponse;
struct IXmlNamespaceResponse;

struct IXmlParser : IUnknown {
  static constexpr const Guid& kIid = kIidXmlParser;
  // Registers the response object; `encoding` names the encoding of the texts
  // delivered; `flags` is 0.
  virtual HResult OXA_CALL Prepare(IXmlParserResponse* response, const char* encoding,
                                   std::uint32_t flags) = 0;
  // Slot 2: not called by the library.
  virtual HResult OXA_CALL Reserved() = 0;
  // Parses the bytes of `data`; with `final` 1 the whole document is in this call.
  // The response callbacks arrive, in document order, before Feed returns.
  virtual HResult OXA_CALL Feed(IBuffer* data, std::uint32_t final) = 0;

 protected:
  ~IXmlParser() = default;
};

struct IXmlNamespaceParser : IUnknown {
  static constexpr const Guid& kIid = kIidXmlNamespaceParser;
  // Namespace mode: elements of a namespace arrive as URI, `separator`, local name.
  virtual HResult OXA_CALL Prepare(IXmlParserResponse* response,
                                   IXmlNamespaceResponse* namespaceResponse, const char* encoding,
                                   char separator) = 0;

 protected:
  ~IXmlNamespaceParser() = default;
};

// Implemented by the compiler, called by the parser from inside Feed.
struct IXmlParserResponse : IUnknown {
  static constexpr const Guid& kIid = kIidXmlParserResponse;
  // `attributes` holds one string property per attribute; valid for the call only.
  virtual HResult OXA_CALL StartElement(const char* name, IValues* attributes, std::uint32_t line,
                                        std::uint32_t column) = 0;
  virtual HResult OXA_CALL EndElement(const char* name, std::uint32_t line,
                                      std::uint32_t column) = 0;
  // Slots 3-9: further parser events whose arguments are the host's.
  virtual HResult OXA_CALL Callback3(CallbackArg, CallbackArg, CallbackArg) = 0;
  virtual HResult OXA_CALL Callback4(CallbackArg, CallbackArg, CallbackArg, CallbackArg) = 0;
  virtual HResult OXA_CALL Callback5(CallbackArg, CallbackArg, CallbackArg, CallbackArg,
                                     CallbackArg, CallbackArg) = 0;
  virtual HResult OXA_CALL Callback6(CallbackArg, CallbackArg, CallbackArg, CallbackArg,
                                     CallbackArg) = 0;
  virtual HResult OXA_CALL Callback7(CallbackArg, CallbackArg, CallbackArg) = 0;
  virtual HResult OXA_CALL Callback8(CallbackArg, CallbackArg, CallbackArg, CallbackArg,
                                     CallbackArg) = 0;
  virtual HResult OXA_CALL Callback9(CallbackArg, CallbackArg, CallbackArg) = 0;

 protected:
  ~IXmlParserResponse() = default;
};

// Implemented by the compiler, called by a parser in namespace mode.
struct IXmlNamespaceResponse : IUnknown {
  static constexpr const Guid& kIid = kIidXmlNamespaceResponse;
  virtual HResult OXA_CALL NamespaceCallback1(CallbackArg, CallbackArg) = 0;
  virtual HResult OXA_CALL NamespaceCallback2(CallbackArg) = 0;

 protected:
  ~IXmlNamespaceResponse() = default;
};

// A response object's defaults for the callbacks that carry no element
// events: accepted, arguments ignored, result 0. Derive from it to implement
// IXmlParserResponse and IXmlNamespaceResponse (in that order) with only the
// element events of one's own.
class ParserResponseDefaults : public IXmlParserResponse, public IXmlNamespaceResponse {
 public:
  HResult OXA_CALL Callback3(CallbackArg, CallbackArg, CallbackArg) override { return kOk; }
  HResult OXA_CALL Callback4(CallbackArg, CallbackArg, CallbackArg, CallbackArg) override {
    return kOk;
  }
  HResult OXA_CALL Callback5(CallbackArg, CallbackArg, CallbackArg, CallbackArg, CallbackArg,
                             CallbackArg) override {
    return kOk;
  }
  HResult OXA_CALL Callback6(CallbackArg, CallbackArg, CallbackArg, CallbackArg,
                             CallbackArg) override {
    return kOk;
  }
  HResult OXA_CALL Callback7(CallbackArg, CallbackArg, CallbackArg) override { return kOk; }
  HResult OXA_CALL Callback8(CallbackArg, CallbackArg, CallbackArg, CallbackArg,
                             CallbackArg) override {
    return kOk;
  }
  HResult OXA_CALL Callback9(CallbackArg, CallbackArg, CallbackArg) override { return kOk; }
  HResult OXA_CALL NamespaceCallback1(CallbackArg, CallbackArg) override { return kOk; }
  HResult OXA_CALL NamespaceCallback2(CallbackArg) override { return kOk; }

 protected:
  ~ParserResponseDefaults() = default;
};

}  // namespace oxa
