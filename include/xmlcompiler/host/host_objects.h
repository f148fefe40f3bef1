// The reference host's objects behind the framework's interfaces: a growable
// buffer, a property set, and a class factory with its context. They stand in
// for the framework's own services, so that the plug-in runs end to end.
// Every object counts its references and deletes itself at zero.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <xmlcompiler/com/boundary.h>
#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/host.h>
#include <xmlcompiler/com/interface_table.h>

namespace oxa::host {

// Reference counting of the host objects (single-threaded, like the plug-in's).
template <class Self>
class RefCounted {
 public:
  std::uint32_t AddRef() noexcept { return ++refCount_; }
  std::uint32_t Release() noexcept {
    const std::uint32_t left = --refCount_;
    if (left == 0) delete static_cast<Self*>(this);
    return left;
  }
  std::uint32_t RefCount() const noexcept { return refCount_; }

 protected:
  RefCounted() = default;
  ~RefCounted() = default;

 private:
  std::uint32_t refCount_ = 0;
};

// The base of the host's reference-counted objects: counting, and a
// QueryInterface answered from the table of Interfaces, as the plug-in's
// objects answer from theirs.
template <class Self, class... Interfaces>
class HostObject : public Interfaces..., public RefCounted<Self> {
 public:
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override {
    return AnswerFromTable(InterfaceTable<Self, Self, Interfaces...>::kRows,
                           static_cast<Self*>(this), iid, out);
  }
  std::uint32_t OXA_CALL AddRef() override { return RefCounted<Self>::AddRef(); }
  std::uint32_t OXA_CALL Release() override { return RefCounted<Self>::Release(); }

 protected:
  HostObject() = default;
  ~HostObject() = default;
};

// A growable byte buffer.
class HostBuffer final : public HostObject<HostBuffer, IBuffer> {
 public:
  // A new buffer with one reference.
  static ComPtr<HostBuffer> Create();

  HResult OXA_CALL Get(const std::uint8_t** data, std::uint32_t* length) override;
  HResult OXA_CALL Set(const void* data, std::uint32_t length) override;
  HResult OXA_CALL SetSize(std::uint32_t length) override;
  std::uint32_t OXA_CALL GetSize() override { return static_cast<std::uint32_t>(bytes_.size()); }
  std::uint8_t* OXA_CALL GetBuffer() override { return bytes_.data(); }

  std::vector<std::uint8_t>& Bytes() noexcept { return bytes_; }

 private:
  friend class RefCounted<HostBuffer>;
  HostBuffer() = default;
  ~HostBuffer() = default;
  std::vector<std::uint8_t> bytes_;
};

// Named properties (32-bit numbers, buffers, strings) in insertion order.
// Setting an existing name of the same kind replaces its value in place.
class PropertySet final : public HostObject<PropertySet, IValues> {
 public:
  enum class Kind { UInt32, Buffer, String };

  static ComPtr<PropertySet> Create();

  HResult OXA_CALL SetUInt32(const char* name, std::uint32_t value) override;
  HResult OXA_CALL GetUInt32(const char* name, std::uint32_t* value) override;
  HResult OXA_CALL GetFirstUInt32(const char** name, std::uint32_t* value) override;
  HResult OXA_CALL GetNextUInt32(const char** name, std::uint32_t* value) override;
  HResult OXA_CALL SetBuffer(const char* name, IBuffer* buffer) override;
  HResult OXA_CALL GetBuffer(const char* name, IBuffer** buffer) override;
  HResult OXA_CALL GetFirstBuffer(const char** name, IBuffer** buffer) override;
  HResult OXA_CALL GetNextBuffer(const char** name, IBuffer** buffer) override;
  HResult OXA_CALL SetString(const char* name, IBuffer* buffer) override;
  HResult OXA_CALL GetString(const char* name, IBuffer** buffer) override;
  HResult OXA_CALL GetFirstString(const char** name, IBuffer** buffer) override;
  HResult OXA_CALL GetNextString(const char** name, IBuffer** buffer) override;

  // For the parser: forgets every property but keeps their storage, so the
  // next element's attributes reuse names and buffers instead of allocating.
  void ClearForReuse() noexcept;
  // Appends a string property holding `length` bytes of `text` and a zero byte.
  void AppendString(const char* name, const char* text, std::size_t length);

 private:
  friend class RefCounted<PropertySet>;
  struct Property {
    std::string name;
    Kind kind;
    std::uint32_t number;
    ComPtr<IBuffer> buffer;
  };
  PropertySet() = default;
  ~PropertySet() = default;
  Property* Find(const char* name, Kind kind) noexcept;
  HResult Store(const char* name, Kind kind, std::uint32_t number, IBuffer* buffer);
  // Finds the next property of `kind` from the cursor of that kind.
  const Property* Next(Kind kind, std::size_t& cursor) const noexcept;
  // The buffer-valued getters, shared by the buffer and string kinds.
  HResult GetBufferOf(Kind kind, const char* name, IBuffer** buffer);
  HResult NextBufferOf(Kind kind, const char** name, IBuffer** buffer);

  std::vector<Property> properties_;  // the first count_ are in use
  std::size_t count_ = 0;
  std::size_t cursors_[3] = {0, 0, 0};  // by Kind
};

// The attributes of one start element, read in place from the parser's own
// (name, value, ..., null) array: string properties only, in document order,
// valid while the parser's StartElement call lasts. Nothing is copied unless
// it is kept: GetString hands out a copy with its own reference, and a value
// buffer from the iteration that someone still holds when the set moves on
// first takes a copy of its text. The set is read-only: every Set returns
// 0x80004001, and it has no numbers or buffers.
class AttributeSet final : public HostObject<AttributeSet, IValues> {
 public:
  // A new set with one reference and the view its iteration hands out (the
  // iteration itself never allocates); throws std::bad_alloc.
  static ComPtr<AttributeSet> Create();

