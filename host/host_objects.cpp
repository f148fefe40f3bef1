// Host buffer, property set, class factory and context.
#include "host/host_objects.h"

#include <cstring>
#include <new>

#include "com/boundary.h"

namespace oxa::host {
namespace {

// Stores `object` (as interface I) in `out` with one more reference.
template <class I, class T>
HResult Hand(T* object, void** out) {
  object->AddRef();
  *out = static_cast<I*>(object);
  return kOk;
}

HResult NoInterface(void** out) {
  if (out != nullptr) *out = nullptr;
  return kNoInterface;
}

}  // namespace

// HostBuffer ---------------------------------------------------------------

ComPtr<HostBuffer> HostBuffer::Create() {
  return ComPtr<HostBuffer>(new HostBuffer());
}

HResult OXA_CALL HostBuffer::QueryInterface(const Guid& iid, void** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  if (iid == kIidUnknown || iid == kIidBuffer) return Hand<IBuffer>(this, out);
  return NoInterface(out);
}

HResult OXA_CALL HostBuffer::Get(const std::uint8_t** data, std::uint32_t* length) {
  RETURN_HR_IF(kNullPointer, data == nullptr || length == nullptr);
  *data = bytes_.data();
  *length = GetSize();
  return kOk;
}

HResult OXA_CALL HostBuffer::Set(const void* data, std::uint32_t length) {
  RETURN_HR_IF(kNullPointer, data == nullptr && length != 0);
  return Guarded([&] {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    bytes_.assign(bytes, bytes + length);
    return kOk;
  });
}

HResult OXA_CALL HostBuffer::SetSize(std::uint32_t length) {
  return Guarded([&] {
    bytes_.resize(length);
    return kOk;
  });
}

// PropertySet --------------------------------------------------------------

ComPtr<PropertySet> PropertySet::Create() {
  return ComPtr<PropertySet>(new PropertySet());
}

HResult OXA_CALL PropertySet::QueryInterface(const Guid& iid, void** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  if (iid == kIidUnknown || iid == kIidValues) return Hand<IValues>(this, out);
  return NoInterface(out);
}

PropertySet::Property* PropertySet::Find(const char* name, Kind kind) noexcept {
  for (std::size_t i = 0; i < count_; ++i) {
    if (properties_[i].kind == kind && properties_[i].name == name) return &properties_[i];
  }
  return nullptr;
}

HResult PropertySet::Store(const char* name, Kind kind, std::uint32_t number, IBuffer* buffer) {
  RETURN_HR_IF_NULL(kNullPointer, name);
  return Guarded([&] {
    if (Property* existing = Find(name, kind)) {
      existing->number = number;
      existing->buffer = ComPtr<IBuffer>(buffer);
      return kOk;
    }
    if (count_ == properties_.size()) properties_.emplace_back();
    Property& p = properties_[count_];
    p.name = name;
    p.kind = kind;
    p.number = number;
    p.buffer = ComPtr<IBuffer>(buffer);
    ++count_;
    return kOk;
  });
}

const PropertySet::Property* PropertySet::Next(Kind kind, std::size_t& cursor) const noexcept {
  while (cursor < count_ && properties_[cursor].kind != kind) ++cursor;
  return cursor < count_ ? &properties_[cursor++] : nullptr;
}

HResult OXA_CALL PropertySet::SetUInt32(const char* name, std::uint32_t value) {
  return Store(name, Kind::UInt32, value, nullptr);
}

HResult OXA_CALL PropertySet::GetUInt32(const char* name, std::uint32_t* value) {
  RETURN_HR_IF(kNullPointer, name == nullptr || value == nullptr);
  const Property* p = Find(name, Kind::UInt32);
  RETURN_HR_IF_NULL(kFail, p);
  *value = p->number;
  return kOk;
}

HResult OXA_CALL PropertySet::GetFirstUInt32(const char** name, std::uint32_t* value) {
  cursors_[static_cast<int>(Kind::UInt32)] = 0;
  return GetNextUInt32(name, value);
}

HResult OXA_CALL PropertySet::GetNextUInt32(const char** name, std::uint32_t* value) {
  RETURN_HR_IF(kNullPointer, name == nullptr || value == nullptr);
  const Property* p = Next(Kind::UInt32, cursors_[static_cast<int>(Kind::UInt32)]);
  RETURN_HR_IF_NULL(kFail, p);
  *name = p->name.c_str();
  *value = p->number;
  return kOk;
}

HResult OXA_CALL PropertySet::SetBuffer(const char* name, IBuffer* buffer) {
  return Store(name, Kind::Buffer, 0, buffer);
}

HResult PropertySet::GetBufferOf(Kind kind, const char* name, IBuffer** buffer) {
  RETURN_HR_IF(kNullPointer, name == nullptr || buffer == nullptr);
  *buffer = nullptr;
  const Property* p = Find(name, kind);
  RETURN_HR_IF(kFail, p == nullptr || !p->buffer);
  p->buffer->AddRef();
  *buffer = p->buffer.Get();
  return kOk;
}

HResult PropertySet::NextBufferOf(Kind kind, const char** name, IBuffer** buffer) {
  RETURN_HR_IF(kNullPointer, name == nullptr || buffer == nullptr);
  const Property* p = Next(kind, cursors_[static_cast<int>(kind)]);
  RETURN_HR_IF_NULL(kFail, p);
  *name = p->name.c_str();
  *buffer = p->buffer.Get();
  return kOk;
}

HResult OXA_CALL PropertySet::GetBuffer(const char* name, IBuffer** buffer) {
  return GetBufferOf(Kind::Buffer, name, buffer);
}

HResult OXA_CALL PropertySet::GetFirstBuffer(const char** name, IBuffer** buffer) {
  cursors_[static_cast<int>(Kind::Buffer)] = 0;
  return NextBufferOf(Kind::Buffer, name, buffer);
}

HResult OXA_CALL PropertySet::GetNextBuffer(const char** name, IBuffer** buffer) {
  return NextBufferOf(Kind::Buffer, name, buffer);
}

HResult OXA_CALL PropertySet::SetString(const char* name, IBuffer* buffer) {
  return Store(name, Kind::String, 0, buffer);
}

HResult OXA_CALL PropertySet::GetString(const char* name, IBuffer** buffer) {
  return GetBufferOf(Kind::String, name, buffer);
}

HResult OXA_CALL PropertySet::GetFirstString(const char** name, IBuffer** buffer) {
  cursors_[static_cast<int>(Kind::String)] = 0;
  return NextBufferOf(Kind::String, name, buffer);
}

HResult OXA_CALL PropertySet::GetNextString(const char** name, IBuffer** buffer) {
  return NextBufferOf(Kind::String, name, buffer);
}

void PropertySet::ClearForReuse() noexcept {
  count_ = 0;
  cursors_[0] = cursors_[1] = cursors_[2] = 0;
}

void PropertySet::AppendString(const char* name, const char* text, std::size_t length) {
  if (count_ == properties_.size()) properties_.emplace_back();
  Property& p = properties_[count_];
  p.name = name;
  p.kind = Kind::String;
  // Reuse the slot's buffer unless someone else still holds it.
  if (!p.buffer || static_cast<HostBuffer*>(p.buffer.Get())->RefCount() != 1) {
    p.buffer = ComPtr<IBuffer>(HostBuffer::Create().Get());
  }
  auto& bytes = static_cast<HostBuffer*>(p.buffer.Get())->Bytes();
  bytes.assign(text, text + length);
  bytes.push_back(0);
  ++count_;
}

// ClassFactory and HostContext --------------------------------------------

ComPtr<ClassFactory> ClassFactory::Create(ParserMaker makeParser) {
  return ComPtr<ClassFactory>(new ClassFactory(makeParser));
}

HResult OXA_CALL ClassFactory::QueryInterface(const Guid& iid, void** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  if (iid == kIidUnknown || iid == kIidCommonClassFactory) {
    return Hand<ICommonClassFactory>(this, out);
  }
  return NoInterface(out);
}

HResult OXA_CALL ClassFactory::CreateInstance(const Guid& classId, IUnknown** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  *out = nullptr;
  return Guarded([&] {
    if (classId == kClsidXmlParser) {
      *out = makeParser_(&report_);
    } else if (classId == kClsidBuffer) {
      *out = HostBuffer::Create().Detach();
    } else if (classId == kClsidValues) {
      *out = PropertySet::Create().Detach();
    } else {
      return kClassNotAvailable;
    }
    return kOk;
  });
}

ComPtr<HostContext> HostContext::Create(ClassFactory* factory) {
  return ComPtr<HostContext>(new HostContext(factory));
}

HResult OXA_CALL HostContext::QueryInterface(const Guid& iid, void** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  if (iid == kIidUnknown) return Hand<IUnknown>(this, out);
  if (iid == kIidCommonClassFactory && factory_) return factory_->QueryInterface(iid, out);
  return NoInterface(out);
}

}  // namespace oxa::host
