// ComponentPluginBase: indexing walk, property sets, creation by class id.
#include "plugin/component_plugin_base.h"

#include <cstring>

#include "com/simple_buffer.h"

namespace oxa {

ComponentPluginBase::ComponentPluginBase(const ComponentEntry* table, const char* namespaceUri)
    : namespaceUri_(namespaceUri) {
  if (table == nullptr) return;
  for (const ComponentEntry* entry = table; entry->type != EntryEnd; ++entry) {
    if (entry->type != EntryComponent) continue;
    Guid classId;
    std::memcpy(&classId, entry->value, sizeof(classId));
    classIdIndex_.SetAt(classId, entry->create);  // a later record with the same id wins
    ordinalIndex_.SetAt(static_cast<std::int32_t>(componentCount_), entry);
    ++componentCount_;
  }
}

HResult ComponentPluginBase::InternalQueryInterface(const Guid& iid, void** out) {
  return QueryFromTable(
      FrameInterfaces<ComponentPluginBase, IPlugin, IComponentPlugin, IPluginNamespace>, iid, out);
}

HResult OXA_CALL ComponentPluginBase::InitPlugin(IUnknown* context) {
  RETURN_HR_IF_NULL(kNullPointer, context);
  ComPtr<ICommonClassFactory> fresh;
  const HResult hr = context->QueryInterface(kIidCommonClassFactory, fresh.PutVoid());
  classFactory_.Swap(fresh);  // the factory of an earlier InitPlugin is released
  return hr;
}

HResult OXA_CALL ComponentPluginBase::GetComponentInfoAtIndex(std::int32_t index,
                                                              IValues** values) {
  RETURN_HR_IF_NULL(kNullPointer, values);
  // Without a factory or an entry there is nothing to describe, and `values`
  // stays as the caller left it; a failure after this point clears it.
  RETURN_HR_IF_NULL(kFail, classFactory_);
  const auto* found = ordinalIndex_.Find(index);
  RETURN_HR_IF(kFail, found == ordinalIndex_.end());
  const ComponentEntry* component = found->value;
  *values = nullptr;

  ComPtr<IUnknown> object;
  RETURN_HR_IF(kFail, Failed(classFactory_->CreateInstance(kClsidValues, object.Put())) || !object);
  ComPtr<IValues> set;
  RETURN_HR_IF(kFail, Failed(object.QueryTo(set)) || !set);
  object.Reset();

  SetBufferProperty(set.Get(), kComponentClassIdProperty, component->value, sizeof(Guid), false);
  for (const ComponentEntry* entry = component + 1;
       entry->type != EntryComponent && entry->type != EntryEnd; ++entry) {
    switch (entry->type) {
      case EntryUInt32:
        set->SetUInt32(entry->name, *static_cast<const std::uint32_t*>(entry->value));
        break;
      case EntryString: {
        const char* text = static_cast<const char*>(entry->value);
        SetBufferProperty(set.Get(), entry->name, text,
                          static_cast<std::uint32_t>(std::strlen(text) + 1), true);
        break;
      }
      case EntryBuffer:
        SetBufferProperty(set.Get(), entry->name, entry->value, entry->length, false);
        break;
      default:
        break;
    }
  }
  *values = set.Detach();
  return kOk;
}

void ComponentPluginBase::SetBufferProperty(IValues* values, const char* name, const void* data,
                                            std::uint32_t length, bool isString) {
  ComPtr<IUnknown> object;
  if (Failed(classFactory_->CreateInstance(kClsidBuffer, object.Put())) || !object) return;
  ComPtr<IBuffer> buffer;
  if (Failed(object.QueryTo(buffer)) || !buffer) return;
  object.Reset();
  if (Failed(buffer->Set(data, length))) return;  // like a buffer that cannot be made
  if (isString) {
    values->SetString(name, buffer.Get());
  } else {
    values->SetBuffer(name, buffer.Get());
  }
}

HResult OXA_CALL ComponentPluginBase::CreateComponentInstance(const Guid& classId, IUnknown** out,
                                                              IUnknown* outer) {
  const auto* found = classIdIndex_.Find(classId);
  RETURN_HR_IF(kFail, found == classIdIndex_.end());
  return found->value(outer, out);
}

HResult OXA_CALL ComponentPluginBase::GetNamespace(IBuffer** out) {
  RETURN_HR_IF_NULL(kNullPointer, out);
  SimpleBuffer* buffer = SimpleBuffer::Create();
  *out = buffer;
  RETURN_HR_IF_NULL(kOutOfMemory, buffer);
  buffer->AddRef();
  const HResult hr =
      buffer->Set(namespaceUri_, static_cast<std::uint32_t>(std::strlen(namespaceUri_) + 1));
  if (Failed(hr)) {
    // An empty namespace would be a wrong answer reported as success.
    buffer->Release();
    *out = nullptr;
    return hr;
  }
  return kOk;
}

}  // namespace oxa