  // Shows `pairs` (null: no attributes); they must stay valid until the next
  // Show or Clear.
  void Show(const char* const* pairs) noexcept;
  // Forgets the pairs, so that a set kept past the element is empty.
  void Clear() noexcept;
  // Whether memory ran out since the last Show: an iteration ended early, a
  // GetString failed or a kept value could not take its copy. A parser must
  // then fail the parse, since the response may have gone on without them.
  bool Exhausted() const noexcept { return exhausted_; }

  HResult OXA_CALL SetUInt32(const char*, std::uint32_t) override { return kNotImplemented; }
  HResult OXA_CALL GetUInt32(const char* name, std::uint32_t* value) override;
  HResult OXA_CALL GetFirstUInt32(const char** name, std::uint32_t* value) override;
  HResult OXA_CALL GetNextUInt32(const char** name, std::uint32_t* value) override;
  HResult OXA_CALL SetBuffer(const char*, IBuffer*) override { return kNotImplemented; }
  HResult OXA_CALL GetBuffer(const char* name, IBuffer** buffer) override;
  HResult OXA_CALL GetFirstBuffer(const char** name, IBuffer** buffer) override;
  HResult OXA_CALL GetNextBuffer(const char** name, IBuffer** buffer) override;
  HResult OXA_CALL SetString(const char*, IBuffer*) override { return kNotImplemented; }
  // A new buffer (one reference, passed to the caller) holding the value and a zero byte.
  HResult OXA_CALL GetString(const char* name, IBuffer** buffer) override;
  HResult OXA_CALL GetFirstString(const char** name, IBuffer** buffer) override;
  HResult OXA_CALL GetNextString(const char** name, IBuffer** buffer) override;

  static constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);

 private:
  friend class RefCounted<AttributeSet>;
  class TextView;
  AttributeSet() = default;
  ~AttributeSet();
  // Lets go of the text shown: a view that someone else still holds copies
  // it and is replaced; the set's own view shows no bytes.
  void FreeView() noexcept;
  // A view with one reference, or null when memory runs out.
  static TextView* NewView() noexcept;

  const char* const* pairs_ = nullptr;
  const char* const* cursor_ = nullptr;
  TextView* view_ = nullptr;  // owned: one reference
  bool exhausted_ = false;
};

// The interface lookup and counting shared by the host's parsers, which all
// offer IXmlParser and IXmlNamespaceParser.
template <class Self>
class ParserObject : public HostObject<Self, IXmlParser, IXmlNamespaceParser> {
 public:
  HResult OXA_CALL Reserved() override { return kFail; }

 protected:
  ParserObject() = default;
  ~ParserObject() = default;
};

// Where a parser created by the factory leaves its last failure.
// Also what the parse saw of character data, which the compiled format has
// no place for: how many runs of text between tags hold more than white
// space, and where the first of them begins.
struct ParseReport {
  bool failed = false;
  std::string message;
  std::uint32_t line = 0;
  std::uint32_t column = 0;
  std::int32_t xmlError =
      0;                 // expat's XML_Error of the failure; 0 when the message is the host's own
  std::string encoding;  // the encoding the document's declaration names; "" for none
  std::uint64_t textRuns = 0;
  std::uint32_t textLine = 0;
  std::uint32_t textColumn = 0;
};

// Makes a new XML parser (one reference) that reports failures into `report`.
using ParserMaker = IXmlParser* (*)(ParseReport* report);

// Creates the framework's classes: XML parser, buffer, property set.
class ClassFactory final : public HostObject<ClassFactory, ICommonClassFactory> {
 public:
  // A factory whose parsers come from `makeParser`.
  static ComPtr<ClassFactory> Create(ParserMaker makeParser);

  // 0x80040111 for a class the host does not know.
  HResult OXA_CALL CreateInstance(const Guid& classId, IUnknown** out) override;

  // The failure of the last parse by a parser of this factory (cleared at each Prepare).
  const ParseReport& LastParse() const noexcept { return report_; }

 private:
  friend class RefCounted<ClassFactory>;
  explicit ClassFactory(ParserMaker makeParser) : makeParser_(makeParser) {}
  ~ClassFactory() = default;
  ParserMaker makeParser_;
  ParseReport report_;
};

// The context handed to the plug-in and the compiler: offers the class factory.
class HostContext final : public HostObject<HostContext, IUnknown> {
 public:
  static ComPtr<HostContext> Create(ClassFactory* factory);

  // Its own interfaces from the table; ICommonClassFactory is the factory's.
  HResult OXA_CALL QueryInterface(const Guid& iid, void** out) override;

  ClassFactory* Factory() const noexcept { return factory_.Get(); }

 private:
  friend class RefCounted<HostContext>;
  explicit HostContext(ClassFactory* factory) : factory_(factory) {}
  ~HostContext() = default;
  ComPtr<ClassFactory> factory_;
};

inline constexpr HResult kClassNotAvailable = static_cast<HResult>(0x80040111);
// The result of Feed for a malformed document.
inline constexpr HResult kInvalidData = static_cast<HResult>(0x8007000D);

}  // namespace oxa::host
