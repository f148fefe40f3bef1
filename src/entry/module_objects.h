// The module's static objects, built at load in this order and destroyed at
// unload in the reverse order: the DLL access path registry, then the shared
// empty string. Nothing else runs at load.
#pragma once

#include "base/dll_access_paths.h"

namespace oxa {

// The registry behind the exported SetDLLAccessPath.
DllAccessPaths& ModuleAccessPaths() noexcept;

}  // namespace oxa
