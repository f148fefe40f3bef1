// The library's three exported functions, as the host finds them by name
// (ordinals 1 to 3 in the Windows export table).
#pragma once

#include <xmlcompiler/com/platform.h>
#include <xmlcompiler/com/unknown.h>

// A new reference on the one plug-in object in `out`, created on the first
// call. 0x80070057 for a null `out`; a creation failure (for example
// 0x8007000E) leaves `out` null and nothing cached.
OXA_EXPORT oxa::HResult OXA_CALL OxaCreateInstance(oxa::IUnknown** out);
// Gives up the library's own reference on the plug-in object; 0x80004005 when
// none is held.
OXA_EXPORT oxa::HResult OXA_CALL OxaShutdown();
// Stores the framework's list of typed DLL directories: consecutive
// zero-terminated "NAME=DIRECTORY" texts ended by an empty text. Returns 0.
OXA_EXPORT oxa::HResult OXA_CALL SetDLLAccessPath(const char* paths);

namespace oxa {

// The cached plug-in object's main interface, or null; holds one reference.
extern IUnknown* g_pluginInstance;

}  // namespace oxa
