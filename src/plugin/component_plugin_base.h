// ComponentPluginBase: the plug-in object's catalogue logic, reusable by any
// library: given a static component table and a namespace text it lists the
// components, describes each in a host property set, creates them by class
// id, and returns the namespace. The library-specific texts come from the
// derived class.
#pragma once

#include <functional>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/host.h>
#include <xmlcompiler/com/plugin_interfaces.h>
#include "base/sorted_vector.h"
#include "com/object_frame.h"
#include "plugin/component_entry.h"

namespace oxa {

class ComponentPluginBase : public ObjectWith<IPlugin, IComponentPlugin, IPluginNamespace> {
 public:
  HResult InternalQueryInterface(const Guid& iid, void** out) override;

  // IPlugin. A second InitPlugin replaces (and releases) the first factory.
  HResult OXA_CALL InitPlugin(IUnknown* context) override;

  // IComponentPlugin.
  std::uint32_t OXA_CALL GetNumComponents() override { return componentCount_; }
  // 0x80004005 before InitPlugin, for an index out of range, or when the host
  // cannot make the property set; `values` is null then. Properties whose
  // buffer cannot be made or filled are left out.
  HResult OXA_CALL GetComponentInfoAtIndex(std::int32_t index, IValues** values) override;
  // 0x80004005 for an unknown class id (`out` untouched); else the creation's result.
  HResult OXA_CALL CreateComponentInstance(const Guid& classId, IUnknown** out,
                                           IUnknown* outer) override;

  // IPluginNamespace: 0x80004003 for a null `out`, 0x8007000E when the buffer
  // cannot be made or filled (`out` is null then).
  HResult OXA_CALL GetNamespace(IBuffer** out) override;

 protected:
  // Indexes `table` (may be null); `namespaceUri` is not owned and must outlive
  // the object. Throws std::bad_alloc when the indexes cannot be built.
  ComponentPluginBase(const ComponentEntry* table, const char* namespaceUri);

 private:
  // Sets property `name` of `values` to a new host buffer holding `length` bytes.
  void SetBufferProperty(IValues* values, const char* name, const void* data, std::uint32_t length,
                         bool isString);

  std::uint32_t componentCount_ = 0;
  SortedVector<Guid, CreateComponentFunction, GuidLess> classIdIndex_;
  SortedVector<std::int32_t, const ComponentEntry*, std::less<std::int32_t>> ordinalIndex_;
  ComPtr<ICommonClassFactory> classFactory_;
  const char* namespaceUri_;
};

}  // namespace oxa
