// Host buffer, property set, class factory and context.
#include <xmlcompiler/host/host_objects.h>

#include <cstring>
#include <new>

#include <xmlcompiler/com/boundary.h>

namespace oxa::host {
// HostBuffer ---------------------------------------------------------------

ComPtr<HostBuffer> HostBuffer::Create() {
  return ComPtr<HostBuffer>(new HostBuffer());
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

// AttributeSet -------------------------------------------------------------

// A value buffer of the iteration. It shows text it does not own until Keep
// copies it, or a Set or SetSize gives it bytes of its own.
class AttributeSet::TextView final : public HostObject<TextView, IBuffer> {
 public:
  TextView() = default;

  // Shows the zero-terminated `text`, its zero byte included.
  void Show(const char* text) noexcept {
    const std::size_t length = std::strlen(text);
    data_ = reinterpret_cast<const std::uint8_t*>(text);
    size_ = length >= kMaxSize32 ? kMaxSize32 : static_cast<std::uint32_t>(length + 1);
    owns_ = false;
  }
  // Shows no bytes at all.
  void Blank() noexcept {
    data_ = nullptr;
    size_ = 0;
    owns_ = false;
  }
  // Copies the shown text into storage of its own; when memory runs out the
  // view is left with no bytes, never with the text it was lent, and the
  // result is false.
  bool Keep() noexcept {
    if (owns_) return true;
    try {
      owned_.assign(data_, data_ + size_);
      Own();
      return true;
    } catch (...) {
      owned_.clear();
      Own();
      return false;
    }
  }

  HResult OXA_CALL Get(const std::uint8_t** data, std::uint32_t* length) override {
    RETURN_HR_IF(kNullPointer, data == nullptr || length == nullptr);
    *data = data_;
    *length = size_;
    return kOk;
  }
  HResult OXA_CALL Set(const void* data, std::uint32_t length) override {
    RETURN_HR_IF(kNullPointer, data == nullptr && length != 0);
    return Guarded([&] {
      const auto* bytes = static_cast<const std::uint8_t*>(data);
      owned_.assign(bytes, bytes + length);
      Own();
      return kOk;
    });
  }
  HResult OXA_CALL SetSize(std::uint32_t length) override {
    return Guarded([&] {
      if (!owns_) owned_.assign(data_, data_ + size_);
      owned_.resize(length);
      Own();
      return kOk;
    });
  }
  std::uint32_t OXA_CALL GetSize() override { return size_; }
  std::uint8_t* OXA_CALL GetBuffer() override { return const_cast<std::uint8_t*>(data_); }

 private:
  friend class RefCounted<TextView>;
  ~TextView() = default;
  void Own() noexcept {
    data_ = owned_.data();
    size_ = static_cast<std::uint32_t>(owned_.size());
    owns_ = true;
  }

  const std::uint8_t* data_ = nullptr;
  std::uint32_t size_ = 0;
  bool owns_ = true;
  std::vector<std::uint8_t> owned_;
};

ComPtr<AttributeSet> AttributeSet::Create() {
  ComPtr<AttributeSet> set(new AttributeSet());
  set->view_ = NewView();
  if (set->view_ == nullptr) throw std::bad_alloc();
  return set;
}

AttributeSet::~AttributeSet() {
  if (view_ == nullptr) return;
  if (view_->RefCount() > 1) view_->Keep();  // someone still holds it
  view_->Release();
}

void AttributeSet::Show(const char* const* pairs) noexcept {
  exhausted_ = false;
  FreeView();
  pairs_ = cursor_ = pairs;
}

void AttributeSet::Clear() noexcept {
  FreeView();
  pairs_ = cursor_ = nullptr;
}

void AttributeSet::FreeView() noexcept {
  if (view_ != nullptr && view_->RefCount() > 1) {
    // Someone kept the value past its call: it keeps a copy, the set a new view.
    if (!view_->Keep()) exhausted_ = true;
    view_->Release();
    view_ = NewView();
  }
  // A view no one else holds never keeps pointing at the parser's memory.
  if (view_ != nullptr) view_->Blank();
}

AttributeSet::TextView* AttributeSet::NewView() noexcept {
  auto* view = new (std::nothrow) TextView();
  if (view != nullptr) view->AddRef();
  return view;
}

HResult OXA_CALL AttributeSet::GetUInt32(const char* name, std::uint32_t* value) {
  RETURN_HR_IF(kNullPointer, name == nullptr || value == nullptr);
  return kFail;
}

HResult OXA_CALL AttributeSet::GetFirstUInt32(const char** name, std::uint32_t* value) {
  return GetNextUInt32(name, value);
}

HResult OXA_CALL AttributeSet::GetNextUInt32(const char** name, std::uint32_t* value) {
  RETURN_HR_IF(kNullPointer, name == nullptr || value == nullptr);
  return kFail;
}

HResult OXA_CALL AttributeSet::GetBuffer(const char* name, IBuffer** buffer) {
  RETURN_HR_IF(kNullPointer, name == nullptr || buffer == nullptr);
  *buffer = nullptr;
  return kFail;
}

HResult OXA_CALL AttributeSet::GetFirstBuffer(const char** name, IBuffer** buffer) {
  return GetNextBuffer(name, buffer);
}

HResult OXA_CALL AttributeSet::GetNextBuffer(const char** name, IBuffer** buffer) {
  RETURN_HR_IF(kNullPointer, name == nullptr || buffer == nullptr);
  return kFail;
}

HResult OXA_CALL AttributeSet::GetString(const char* name, IBuffer** buffer) {
  RETURN_HR_IF(kNullPointer, name == nullptr || buffer == nullptr);
  *buffer = nullptr;
  for (const char* const* p = pairs_; p != nullptr && *p != nullptr; p += 2) {
    if (std::strcmp(p[0], name) != 0) continue;
    const HResult hr = Guarded([&] {
      ComPtr<HostBuffer> copy = HostBuffer::Create();
      copy->Bytes().assign(p[1], p[1] + std::strlen(p[1]) + 1);
      *buffer = copy.Detach();
      return kOk;
    });
    if (Failed(hr)) exhausted_ = true;
    return hr;
  }
  return kFail;
}

HResult OXA_CALL AttributeSet::GetFirstString(const char** name, IBuffer** buffer) {
  cursor_ = pairs_;
  return GetNextString(name, buffer);
}

HResult OXA_CALL AttributeSet::GetNextString(const char** name, IBuffer** buffer) {
  RETURN_HR_IF(kNullPointer, name == nullptr || buffer == nullptr);
  RETURN_HR_IF(kFail, cursor_ == nullptr || *cursor_ == nullptr);
  FreeView();
  if (view_ == nullptr) view_ = NewView();
  if (view_ == nullptr) {
    exhausted_ = true;
    return kOutOfMemory;
  }
  view_->Show(cursor_[1]);
  *name = cursor_[0];
  *buffer = view_;
  cursor_ += 2;
  return kOk;
}

// ClassFactory and HostContext --------------------------------------------

ComPtr<ClassFactory> ClassFactory::Create(ParserMaker makeParser) {
  return ComPtr<ClassFactory>(new ClassFactory(makeParser));
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
  if (iid == kIidCommonClassFactory && factory_) return factory_->QueryInterface(iid, out);
  return HostObject::QueryInterface(iid, out);
}

}  // namespace oxa::host
